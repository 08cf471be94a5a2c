// libFuzzer target for the expression language: any text must parse or fail
// with a library error (EKVXError), never crash, hang or leak; what parses
// must evaluate or fail the same way, cached and uncached.
//
// Input: the first byte picks the locale (which changes the symbol scan and
// date parsing) and how the rest is read (UTF-8, or raw UTF-16 so that every
// 16-bit character, NULs and lone surrogates included, can occur).
//
//   ninja -C build-sanitize fuzz_expr    (scripts/fuzz.sh builds and runs it)
//   ./build-sanitize/bin/fuzz_expr -max_len=4096 -max_total_time=600 fuzz/corpus/expr

#include "data/data_manager.h"
#include "data/memory_dataset.h"
#include "expr/expr_parser.h"
#include "expr/expressions.h"
#include "foundation/values/errors.h"
#include "foundation/locale/format_settings.h"

#include <array>
#include <cstddef>
#include <cstdint>

using namespace vorel;

namespace {

struct Fixture {
    TMemoryDataSet Orders;
    TKVXDataManager Manager;
    std::array<TFormatSettings, 3> Locales = {FormatSettingsFromLocale(QLocale(QLocale::English, QLocale::UnitedStates)),
                                              FormatSettingsFromLocale(QLocale(QLocale::German, QLocale::Germany)),
                                              FormatSettingsFromLocale(QLocale(QLocale::Japanese, QLocale::Japan))};
    TGetVariableEvent Variables = [](QObject*, const QString& name, bool& accept, TFieldType& type, Variant& value) {
        // A few names of several types; everything else is unknown.
        const QString key = name.toUpper();
        if (key == QLatin1String("RATE")) {
            accept = true;
            type = ftFloat;
            value = Variant(1.5);
        } else if (key == QLatin1String("PAGENO")) {
            accept = true;
            type = ftInteger;
            value = Variant(3);
        } else if (key == QLatin1String("TITLE")) {
            accept = true;
            value = Variant(QStringLiteral("Report"));
        } else if (key == QLatin1String("WHEN")) {
            accept = true;
            type = ftDateTime;
            value = Variant::FromDate(40939.5);
        } else if (key == QLatin1String("NOTHING")) {
            accept = true;
            type = ftString;
            value = Variant::Null();
        }
    };

    Fixture()
    {
        Orders.SetName(QStringLiteral("Orders"));
        Orders.AddFieldDef(QStringLiteral("Name"), ftWideString, 20);
        Orders.AddFieldDef(QStringLiteral("Qty"), ftInteger);
        Orders.AddFieldDef(QStringLiteral("Price"), ftFloat);
        Orders.AddFieldDef(QStringLiteral("Id"), ftLargeint);
        Orders.AddFieldDef(QStringLiteral("Small"), ftSmallint);
        Orders.AddFieldDef(QStringLiteral("Notes"), ftMemo);
        Orders.AddFieldDef(QStringLiteral("Ship Date"), ftDate);
        Orders.AddFieldDef(QStringLiteral("Flag"), ftBoolean);
        Orders.AddFieldDef(QStringLiteral("Amount"), ftCurrency);
        Orders.AppendRecord({Variant(QStringLiteral("Alice")), Variant(3), Variant(2.5), Variant(qint64(5000000000)),
                             Variant(12), Variant(QStringLiteral("note")), Variant::FromDate(40939), Variant(true),
                             Variant::FromCurrency(10.25)});
        Orders.AppendRecord({Variant::Null(), Variant(0), Variant::Null(), Variant::Null(), Variant::Null(),
                             Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null()});
        Orders.Open();
        Manager.Datasets()->Add()->SetDataset(&Orders);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fixture fixture;
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;
    SetFormatSettings(fixture.Locales[(mode & 3) % 3]);
    QString text;
    if (mode & 4)
        text = QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    else
        text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (mode & 8)
        fixture.Orders.Last();
    else
        fixture.Orders.First();

    // Uncached: the parser alone.
    try {
        TExprParser parser(&fixture.Manager, text, fixture.Variables);
        Variant value;
        parser.Evaluate(value);
        (void)value.ToString();
    } catch (const EKVXError&) {
    }
    // The entry points, twice so that the second call runs from the cache.
    for (int i = 0; i < 2; ++i) {
        try {
            (void)EvaluateValue(&fixture.Manager, text, fixture.Variables);
        } catch (const EKVXError&) {
        }
        try {
            (void)ValueIsField(&fixture.Manager, text, fixture.Variables);
        } catch (const EKVXError&) {
        }
        try {
            (void)GetCalculatedValue(&fixture.Manager, text, QStringLiteral("@N "), TCalcType((mode >> 4) % 6), Variant::Null(),
                                     Variant(QStringLiteral("1")), fixture.Variables);
        } catch (const EKVXError&) {
        }
    }
    return 0;
}
