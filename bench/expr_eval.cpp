// Expression evaluation over a large in-memory table: the cost per record of
// the entry point a report calls for every record (EvaluateValue), against
// walking the records alone and against a fresh parse per record.
//
//   expr_eval [records]      (default 1,000,000)
//
// Prints one line per case: total seconds and nanoseconds per evaluation.

#include "data/data_manager.h"
#include "data/memory_dataset.h"
#include "expr/expr_parser.h"
#include "expr/expressions.h"
#include "foundation/locale/format_settings.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace vorel;

namespace {

double Seconds(const std::function<void()>& body)
{
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(const char* name, double seconds, qint64 evaluations, double baseline)
{
    std::printf("%-52s %8.3f s  %8.1f ns/record  %8.1f ns/eval (walk subtracted)\n", name, seconds,
                seconds * 1e9 / double(evaluations), (seconds - baseline) * 1e9 / double(evaluations));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    SetFormatLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    const qint64 records = argc > 1 ? std::atoll(argv[1]) : 1000000;

    // A deterministic table: 1,000 customers in 100 cities, quantities 0..9
    // (one in ten is 0, so IIF takes both branches), prices with cents.
    TMemoryDataSet orders;
    orders.AddFieldDef(QStringLiteral("Customer"), ftWideString, 40);
    orders.AddFieldDef(QStringLiteral("City"), ftWideString, 30);
    orders.AddFieldDef(QStringLiteral("Qty"), ftInteger);
    orders.AddFieldDef(QStringLiteral("Price"), ftFloat);
    orders.AddFieldDef(QStringLiteral("Id"), ftLargeint);
    QList<Variant> customers;
    QList<Variant> cities;
    for (int i = 0; i < 1000; ++i)
        customers << Variant(QStringLiteral("customer number %1").arg(i));
    for (int i = 0; i < 100; ++i)
        cities << Variant(QStringLiteral("City %1").arg(i));
    orders.ReserveRows(records);
    quint32 seed = 12345;
    for (qint64 r = 0; r < records; ++r) {
        seed = seed * 1103515245u + 12345u;
        orders.AppendRecord({customers[int(r % 1000)], cities[int((r / 7) % 100)], Variant(int(seed >> 16) % 10),
                             Variant(double((seed >> 8) % 10000) / 100.0), Variant(qint64(r) * 1000003)});
    }
    orders.Open();
    TKVXDataManager manager;
    manager.Datasets()->Add()->SetDataset(&orders);

    auto walk = [&](const std::function<void()>& perRecord) {
        orders.First();
        while (!orders.Eof()) {
            perRecord();
            orders.Next();
        }
    };

    std::printf("records: %lld\n", static_cast<long long>(records));
    const double baseline = Seconds([&] { walk([] {}); });
    Report("walk only (First/Next)", baseline, records, baseline);

    const QString iif = QStringLiteral("IIF([Qty] > 0, [Price] * [Qty], 0)");
    const QString text = QStringLiteral("UPPER([Customer]) + ' ' + [City]");
    const QString wide = QStringLiteral("[Id] * 2 > 1000");
    double checksum = 0;
    qint64 length = 0;
    Report("IIF([Qty] > 0, [Price] * [Qty], 0)", Seconds([&] {
               walk([&] { checksum += EvaluateValue(&manager, iif).ToDouble(); });
           }),
           records, baseline);
    Report("UPPER([Customer]) + ' ' + [City]", Seconds([&] {
               walk([&] { length += EvaluateValue(&manager, text).ToString().size(); });
           }),
           records, baseline);
    Report("[Id] * 2 > 1000 (64-bit field)", Seconds([&] {
               walk([&] { length += EvaluateValue(&manager, wide).ToBool() ? 1 : 0; });
           }),
           records, baseline);

    // A variable asks the callback on every call.
    TGetVariableEvent rate = [](QObject*, const QString& name, bool& accept, TFieldType& type, Variant& value) {
        if (name.compare(QLatin1String("Rate"), Qt::CaseInsensitive) == 0) {
            accept = true;
            type = ftFloat;
            value = Variant(1.25);
        }
    };
    Report("[Price] * Rate (variable through the callback)", Seconds([&] {
               walk([&] { checksum += EvaluateValue(&manager, QStringLiteral("[Price] * Rate"), rate).ToDouble(); });
           }),
           records, baseline);

    Report("GetCalculatedValue ctSum [Price] * [Qty]", Seconds([&] {
               Variant previous = Variant::Null();
               Variant current = Variant::Null();
               walk([&] {
                   previous = current;
                   current = GetCalculatedValue(&manager, QStringLiteral("[Price] * [Qty]"), QString(), ctSum, previous,
                                                current);
               });
               checksum += current.ToDouble();
           }),
           records, baseline);

    // What the classic behaviour (a fresh parse per evaluation) costs, on a
    // tenth of the records.
    const qint64 sample = records / 10;
    const double fresh = Seconds([&] {
        orders.First();
        for (qint64 r = 0; r < sample && !orders.Eof(); ++r, orders.Next()) {
            TExprParser parser(&manager, iif);
            Variant v;
            parser.Evaluate(v);
            checksum += v.ToDouble();
        }
    });
    std::printf("%-52s %8.3f s  %8.1f ns/eval (%lld records)\n", "IIF(...) parsed afresh every record", fresh,
                fresh * 1e9 / double(sample), static_cast<long long>(sample));

    const TExprCacheStats stats = ExprCacheStats();
    std::printf("cache: %d entries, %lld parses, %lld hits; checksum %.2f %lld\n", stats.Entries,
                static_cast<long long>(stats.Parses), static_cast<long long>(stats.Hits), checksum,
                static_cast<long long>(length));
    return 0;
}
