// libFuzzer target for prepared-report streams (".zpg"): any bytes through
// LoadPreparedReportFromStream; whatever loads is then saved again and read
// back (the result must load and hold the same pages), and exported by the
// text, CSV and XML filters, so the page metafiles of a hostile file also go
// through the record interpretation and the grid building. Besides "no
// crash, no unbounded allocation, no hang" it checks the round trip.
//
// Built by fuzz/CMakeLists.txt (target fuzz_prepared_stream). Seed it with
// any ".zpg" file (the export tests write some; SavePreparedReport makes more).

#include "export/csv_export.h"
#include "export/text_export.h"
#include "export/xml_export.h"
#include "frame/print_component.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace vorel;

class TFuzzReport : public TKVPrintBaseComponent {
public:
    TFuzzReport() { SetAnimatedStatus(false); }
    // Never generates: a fuzzed stream is the only source of pages.
    void PrepareReport() override { TKVPrintBaseComponent::PrepareReport(); }
};

void Export(TFuzzReport& report, const QMetaObject* filter, const QList<int>& pages)
{
    const QString file = QDir::tempPath() + QStringLiteral("/vorel_fuzz_export.out");
    try {
        report.ExportTo(file, false, filter, pages);
    } catch (const EKVXError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_prepared_stream";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    TFuzzReport report;
    QBuffer in;
    in.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    in.open(QIODevice::ReadOnly);
    try {
        report.LoadPreparedReportFromStream(in);
    } catch (const EKVXError&) {
        return 0;
    }

    // What loaded must survive a save and a load unchanged.
    QByteArray saved;
    {
        QBuffer out(&saved);
        out.open(QIODevice::WriteOnly);
        report.SavePreparedReportToStream(out);
    }
    TFuzzReport again;
    QBuffer back;
    back.setData(saved);
    back.open(QIODevice::ReadOnly);
    again.LoadPreparedReportFromStream(back); // raising here is a finding
    // A stream may hold a (page, bar) pair twice; the first one stands for
    // it, as GetPage finds it, and only that one is saved again.
    QSet<QPair<int, int>> keys;
    for (int k = 0; k < report.Pages().Count(); ++k) {
        const TPageInfo* a = report.Pages().Items(k);
        if (report.GetPage(a->intNumPage, a->intNumBar) != a)
            continue;
        keys.insert(qMakePair(a->intNumPage, a->intNumBar));
        const TPageInfo* b = again.GetPage(a->intNumPage, a->intNumBar);
        if (!b || b->Data->Bytes() != a->Data->Bytes())
            std::abort();
    }
    if (again.Pages().Count() != keys.size())
        std::abort();

    // A few pages through the filters (the page list bounds the work).
    QList<int> pages;
    for (int n = 1; n <= std::min(report.GetNumPages(), 8); ++n)
        pages << n;
    Export(report, &TKVXExportToText::staticMetaObject, pages);
    Export(report, &TKVXExportToCSV::staticMetaObject, pages);
    Export(report, &TKVXExportToXML::staticMetaObject, pages);
    return 0;
}
