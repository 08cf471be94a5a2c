// vorel::Report, the application's entry: loading forms and prepared
// reports, binding data (a source, the application's own data set, the
// application's own connection), parameters by name, preparing, writing in
// a format named by text, failures with their message, cancelling from a
// progress slot, and what is left on disk in each case.

#include "vorel/report.h"

#include "auto/library.h"
#include "data/memory_dataset.h"
#include "model/report.h"
#include "support/shop_db.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace vorel {
namespace {

const QString kExamples = QStringLiteral(VOREL_SOURCE_DIR "/examples");

// Orders of the test shop (support/shop_db.h), one row each, with the
// parameters in the page header. The form's own connection names a file
// that does not exist: every test binds the data otherwise.
const char kListing[] = R"(object Listing: TKVReport
  DataSet = Orders
  AnimatedStatus = False
  Parameters = <
    item
      DisplayLabel = 'Prepared for'
      Name = 'Who'
      Value = 'nobody'
    end
    item
      DisplayLabel = 'Flagged'
      Name = 'Flag'
      ParameterEditor = peCheckBox
    end
    item
      Name = 'Color'
      ParamPromptValues.Strings = (
        'Red'
        'Green')
      ParameterEditor = peCombobox
      Value = 'Red'
    end
    item
      Name = 'Limit'
      Value = 10
    end>
  object Header: TKVXBand
    BandType = btPageHeader
    NewPage = True
    Height = 20
    object PWho: TKVXExpression
      Expression = 'Who'
      Top = 1
      Left = 0
      Width = 200
      Height = 18
    end
  end
  object Detail: TKVXBand
    BandType = btDetail
    Height = 20
    object Id: TKVXExpression
      Expression = '[id]'
      Top = 1
      Left = 0
      Width = 100
      Height = 18
    end
    object Customer: TKVXExpression
      Expression = '[customer]'
      Top = 1
      Left = 110
      Width = 100
      Height = 18
    end
  end
  object Orders: TSqlDataSet
    Connection = 'sqlite:no-such.db'
    SQL = 'SELECT id, customer FROM orders ORDER BY id'
    Active = True
  end
end
)";

// Orders and their lines as a sub-detail: the master is the name the
// application answers (the form does not hold People; Lines follows it).
const char kPeople[] = R"(object PeopleReport: TKVReport
  DataSet = People
  AnimatedStatus = False
  object Detail: TKVXBand
    BandType = btDetail
    Height = 20
    object PName: TKVXExpression
      Expression = 'People.name'
      Top = 1
      Left = 0
      Width = 200
      Height = 18
    end
  end
end
)";

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        MakeShop(Path(QStringLiteral("shop.db")), 200);
        WriteFile(QStringLiteral("listing.kvx"), kListing);
    }

    QString Path(const QString& name) const { return dir.filePath(name); }
    void WriteFile(const QString& name, const QByteArray& bytes) const
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // The files of the folder besides the inputs, hidden ones too (a staging
    // folder left behind would show).
    QStringList Outputs() const
    {
        QStringList names = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.removeAll(QStringLiteral("shop.db"));
        names.removeAll(QStringLiteral("listing.kvx"));
        return names;
    }
    // The listing form bound to the test shop, loaded.
    void LoadListing(Report& report)
    {
        ASSERT_TRUE(report.setDataSource(QStringLiteral("Orders"), QStringLiteral("sqlite:") + Path(QStringLiteral("shop.db"))))
            << report.errorString().toStdString();
        ASSERT_TRUE(report.load(Path(QStringLiteral("listing.kvx")))) << report.errorString().toStdString();
    }

    QTemporaryDir dir;
};

// A PDF's pages: qpdf's count when it is installed (after its check),
// else the page objects in the file.
int PdfPages(const QString& path)
{
    if (!QStandardPaths::findExecutable(QStringLiteral("qpdf")).isEmpty()) {
        QProcess check;
        check.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
        check.waitForFinished(60000);
        EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString();
        QProcess count;
        count.start(QStringLiteral("qpdf"), {QStringLiteral("--show-npages"), path});
        count.waitForFinished(60000);
        return count.readAll().trimmed().toInt();
    }
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return int(QString::fromLatin1(Read(path)).count(page));
}

// The example database: examples/shop.db when scripts/setup.sh made it,
// else one generated into `folder`; empty when neither can be had.
QString ExampleDatabase(const QString& folder)
{
    if (QFileInfo::exists(kExamples + QStringLiteral("/shop.db")))
        return kExamples + QStringLiteral("/shop.db");
    const QString path = folder + QStringLiteral("/example-shop.db");
    QProcess python;
    python.start(QStringLiteral("python3"), {kExamples + QStringLiteral("/make_shop_db.py"), path});
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        return {};
    return path;
}

TEST_F(ReportTest, TheLibraryStartsItselfAndListsItsFormats)
{
    Report report;
    EXPECT_TRUE(LibraryInitialized());
    const QStringList formats = Report::formats();
    EXPECT_EQ(formats.value(0), QStringLiteral("zpg"));
    for (const char* name : {"pdf", "csv", "txt", "html", "xml"})
        EXPECT_TRUE(formats.contains(QLatin1String(name))) << name << " in " << formats.join(u' ').toStdString();
    EXPECT_FALSE(report.isLoaded());
    EXPECT_EQ(report.component(), nullptr);
}

TEST_F(ReportTest, AnExampleFormBoundToItsDatabaseBecomesAPdf)
{
    const QString database = ExampleDatabase(dir.path());
    if (database.isEmpty())
        GTEST_SKIP() << "examples/shop.db is missing and python3 cannot make it (run scripts/setup.sh)";
    Report report;
    QList<QPair<int, int>> progress;
    QList<Report::Result> finished;
    QObject::connect(&report, &Report::progress, [&](int done, int total) { progress.append({done, total}); });
    QObject::connect(&report, &Report::finished, [&](Report::Result result) { finished.append(result); });
    ASSERT_TRUE(report.setDataSource(QStringLiteral("Orders"), QStringLiteral("sqlite:") + database));
    ASSERT_TRUE(report.load(kExamples + QStringLiteral("/orders.kvx"))) << report.errorString().toStdString();
    EXPECT_FALSE(report.isPrepared());
    EXPECT_TRUE(report.warnings().isEmpty()) << report.warnings().join(u'\n').toStdString();

    ASSERT_EQ(report.prepare(), Report::Ok) << report.errorString().toStdString();
    EXPECT_EQ(report.pageCount(), 4);
    EXPECT_EQ(progress.value(progress.size() - 1), qMakePair(4, 4));
    progress.clear();

    const QString pdf = Path(QStringLiteral("orders.pdf"));
    ASSERT_EQ(report.exportTo(pdf), Report::Ok) << report.errorString().toStdString();
    EXPECT_TRUE(Read(pdf).startsWith("%PDF"));
    EXPECT_EQ(PdfPages(pdf), 4);
    // Pages written of total, one by one.
    EXPECT_EQ(progress, (QList<QPair<int, int>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
    EXPECT_EQ(finished, (QList<Report::Result>{Report::Ok, Report::Ok}));
    EXPECT_TRUE(report.errorString().isEmpty());
}

TEST_F(ReportTest, ExportPreparesFirstAndWritesOnlyTheListedPages)
{
    Report report;
    LoadListing(report);
    const QString pdf = Path(QStringLiteral("two.pdf"));
    ASSERT_EQ(report.exportTo(pdf, QStringLiteral("PDF"), {2, 3}, {{QStringLiteral("EmbedFonts"), false}}), Report::Ok)
        << report.errorString().toStdString();
    EXPECT_GE(report.pageCount(), 4);
    EXPECT_EQ(PdfPages(pdf), 2);
    // The listing's rows in text: the bound database's customers.
    ASSERT_EQ(report.exportTo(Path(QStringLiteral("listing.out")), QStringLiteral("txt"), {1}), Report::Ok)
        << report.errorString().toStdString();
    const QString text = QString::fromUtf8(Read(Path(QStringLiteral("listing.out"))));
    EXPECT_TRUE(text.contains(QStringLiteral("nobody"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("C1"))) << text.toStdString();
    EXPECT_EQ(Outputs(), (QStringList{QStringLiteral("listing.out"), QStringLiteral("two.pdf")}));
}

// What fails, where it fails, and its message; nothing is written.
struct TFailure {
    const char* What;
    std::function<bool(Report&, const QString& folder)> Step; // false: failed as it should
    const char* Message;                                       // errorString() contains it
};

TEST_F(ReportTest, FailuresSayWhatIsWrongAndWriteNothing)
{
    const QString shop = QStringLiteral("sqlite:") + Path(QStringLiteral("shop.db"));
    const QString form = Path(QStringLiteral("listing.kvx"));
    const auto loaded = [&](Report& report) {
        return report.setDataSource(QStringLiteral("Orders"), shop) && report.load(form);
    };
    const QList<TFailure> failures = {
        {"malformed source", [&](Report& r, const QString&) { return r.setDataSource(QStringLiteral("Orders"), QStringLiteral("ftp://x")); },
         "data source Orders: unknown source; use csv:PATH, sqlite:PATH or postgresql://..."},
        {"source of a name the form lacks",
         [&](Report& r, const QString&) { return r.setDataSource(QStringLiteral("Sales"), shop) && r.load(form); },
         "data source Sales: the form has no data set named Sales (it has: Orders)"},
        {"source that cannot be opened",
         [&](Report& r, const QString& folder) {
             return r.setDataSource(QStringLiteral("Orders"), QStringLiteral("sqlite:") + folder + QStringLiteral("/none.db")) &&
                    r.load(form);
         },
         "data source Orders: "},
        {"form's own source", [&](Report& r, const QString&) { return r.load(form); }, "no-such.db"},
        {"missing form", [&](Report& r, const QString& folder) { return r.load(folder + QStringLiteral("/none.kvx")); }, "none.kvx"},
        {"unknown parameter",
         [&](Report& r, const QString&) { return loaded(r) && r.setParameter(QStringLiteral("Region"), QStringLiteral("EU")); },
         "parameter Region: the report has no parameter named Region (it has: Who, Flag, Color, Limit)"},
        {"check box value",
         [&](Report& r, const QString&) { return loaded(r) && r.setParameter(QStringLiteral("Flag"), QStringLiteral("maybe")); },
         "parameter Flag: \"maybe\" is no check box value"},
        {"combo box value",
         [&](Report& r, const QString&) { return loaded(r) && r.setParameter(QStringLiteral("Color"), QStringLiteral("Blue")); },
         "parameter Color: \"Blue\" is not one of Red, Green"},
        {"unknown format",
         [&](Report& r, const QString& folder) {
             return loaded(r) && r.exportTo(folder + QStringLiteral("/out.docx")) == Report::Ok;
         },
         "cannot tell the format of"},
        {"unknown named format",
         [&](Report& r, const QString& folder) {
             return loaded(r) && r.exportTo(folder + QStringLiteral("/out.pdf"), QStringLiteral("docx")) == Report::Ok;
         },
         "unknown format \"docx\" (one of zpg, "},
        {"unknown option",
         [&](Report& r, const QString& folder) {
             return loaded(r) && r.exportTo(folder + QStringLiteral("/out.pdf"), {}, {}, {{QStringLiteral("Colour"), 1}}) == Report::Ok;
         },
         "option Colour=1: the pdf format has no option Colour"},
        {"option value",
         [&](Report& r, const QString& folder) {
             return loaded(r) &&
                    r.exportTo(folder + QStringLiteral("/out.pdf"), {}, {}, {{QStringLiteral("Compression"), QStringLiteral("Zip")}}) ==
                        Report::Ok;
         },
         "option Compression=Zip: "},
        {"page beyond the report",
         [&](Report& r, const QString& folder) { return loaded(r) && r.exportTo(folder + QStringLiteral("/out.pdf"), {}, {99}) == Report::Ok; },
         "the report has no page 99"},
        {"output over the data",
         [&](Report& r, const QString& folder) { return loaded(r) && r.exportTo(folder + QStringLiteral("/shop.db"), QStringLiteral("pdf")) == Report::Ok; },
         "is the data file"},
        {"folder that does not exist",
         [&](Report& r, const QString& folder) { return loaded(r) && r.exportTo(folder + QStringLiteral("/no/out.pdf")) == Report::Ok; },
         "does not exist"},
        {"nothing loaded", [&](Report& r, const QString&) { return r.prepare() == Report::Ok; }, "no report is loaded"},
    };
    for (const TFailure& failure : failures) {
        SCOPED_TRACE(failure.What);
        Report report;
        EXPECT_FALSE(failure.Step(report, dir.path()));
        EXPECT_TRUE(report.errorString().contains(QString::fromUtf8(failure.Message)))
            << report.errorString().toStdString();
        EXPECT_EQ(Outputs(), QStringList());
    }
}

TEST_F(ReportTest, FormErrorsNameTheirPlace)
{
    WriteFile(QStringLiteral("broken.kvx"), QByteArray(kListing).replace("BandType = btDetail", "BandType = btNoSuchBand"));
    Report report;
    EXPECT_FALSE(report.load(Path(QStringLiteral("broken.kvx"))));
    EXPECT_TRUE(report.errorString().contains(QStringLiteral("btNoSuchBand"))) << report.errorString().toStdString();
    EXPECT_FALSE(report.isLoaded());
    // The place is data beside the message (filled by the readers).
    const ErrorPlace place = report.errorPlace();
    EXPECT_TRUE(place.IsEmpty() || !place.Component.isEmpty() || place.Line > 0 || place.Offset >= 0);
}

TEST_F(ReportTest, ParametersTakeTextAsTheDialogWouldAndValuesOfTheirType)
{
    Report report;
    LoadListing(report);
    EXPECT_EQ(report.parameterNames(),
              (QStringList{QStringLiteral("Who"), QStringLiteral("Flag"), QStringLiteral("Color"), QStringLiteral("Limit")}));
    TKVXParameters& parameters = *report.component()->Parameters();
    const auto value = [&](const char* name) { return parameters.ParamByName(QLatin1String(name))->Value(); };

    EXPECT_TRUE(report.setParameter(QStringLiteral("Prepared for"), QStringLiteral("Ann"))); // by display label
    EXPECT_EQ(value("Who"), Variant(QStringLiteral("Ann")));
    EXPECT_TRUE(report.setParameter(QStringLiteral("Flag"), QStringLiteral("yes")));
    EXPECT_EQ(value("Flag"), Variant(true));
    EXPECT_TRUE(report.setParameter(QStringLiteral("Flag"), false));
    EXPECT_EQ(value("Flag"), Variant(false));
    EXPECT_TRUE(report.setParameter(QStringLiteral("Color"), QStringLiteral("Green")));
    EXPECT_EQ(value("Color"), Variant(QStringLiteral("Green")));
    EXPECT_TRUE(report.setParameter(QStringLiteral("Color"), 0)); // an item's index
    EXPECT_EQ(value("Color"), Variant(QStringLiteral("Red")));
    EXPECT_TRUE(report.setParameter(QStringLiteral("Color"), QVariant())); // nothing selected
    EXPECT_TRUE(value("Color").IsNull());
    EXPECT_TRUE(report.setParameter(QStringLiteral("Limit"), 25)); // a number stays a number
    EXPECT_EQ(value("Limit"), Variant(25));
    EXPECT_TRUE(report.setParameter(QStringLiteral("Limit"), QStringLiteral("30"))); // typed in: text
    EXPECT_EQ(value("Limit"), Variant(QStringLiteral("30")));
    EXPECT_FALSE(report.setParameter(QStringLiteral("Limit"), QVariant::fromValue(QPoint(1, 2))));
    EXPECT_TRUE(report.errorString().startsWith(QStringLiteral("parameter Limit: "))) << report.errorString().toStdString();

    // The value reaches the pages.
    ASSERT_TRUE(report.setParameter(QStringLiteral("Who"), QStringLiteral("Tarnwick")));
    ASSERT_EQ(report.exportTo(Path(QStringLiteral("who.txt")), {}, {1}), Report::Ok) << report.errorString().toStdString();
    EXPECT_TRUE(QString::fromUtf8(Read(Path(QStringLiteral("who.txt")))).contains(QStringLiteral("Tarnwick")));
}

// A cancel from a slot of progress(): what is asked, when, and what it
// leaves.
struct TCancelCase {
    const char* What;
    bool PrepareFirst;   // prepare() before connecting the slot
    int CancelAt;        // the progress signal (from 1) that cancels
    bool SavePrepared;   // savePrepared() instead of exportTo()
};

TEST_F(ReportTest, ACancelFromAProgressSlotReturnsCancelledAndWritesNothing)
{
    const QList<TCancelCase> cases = {
        {"while preparing before an export", false, 1, false},
        {"late while preparing before an export", false, 3, false},
        {"while exporting", true, 2, false},
        {"at the last page of an export", true, 4, false},
        {"while saving a prepared report", true, 1, true},
        {"while preparing before saving", false, 2, true},
    };
    for (const TCancelCase& c : cases) {
        SCOPED_TRACE(c.What);
        Report report;
        LoadListing(report);
        report.setTwoPass(false);
        if (c.PrepareFirst) {
            ASSERT_EQ(report.prepare(), Report::Ok) << report.errorString().toStdString();
        }
        int received = 0;
        QObject::connect(&report, &Report::progress, [&](int, int) {
            if (++received == c.CancelAt)
                report.cancel();
        });
        QList<Report::Result> finished;
        QObject::connect(&report, &Report::finished, [&](Report::Result result) { finished.append(result); });
        const QString out = Path(c.SavePrepared ? QStringLiteral("out.zpg") : QStringLiteral("out.pdf"));
        const Report::Result result = c.SavePrepared ? report.savePrepared(out) : report.exportTo(out);
        EXPECT_EQ(result, Report::Cancelled) << report.errorString().toStdString();
        EXPECT_EQ(finished, QList<Report::Result>{Report::Cancelled});
        EXPECT_TRUE(report.errorString().isEmpty());
        EXPECT_EQ(Outputs(), QStringList());
        if (!c.PrepareFirst) {
            EXPECT_EQ(report.pageCount(), 0) << "a cancelled preparation keeps no pages";
        }

        // The next run starts afresh.
        QObject::disconnect(&report, &Report::progress, nullptr, nullptr);
        EXPECT_EQ(c.SavePrepared ? report.savePrepared(out) : report.exportTo(out), Report::Ok)
            << report.errorString().toStdString();
        EXPECT_EQ(Outputs(), QStringList{QFileInfo(out).fileName()});
        QFile::remove(out);
    }
}

TEST_F(ReportTest, ACancelFromAnotherThreadEndsThePreparation)
{
    {
        // A cancel while nothing runs is ignored.
        Report idle;
        LoadListing(idle);
        idle.cancel();
        EXPECT_EQ(idle.prepare(), Report::Ok);
    }
    MakeShop(Path(QStringLiteral("shop.db")), 20000);
    Report report;
    LoadListing(report);
    std::unique_ptr<std::thread> canceller;
    QObject::connect(&report, &Report::progress, [&](int done, int) {
        if (done == 2 && !canceller)
            canceller = std::make_unique<std::thread>([&report] { report.cancel(); });
    });
    EXPECT_EQ(report.prepare(), Report::Cancelled);
    ASSERT_TRUE(canceller);
    canceller->join();
    EXPECT_EQ(report.pageCount(), 0);
    EXPECT_FALSE(report.component()->Prepared());
    EXPECT_TRUE(report.component()->Cancelled());
}

TEST_F(ReportTest, TheApplicationsConnectionServesTheFormsDataSet)
{
    const QString connection = QStringLiteral("app_connection");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(QStringLiteral(":memory:"));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE orders(id INTEGER, customer TEXT)")));
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO orders VALUES (1, 'Alder'), (2, 'Birch'), (3, 'Cedar')")));
    }
    {
        Report report;
        ASSERT_TRUE(report.setDatabase(QStringLiteral("orders"), QSqlDatabase::database(connection, false)));
        // The form's own connection (no-such.db) is never opened.
        ASSERT_TRUE(report.load(Path(QStringLiteral("listing.kvx")))) << report.errorString().toStdString();
        ASSERT_EQ(report.exportTo(Path(QStringLiteral("app.txt"))), Report::Ok) << report.errorString().toStdString();
        const QString text = QString::fromUtf8(Read(Path(QStringLiteral("app.txt"))));
        for (const char* name : {"Alder", "Birch", "Cedar"})
            EXPECT_TRUE(text.contains(QLatin1String(name))) << text.toStdString();
        EXPECT_EQ(report.pageCount(), 1);
    }
    // The report neither closed nor removed it: the in-memory table is still there.
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        ASSERT_TRUE(db.isValid());
        EXPECT_TRUE(db.isOpen());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM orders")) && q.next());
        EXPECT_EQ(q.value(0).toInt(), 3);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);

    Report invalid;
    EXPECT_FALSE(invalid.setDatabase(QStringLiteral("Orders"), QSqlDatabase()));
    EXPECT_TRUE(invalid.errorString().startsWith(QStringLiteral("database Orders: ")));
}

TEST_F(ReportTest, TheApplicationsDataSetAnswersTheFormsReferences)
{
    TMemoryDataSet people;
    people.SetName(QStringLiteral("Staff")); // another name than the form's
    people.AddFieldDef(QStringLiteral("name"), ftWideString, 20);
    people.AppendRecord({QStringLiteral("Juniper")});
    people.AppendRecord({QStringLiteral("Rowan")});
    WriteFile(QStringLiteral("people.kvx"), kPeople);

    // The form refers to People and does not hold it; then it holds an SQL
    // data set People of its own, which the application's replaces.
    QByteArray withOwn(kPeople);
    withOwn.replace(QByteArray("\nend\n"), QByteArray("\n  object People: TSqlDataSet\n    Connection = 'sqlite:no-such.db'\n"
                                                       "    SQL = 'SELECT name FROM nowhere'\n    Active = True\n  end\nend\n"));
    WriteFile(QStringLiteral("people-own.kvx"), withOwn);

    for (const char* form : {"people.kvx", "people-own.kvx"}) {
        SCOPED_TRACE(form);
        Report report;
        report.setDataSet(QStringLiteral("People"), &people);
        ASSERT_TRUE(report.load(Path(QLatin1String(form)))) << report.errorString().toStdString();
        EXPECT_TRUE(report.warnings().isEmpty()) << report.warnings().join(u'\n').toStdString();
        EXPECT_EQ(report.component()->DataSet(), &people);
        ASSERT_EQ(report.exportTo(Path(QStringLiteral("people.txt"))), Report::Ok) << report.errorString().toStdString();
        const QString text = QString::fromUtf8(Read(Path(QStringLiteral("people.txt"))));
        EXPECT_TRUE(text.contains(QStringLiteral("Juniper")) && text.contains(QStringLiteral("Rowan"))) << text.toStdString();
    }
    EXPECT_TRUE(people.Active()) << "the report opened it and left it to the application";

    // Without the binding the reference is a warning, and preparing fails.
    Report unbound;
    ASSERT_TRUE(unbound.load(Path(QStringLiteral("people.kvx"))));
    EXPECT_EQ(unbound.warnings().join(u'\n').toStdString(), "Error reading PeopleReport.DataSet: no component named People");
    EXPECT_EQ(unbound.prepare(), Report::Failed);
    EXPECT_FALSE(unbound.errorString().isEmpty());
}

TEST_F(ReportTest, APreparedReportRoundTrips)
{
    Report report;
    LoadListing(report);
    ASSERT_EQ(report.prepare(), Report::Ok);
    const int pages = report.pageCount();
    ASSERT_GE(pages, 4);
    const QString zpg = Path(QStringLiteral("listing.zpg"));
    ASSERT_EQ(report.savePrepared(zpg), Report::Ok) << report.errorString().toStdString();
    ASSERT_EQ(report.exportTo(Path(QStringLiteral("some.zpg")), {}, {2, 3}), Report::Ok);

    Report loaded;
    ASSERT_TRUE(loaded.load(zpg)) << loaded.errorString().toStdString();
    EXPECT_TRUE(loaded.isPrepared());
    EXPECT_EQ(loaded.pageCount(), pages);
    EXPECT_TRUE(loaded.parameterNames().isEmpty());
    EXPECT_EQ(loaded.prepare(), Report::Failed);
    EXPECT_FALSE(loaded.setParameter(QStringLiteral("Who"), QStringLiteral("x")));
    ASSERT_EQ(loaded.exportTo(Path(QStringLiteral("again.pdf"))), Report::Ok) << loaded.errorString().toStdString();
    EXPECT_EQ(PdfPages(Path(QStringLiteral("again.pdf"))), pages);

    // From a device, recognised by content whatever the name: the part
    // saved keeps its own page numbers.
    QFile some(Path(QStringLiteral("some.zpg")));
    ASSERT_TRUE(some.open(QIODevice::ReadOnly));
    Report fromDevice;
    ASSERT_TRUE(fromDevice.load(&some)) << fromDevice.errorString().toStdString();
    EXPECT_TRUE(fromDevice.isPrepared());
    EXPECT_EQ(fromDevice.pageCount(), 2);
    EXPECT_EQ(fromDevice.exportTo(Path(QStringLiteral("p1.pdf")), {}, {1}), Report::Failed);
    EXPECT_EQ(fromDevice.exportTo(Path(QStringLiteral("p3.pdf")), {}, {3}), Report::Ok) << fromDevice.errorString().toStdString();

    // A form from a device too.
    QFile form(Path(QStringLiteral("listing.kvx")));
    ASSERT_TRUE(form.open(QIODevice::ReadOnly));
    Report formFromDevice;
    formFromDevice.setDataSource(QStringLiteral("Orders"), QStringLiteral("sqlite:") + Path(QStringLiteral("shop.db")));
    ASSERT_TRUE(formFromDevice.load(&form)) << formFromDevice.errorString().toStdString();
    EXPECT_FALSE(formFromDevice.isPrepared());
    EXPECT_EQ(formFromDevice.prepare(), Report::Ok) << formFromDevice.errorString().toStdString();
    EXPECT_EQ(formFromDevice.pageCount(), pages);
}

} // namespace
} // namespace vorel
