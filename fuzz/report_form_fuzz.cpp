// libFuzzer target for loading report forms into a TKVReport: the file
// header, the resource, both stream forms, the report's reading (bands,
// controls, references, data set components, event names) and the printer
// refresh after it. Besides "no crash, no unbounded allocation" it checks
// that the loading flag is always cleared and that a report that loaded
// saves a form that loads back to the same form.
//
//   ninja -C build-fuzz fuzz_report_form
//   ./build-fuzz/bin/fuzz_report_form -max_total_time=600 fuzz/corpus/report_form

#include "auto/library.h"
#include "data/csv_dataset.h"
#include "data/sql_dataset.h"
#include "model/report.h"

#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    vorel::InitializeLibrary();
    // Forms must not open files or databases named by the input.
    vorel::UnRegisterClass(&vorel::TCsvDataSet::staticMetaObject);
    vorel::UnRegisterClass(&vorel::TSqlDataSet::staticMetaObject);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vorel;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TReportLoadOptions options;
    options.AllowUnresolvedReferences = true;
    options.EventHandlers = nullptr;

    TKVReport report;
    bool loaded = false;
    try {
        report.LoadReportFromBytes(bytes, options);
        loaded = true;
    } catch (const EKVXError&) {
    }
    if (report.Loading())
        std::abort(); // the flag is cleared in any case

    QByteArray saved;
    try {
        saved = report.SaveReportToBytes();
    } catch (const EKVXError&) {
        return 0; // e.g. a reference to a component the form left without a name
    }
    if (!loaded)
        return 0;
    // What a report saves loads back and saves the same bytes again.
    TKVReport again;
    try {
        again.LoadReportFromBytes(saved, options);
    } catch (const EKVXError&) {
        std::abort();
    }
    if (again.SaveReportToBytes() != saved)
        std::abort();
    return 0;
}
