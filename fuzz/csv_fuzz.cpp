// libFuzzer target of the CSV data set: any bytes as a CSV file, read with
// the options the first byte picks (delimiter, quoting, header, type
// inference, encoding, decimal separator), then every record walked and
// every value turned into text, forwards and backwards. Opening may fail
// only with a library error (EKVXError) naming the file and line; anything
// else (a crash, a sanitizer report, a hang or a huge allocation) is a
// finding.
//
//   ninja -C build-sanitize fuzz_csv
//   ./build-sanitize/bin/fuzz_csv -max_total_time=60 fuzz/corpus/csv

#include "data/csv_dataset.h"
#include "foundation/values/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <array>
#include <cstdint>

namespace {

// One file per process: libFuzzer's forked jobs run side by side.
const QString& InputFile()
{
    static const QString file =
        QDir::tempPath() + QStringLiteral("/vorel_fuzz_csv_%1.csv").arg(QCoreApplication::applicationPid());
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vorel;
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    {
        QFile file(InputFile());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    }
    static const std::array<const char*, 4> delimiters = {",", ";", "TAB", "|"};
    static const std::array<const char*, 4> encodings = {"UTF-8", "UTF-16", "windows-1251", "ISO-8859-1"};

    TCsvDataSet csv;
    csv.SetFileName(InputFile());
    csv.SetDelimiter(QString::fromLatin1(delimiters[mode & 3]));
    csv.SetEncoding(QString::fromLatin1(encodings[(mode >> 2) & 3]));
    csv.SetQuoteChar((mode & 16) ? QString() : QStringLiteral("\""));
    csv.SetHasHeader(!(mode & 32));
    csv.SetInferTypes(!(mode & 64));
    csv.SetDecimalSeparator((mode & 128) ? QStringLiteral(",") : QStringLiteral("."));
    if (mode == 0xFF)
        csv.FieldTypes()->Add(QStringLiteral("Field1=Integer")); // a declared type over any value
    try {
        csv.Open();
    } catch (const EKVXError&) {
        return 0;
    }
    const int fields = csv.FieldCount();
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0)
            csv.First();
        else
            csv.Last();
        while (pass == 0 ? !csv.Eof() : !csv.Bof()) {
            for (int i = 0; i < fields; ++i) {
                TField* field = csv.Fields(i);
                (void)field->AsString();
                (void)field->Value().ToString();
            }
            if (pass == 0)
                csv.Next();
            else
                csv.Prior();
        }
    }
    csv.Close();
    return 0;
}
