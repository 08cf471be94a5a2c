// vorel render as a careless or hostile user drives it: mistyped and
// repeated options, outputs that are folders, links, pipes, the report's own
// files or in missing folders; data bindings of duplicated names, details,
// names only a data manager mentions and queries holding "?" and "&sql=";
// parameters of every editor and labels that repeat names; prepared reports
// and forms under each other's extension; Ctrl-C in every phase, once and
// twice. After every failure the output folder must hold nothing new, not
// even a hidden temporary folder.

#include "support/shop_db.h"
#include "support/tool_run.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vorel {
namespace {

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

// A listing of orders whose page header shows each parameter in a cell of
// its own. The form turns its progress display off, as forms made for
// applications do. Note's label is Who's name; Flag has no value.
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
      DisplayLabel = 'Who'
      Name = 'Note'
      ParameterEditor = peMemo
      Value = 'no note'
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
        'Green'
        '5')
      ParameterEditor = peCombobox
      Value = 'Red'
    end
    item
      Name = 'Size'
      ParamPromptValues.Strings = (
        'S'
        'M')
      ParameterEditor = peListBox
      ParameterMode = pmAskUndefined
      Value = 'S'
    end>
  object Header: TKVXBand
    BandType = btPageHeader
    NewPage = True
    Height = 20
    object PWho: TKVXExpression
      Expression = 'Who'
      Top = 1
      Left = 0
      Width = 100
      Height = 18
    end
    object PNote: TKVXExpression
      Expression = 'Note'
      Top = 1
      Left = 110
      Width = 100
      Height = 18
    end
    object PFlag: TKVXExpression
      Expression = 'Flag'
      Top = 1
      Left = 220
      Width = 100
      Height = 18
    end
    object PColor: TKVXExpression
      Expression = 'Color'
      Top = 1
      Left = 330
      Width = 100
      Height = 18
    end
    object PSize: TKVXExpression
      Expression = 'Size'
      Top = 1
      Left = 440
      Width = 100
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
      Width = 200
      Height = 18
    end
  end
  object Orders: TSqlDataSet
    Connection = 'sqlite:shop.db'
    SQL = 'SELECT id, customer, amount FROM orders ORDER BY id'
    Active = True
  end
end
)";

// Orders with their lines as a detail.
const char kMasterDetail[] = R"(object MD: TKVReport
  DataSet = Orders
  DataManager = Data
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
  end
  object Sub: TKVXBand
    Dataset = Lines
    BandType = btSubDetail
    Height = 20
    object Item: TKVXExpression
      Expression = 'Lines.item'
      Top = 1
      Left = 110
      Width = 100
      Height = 18
    end
  end
  object Orders: TSqlDataSet
    Connection = 'sqlite:shop.db'
    SQL = 'SELECT id, customer FROM orders WHERE id <= 3 ORDER BY id'
    Active = True
  end
  object Lines: TSqlDataSet
    Connection = 'sqlite:shop.db'
    SQL = 'SELECT order_id, item FROM lines WHERE order_id = :order_id ORDER BY item'
    Master = Orders
    MasterFields = 'order_id=id'
    Active = True
  end
  object Data: TKVXDataManager
    Datasets = <
      item
        Dataset = Orders
      end
      item
        Dataset = Lines
      end>
  end
end
)";

class RenderEdgeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(VorelBinary())) << "build the vorel target first";
        ASSERT_TRUE(forms.isValid() && work.isValid());
        MakeShop(Form("shop.db"), 100);
        WriteFile(Form("listing.kvx"), kListing);
        WriteFile(Form("md.kvx"), kMasterDetail);
    }

    QString Form(const QString& name) const { return forms.filePath(name); }
    QString Out(const QString& name) const { return work.filePath(name); }
    // Runs in the work folder, which is not the forms' folder.
    ToolRun Run(const QStringList& args) const { return Vorel(args, work.path()); }
    // Everything in the work folder, hidden entries included.
    QStringList WorkEntries() const
    {
        return QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // The cells of the first line of a CSV output.
    QStringList FirstRow(const QString& file) const
    {
        return QString::fromUtf8(Read(file)).section(u'\n', 0, 0).trimmed().split(u';');
    }

    QTemporaryDir forms;
    QTemporaryDir work;
};

TEST_F(RenderEdgeTest, CommandLineMistakesAreUsageErrorsAndWriteNothing)
{
    const QString form = Form("listing.kvx");
    const QString render = QStringLiteral("render");
    struct Case {
        QStringList Args;
        QString Said;
    };
    const QList<Case> cases = {
        {{render, form, "-o", "a.csv", "-o", "b.csv"}, "-o/--output is given more than once"},
        {{render, form, "-o", "a.csv", "--output=b.csv"}, "-o/--output is given more than once"},
        {{render, form, "-o", "a.csv", "--format", "csv", "--format=pdf"}, "--format is given more than once"},
        {{render, form, "-o", "a.csv", "--format="}, "--format needs a value"},
        {{render, form, "-o", "a.csv", "--pages", ""}, "--pages needs a value"},
        {{render, form, "-o", "a.csv", "--pages", "1", "--pages", "2"}, "--pages is given more than once"},
        {{render, form, "-o", "a.csv", "--quiet=no"}, "--quiet takes no value"},
        {{render, form, "-o", "--quiet"}, "-o needs a value"},
        {{render, form, "-o", "a.csv", "--param", "Who=a", "--param", "Who=b"}, "--param Who is given more than once"},
        {{render, form, "-o", "a.csv", "--data", "Orders=csv:x.csv", "--data", "orders=csv:y.csv"},
         "--data orders is given more than once"},
        {{render, form, "-o", "a.csv", "--data", "Orders=sqlite:shop.db?sql="}, "--data \"Orders=sqlite:shop.db?sql=\": sql= gives no query"},
        {{render, form, "-o", "a.csv", "--language", "9"}, "--language \"9\""},
        {{render, form, "-o", "a.pdf", "--option", "Compression"}, "--option \"Compression\": expected NAME=VALUE"},
        {{render, form, "-o", "a.pdf", "--option", "Compression=lzw", "--option=compression=flate"},
         "--option compression is given more than once"},
        {{render, form, "-o", "a.pdf", "--option", "Nope=1"},
         "--option Nope=1: the pdf format has no option Nope (its options: Compression, CompressionMethod, EmbedFonts, PdfA)"},
        {{render, form, "-o", "a.pdf", "--option", "Compression=zip"},
         "--option Compression=zip: TKVXExportToPDF.Compression: \"zip\" is not one of seASCIIHex, seASCII85, seLZW, "
         "seDCT, seFlate"},
        {{render, form, "-o", "a.txt", "--option", "OffsetY=3"},
         "--option OffsetY=3: the txt format has no option OffsetY to set: the export places every page itself"},
        {{render, form, "-o", "a.zpg", "--option", "Compression=flate"},
         "--option Compression: a prepared report (zpg) has no options"},
        {{render, form, form, "-o", "a.csv"}, "one report form at a time"},
        {{render, "--", "-o", "a.csv", form}, "one report form at a time"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run(c.Args);
        EXPECT_EQ(run.ExitCode, 2) << c.Args.join(u' ').toStdString() << "\n" << run.Err.toStdString();
        EXPECT_TRUE(run.Err.startsWith(QStringLiteral("vorel render: ") + c.Said))
            << c.Args.join(u' ').toStdString() << "\nsaid: " << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(QStringLiteral("Usage:"))) << run.Err.toStdString();
        EXPECT_TRUE(WorkEntries().isEmpty()) << c.Args.join(u' ').toStdString() << ": " << WorkEntries().join(u' ').toStdString();
    }
}

TEST_F(RenderEdgeTest, DoubleDashLetsAFormStartWithADashAndOptionsMayFollowTheForm)
{
    ASSERT_TRUE(QFile::copy(Form("listing.kvx"), Form("-odd name é.kvx")));
    ToolRun run = Run({"render", "-o", "dash.csv", "--quiet", "--", Form("-odd name é.kvx")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(FirstRow(Out("dash.csv")).contains(QStringLiteral("nobody")));

    run = Run({"info", "--", Form("-odd name é.kvx")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();

    run = Run({"render", Form("listing.kvx"), "-q", "-o", "after.csv", "--pages", "1"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.isEmpty() && run.Err.isEmpty()) << "--quiet says nothing: " << run.Err.toStdString();
}

TEST_F(RenderEdgeTest, OutputsThatCannotBeOrMustNotBeWritten)
{
    const QByteArray formBytes = Read(Form("listing.kvx"));
    const QByteArray dbBytes = Read(Form("shop.db"));
    ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("folder.csv")));
    WriteFile(Out("rows.csv"), "id,customer,amount\n1,Zoe,2.5\n");
    const QByteArray rowsBytes = Read(Out("rows.csv"));
    struct Case {
        QStringList Args;
        int ExitCode;
        QString Said;
    };
    const QList<Case> cases = {
        {{"-o", "missing/out.csv"}, 1, "missing/out.csv: the folder missing does not exist"},
        {{"-o", "folder.csv"}, 1, "folder.csv: the output is a folder"},
        {{"-o", "folder.csv/", "--format", "csv"}, 1, "folder.csv/: the output names a folder"},
        {{"-o", Form("listing.kvx"), "--format", "csv"}, 2, "is the report's own file"},
        // The form reads shop.db from its own folder.
        {{"-o", Form("shop.db"), "--format", "csv"}, 2, "is the data file"},
        {{"-o", "rows.csv", "--data", "Orders=csv:rows.csv"}, 2, "is the data file"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run(QStringList{"render", Form("listing.kvx")} + c.Args);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Args.join(u' ').toStdString() << "\n" << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(c.Said)) << c.Args.join(u' ').toStdString() << "\nsaid: " << run.Err.toStdString();
    }
    EXPECT_EQ(Read(Form("listing.kvx")), formBytes);
    EXPECT_EQ(Read(Form("shop.db")), dbBytes);
    EXPECT_EQ(Read(Out("rows.csv")), rowsBytes);
    EXPECT_EQ(WorkEntries(), (QStringList{"folder.csv", "rows.csv"}));

    // A prepared report written over itself.
    ToolRun run = Run({"render", Form("listing.kvx"), "-o", "saved.zpg", "-q"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QByteArray saved = Read(Out("saved.zpg"));
    run = Run({"render", "saved.zpg", "-o", "saved.zpg", "--pages", "1"});
    EXPECT_EQ(run.ExitCode, 2) << run.Err.toStdString();
    EXPECT_EQ(Read(Out("saved.zpg")), saved);
}

TEST_F(RenderEdgeTest, LinksPipesAndPermissionsOfTheOutputSurvive)
{
    // A link to the output stays a link; the file it points to is written.
    QTemporaryDir elsewhere;
    WriteFile(elsewhere.filePath("real.csv"), "old");
    ASSERT_TRUE(QFile::link(elsewhere.filePath("real.csv"), Out("link.csv")));
    ToolRun run = Run({"render", Form("listing.kvx"), "-o", "link.csv", "-q"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(QFileInfo(Out("link.csv")).isSymLink());
    EXPECT_TRUE(Read(elsewhere.filePath("real.csv")).contains("nobody"));

    // An output written again keeps the permissions it was given.
    ASSERT_TRUE(QFile::setPermissions(elsewhere.filePath("real.csv"), QFile::ReadOwner | QFile::WriteOwner));
    run = Run({"render", Form("listing.kvx"), "-o", "link.csv", "-q", "--param", "Who=Ann"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QFile::Permissions everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                                        QFile::ExeOther;
    EXPECT_EQ(QFileInfo(elsewhere.filePath("real.csv")).permissions() & everyone, QFile::ReadOwner | QFile::WriteOwner);

    // A named pipe is written into, never replaced by a file (nor is
    // /dev/null, which the same rule keeps).
    const QByteArray fifo = QFile::encodeName(Out("pipe"));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    // Read without blocking, so that a tool that replaced the pipe cannot
    // leave the reader waiting for a writer forever.
    const int readEnd = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(readEnd, 0);
    QByteArray received;
    std::atomic<bool> finished{false};
    std::thread reader([&] {
        char buffer[4096];
        for (bool last = false; !last;) {
            last = finished.load();
            ssize_t n;
            while ((n = ::read(readEnd, buffer, sizeof buffer)) > 0)
                received.append(buffer, n);
            if (!last)
                QThread::msleep(5);
        }
    });
    run = Run({"render", Form("listing.kvx"), "-o", "pipe", "--format", "csv"});
    finished = true;
    reader.join();
    ::close(readEnd);
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    struct stat info {};
    ASSERT_EQ(lstat(fifo.constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the pipe was replaced";
    EXPECT_TRUE(received.contains("nobody"));
}

TEST_F(RenderEdgeTest, CtrlCEndsARunWaitingForAPipesReader)
{
    const QByteArray fifo = QFile::encodeName(Out("pipe"));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    QProcess process;
    process.setWorkingDirectory(work.path());
    process.start(VorelBinary(), {"render", Form("listing.kvx"), "-o", "pipe", "--format", "csv"});
    ASSERT_TRUE(process.waitForStarted());
    // Nobody reads: the finished report waits to be written.
    ASSERT_FALSE(process.waitForFinished(2000));
    ::kill(pid_t(process.processId()), SIGINT);
    QThread::msleep(100);
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 130);
    struct stat info {};
    ASSERT_EQ(lstat(fifo.constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(WorkEntries(), QStringList{"pipe"});
}

TEST_F(RenderEdgeTest, AFolderWithoutWritePermissionIsRefusedBeforeTheWork)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write in any folder";
    ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("locked")));
    ASSERT_TRUE(QFile::setPermissions(Out("locked"), QFile::ReadOwner | QFile::ExeOwner));
    const ToolRun run = Run({"render", Form("listing.kvx"), "-o", "locked/out.csv"});
    QFile::setPermissions(Out("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("cannot create files in the folder locked"))) << run.Err.toStdString();
}

TEST_F(RenderEdgeTest, ParametersOfEveryEditorByNameBeforeLabel)
{
    struct Case {
        QStringList Params;
        int ExitCode;
        QStringList Cells; // Who, Note, Flag, Color, Size as shown; or a message part
    };
    const QList<Case> cases = {
        // Note's label is "Who": the name wins, and Note keeps its value.
        {{"Who=Ann"}, 0, {"Ann", "no note", "", "Red", "S"}},
        {{"Prepared for=Bo"}, 0, {"Bo", "no note", "", "Red", "S"}},
        {{"Note=first line"}, 0, {"nobody", "first line", "", "Red", "S"}},
        {{"Flag=yes"}, 0, {"nobody", "no note", "True", "Red", "S"}},
        {{"Flagged=off"}, 0, {"nobody", "no note", "False", "Red", "S"}},
        {{"Color=Green", "Size=M"}, 0, {"nobody", "no note", "", "Green", "M"}},
        // An item's text before an index: "5" is an item.
        {{"Color=5"}, 0, {"nobody", "no note", "", "5", "S"}},
        {{"Color=1", "Size=0"}, 0, {"nobody", "no note", "", "Green", "S"}},
        {{"Flag=maybe"}, 1, {"--param Flag: \"maybe\" is no check box value"}},
        {{"Color=Blue"}, 1, {"--param Color: \"Blue\" is not one of Red, Green, 5"}},
        {{"Size=2"}, 1, {"--param Size: \"2\" is not one of S, M"}},
        {{"Nobody=1"}, 1, {"no parameter named Nobody (it has: Who, Note, Flag, Color, Size)"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString out = QStringLiteral("p%1.csv").arg(++n);
        QStringList args{"render", Form("listing.kvx"), "-o", out, "--pages", "1", "-q"};
        for (const QString& param : c.Params)
            args << "--param" << param;
        const ToolRun run = Run(args);
        ASSERT_EQ(run.ExitCode, c.ExitCode) << c.Params.join(u' ').toStdString() << "\n" << run.Err.toStdString();
        if (c.ExitCode != 0) {
            EXPECT_TRUE(run.Err.contains(c.Cells.first())) << run.Err.toStdString();
            EXPECT_EQ(run.Err.count(u'\n'), 1) << run.Err.toStdString();
            EXPECT_FALSE(QFile::exists(Out(out)));
            continue;
        }
        // The cells that show something, left to right (an unset check box shows nothing).
        QStringList shown = FirstRow(Out(out));
        shown.removeAll(QString());
        QStringList expected = c.Cells;
        expected.removeAll(QString());
        EXPECT_EQ(shown, expected) << c.Params.join(u' ').toStdString() << "\n" << shown.join(u';').toStdString();
    }
}

TEST_F(RenderEdgeTest, DataBindingsReachTheDataSetTheFormKeeps)
{
    WriteFile(Out("rows.csv"), "id,customer,amount\n1,Zoe,2.5\n2,Yan,3.5\n");
    ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("sub")));
    WriteFile(Out("sub/rows.csv"), "id,customer,amount\n7,Sub,1\n");

    // Two entries answer to one name: the later one is the one the reader
    // keeps, and it must get the source.
    const QByteArray twice = QByteArray(kListing).replace(
        "  object Orders: TSqlDataSet",
        "  object ORDERS: TSqlDataSet\n    Connection = 'sqlite:shop.db'\n    SQL = 'SELECT 1 AS id'\n  end\n"
        "  object Orders: TSqlDataSet");
    WriteFile(Form("twice.kvx"), twice);
    QByteArray withLater = QByteArray(kListing);
    withLater.insert(withLater.lastIndexOf("end"),
                     "  object orders: TSqlDataSet\n    Connection = 'sqlite:shop.db'\n    SQL = 'SELECT 2 AS id'\n"
                     "    Active = True\n  end\n");
    WriteFile(Form("later.kvx"), withLater);
    // A data set only a data manager names.
    QByteArray managed = QByteArray(kListing).replace("  DataSet = Orders\n", "  DataSet = Orders\n  DataManager = Data\n");
    managed.insert(managed.lastIndexOf("end"), "  object Data: TKVXDataManager\n    Datasets = <\n      item\n"
                                               "        Dataset = Orders\n      end\n      item\n"
                                               "        Dataset = Extra\n        Caption = 'Extra'\n      end>\n  end\n");
    WriteFile(Form("managed.kvx"), managed);

    struct Case {
        QString Form;
        QStringList Data;
        int ExitCode;
        QStringList Expected; // in the output, or in the message
        QStringList Absent = {};
    };
    const QList<Case> cases = {
        {"twice.kvx", {"Orders=csv:rows.csv"}, 0, {"Zoe", "Yan"}, {"C1"}},
        {"later.kvx", {"ORDERS=csv:sub/rows.csv"}, 0, {"Sub"}, {"Zoe"}},
        {"listing.kvx",
         {"Orders=sqlite:" + Form("shop.db") +
          "?sql=SELECT id, 'a?b&c' AS customer FROM orders WHERE customer = 'C1' AND 'x&sql=y' <> '' LIMIT 2"},
         0,
         {"a?b&c"}},
        // The first marker starts the query, also when it is "&sql=".
        {"listing.kvx",
         {"Orders=sqlite:" + Form("shop.db") + "&sql=SELECT id, 'q?sql=1' AS customer FROM orders LIMIT 1"},
         0,
         {"q?sql=1"}},
        {"managed.kvx", {"Extra=sqlite:" + Form("shop.db") + "?sql=SELECT 1 AS x"}, 0, {"nobody"}},
        {"managed.kvx", {}, 1, {"Extra"}},
        // A bound source is named as the command line's, not as a line of the form.
        {"listing.kvx", {"Orders=sqlite:nowhere.db"}, 1, {"--data Orders:", "nowhere.db"}, {"line "}},
        {"md.kvx", {"Lines=csv:rows.csv"}, 1, {"--data Lines: Lines is a detail of Orders"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString out = QStringLiteral("d%1.csv").arg(++n);
        QStringList args{"render", Form(c.Form), "-o", out, "-q"};
        for (const QString& data : c.Data)
            args << "--data" << data;
        const ToolRun run = Run(args);
        ASSERT_EQ(run.ExitCode, c.ExitCode) << c.Data.join(u' ').toStdString() << "\n" << run.Err.toStdString();
        const QString said = c.ExitCode == 0 ? QString::fromUtf8(Read(Out(out))) : run.Err;
        for (const QString& text : c.Expected)
            EXPECT_TRUE(said.contains(text)) << c.Form.toStdString() << ": " << text.toStdString() << "\n" << said.toStdString();
        for (const QString& text : c.Absent)
            EXPECT_FALSE(said.contains(text)) << c.Form.toStdString() << ": " << text.toStdString() << "\n" << said.toStdString();
    }

    // A master bound to a CSV file: its detail still follows it.
    WriteFile(Out("masters.csv"), "id,customer\n2,Two\n3,Three\n");
    const ToolRun run = Run({"render", Form("md.kvx"), "-o", "md.csv", "-q", "--data", "Orders=csv:masters.csv"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString text = QString::fromUtf8(Read(Out("md.csv")));
    EXPECT_EQ(text.count(QStringLiteral("L2a")), 1) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("L3b")), 1) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("L1a"))) << text.toStdString();
    EXPECT_LT(text.indexOf(QStringLiteral("L2b")), text.indexOf(QStringLiteral("L3a")));
}

TEST_F(RenderEdgeTest, InputsAreReadAsWhatTheyHoldAndBrokenOnesSayWhereInOneLine)
{
    ToolRun run = Run({"render", Form("listing.kvx"), "-o", "saved.zpg", "-q"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QByteArray prepared = Read(Out("saved.zpg"));
    WriteFile(Out("prepared.kvx"), prepared);
    WriteFile(Form("form.zpg"), Read(Form("listing.kvx"))); // beside its database
    WriteFile(Out("empty.zpg"), {});
    WriteFile(Out("half.zpg"), prepared.left(prepared.size() / 2));
    WriteFile(Out("text.zpg"), "hello world\n");
    WriteFile(Form("cut.kvx"), QByteArray(kListing).left(700));
    // A prepared report of page 2 only: it has no page 1.
    run = Run({"render", Form("listing.kvx"), "-o", "second.zpg", "--pages", "2", "-q"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();

    struct Case {
        QStringList Args;
        int ExitCode;
        QString Said;
    };
    const QList<Case> cases = {
        {{"render", "prepared.kvx", "-o", "a.csv"}, 0, {}},
        {{"render", Form("form.zpg"), "-o", "b.csv", "--param", "Who=Zed"}, 0, {}},
        {{"render", "prepared.kvx", "-o", "c.csv", "--param", "Who=Zed"}, 2, "prepared.kvx is a prepared report"},
        {{"info", "saved.zpg"}, 1, "saved.zpg: a prepared report, not a report form"},
        {{"info", "prepared.kvx"}, 1, "prepared.kvx: a prepared report, not a report form"},
        {{"render", "empty.zpg", "-o", "d.csv"}, 1, "empty.zpg"},
        {{"render", "half.zpg", "-o", "e.csv"}, 1, "offset"},
        {{"render", "text.zpg", "-o", "f.csv"}, 1, "text.zpg"},
        {{"render", Form("cut.kvx"), "-o", "g.csv"}, 1, "offset 700"},
        {{"info", Form("cut.kvx")}, 1, "offset 700"},
        {{"render", "second.zpg", "-o", "h.csv", "--pages", "1"}, 1, "selects none of the report's 1 page(s) (numbered 2)"},
        {{"render", "second.zpg", "-o", "i.csv"}, 0, "i.csv: 1 page in"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run(c.Args);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Args.join(u' ').toStdString() << "\n" << run.Err.toStdString();
        if (c.ExitCode == 1) {
            EXPECT_EQ(run.Err.count(u'\n'), 1) << run.Err.toStdString();
            EXPECT_TRUE(run.Err.contains(c.Said)) << run.Err.toStdString();
        } else if (c.ExitCode == 2) {
            EXPECT_TRUE(run.Err.contains(c.Said)) << run.Err.toStdString();
        } else {
            EXPECT_TRUE(run.Out.startsWith(c.Said)) << run.Out.toStdString();
        }
    }
    EXPECT_TRUE(FirstRow(Out("a.csv")).contains(QStringLiteral("nobody")));
    EXPECT_TRUE(FirstRow(Out("b.csv")).contains(QStringLiteral("Zed")));
    for (const char* name : {"c.csv", "d.csv", "e.csv", "f.csv", "g.csv", "h.csv"})
        EXPECT_FALSE(QFile::exists(Out(QString::fromLatin1(name)))) << name;
}

TEST_F(RenderEdgeTest, AMessageOfSeveralLinesFromTheDatabaseIsPrintedAsOne)
{
    // Nothing listens on port 1 of the loopback address: the driver answers
    // in two lines (or, without the driver, says so in one).
    const ToolRun run = Run({"render", Form("listing.kvx"), "-o", "pg.csv", "--data",
                             "Orders=postgresql://nobody@127.0.0.1:1/none?connect_timeout=5&sql=SELECT 1 AS id"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err.count(u'\n'), 1) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.startsWith(QStringLiteral("vorel render: ") + Form("listing.kvx") + QStringLiteral(": --data Orders:")))
        << run.Err.toStdString();
}

TEST_F(RenderEdgeTest, HtmlPicturesTakeNamesTheFolderDoesNotHave)
{
    // A picture on every row: the HTML page refers to one file per row.
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(Form("dot.png")));
    QByteArray pictures = kListing;
    pictures.replace("    object Customer: TKVXExpression",
                     "    object Dot: TKVXImage\n      ImageKind = ikFile\n      FileName = '" +
                         QFile::encodeName(Form("dot.png")) +
                         "'\n      Top = 1\n      Left = 320\n      Width = 16\n      Height = 16\n    end\n"
                         "    object Customer: TKVXExpression");
    pictures.replace("ORDER BY id", "WHERE id <= 12 ORDER BY id");
    WriteFile(Form("pictures.kvx"), pictures);

    // A quarter of the names such pictures get are taken already; the new
    // ones must not replace them.
    const QString folder = Out("site");
    ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("site")));
    for (int number = 0; number < 0x10000; number += 4)
        WriteFile(QDir(folder).filePath(QStringLiteral("KVX") + QString::number(number, 16).toUpper() +
                                        QStringLiteral(".jpg")),
                  "mine");
    const int before = int(QDir(folder).entryList(QDir::Files).size());
    const ToolRun run = Run({"render", Form("pictures.kvx"), "-o", "site/page.html", "-q"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString html = QString::fromUtf8(Read(QDir(folder).filePath("page.html")));
    QStringList referred;
    for (const QRegularExpressionMatch& match : QRegularExpression(QStringLiteral("src=\"([^\"]+)\"")).globalMatch(html))
        referred << match.captured(1);
    referred.removeDuplicates();
    EXPECT_GE(referred.size(), 12) << html.left(2000).toStdString();
    for (const QString& name : referred)
        EXPECT_NE(Read(QDir(folder).filePath(name)), QByteArray("mine")) << name.toStdString() << " was replaced";
    EXPECT_EQ(int(QDir(folder).entryList(QDir::Files).size()), before + 1 + int(referred.size()));
    EXPECT_TRUE(QDir(folder).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());

    // The same page into /dev/stdout has nowhere to put its pictures.
    const ToolRun piped = Run({"render", Form("pictures.kvx"), "-o", "/dev/stdout", "--format", "html"});
    EXPECT_EQ(piped.ExitCode, 1);
    EXPECT_TRUE(piped.Err.contains(QStringLiteral("more file(s) beside it"))) << piped.Err.toStdString();
}

// Starts a large report and waits until its files are being written: the
// pages of --separate appear one by one.
class InterruptTest : public RenderEdgeTest {
protected:
    void SetUp() override
    {
        RenderEdgeTest::SetUp();
        MakeShop(Form("shop.db"), 120000);
    }

    bool StartAndWaitForExport(QProcess& process, const QStringList& args)
    {
        process.setWorkingDirectory(work.path());
        process.start(VorelBinary(), args);
        if (!process.waitForStarted())
            return false;
        for (int waited = 0; waited < 60000 && process.state() == QProcess::Running; waited += 20) {
            // Page files, wherever the tool puts them while it works.
            qsizetype pageFiles = 0;
            for (const QString& entry : WorkEntries())
                pageFiles += QFileInfo(Out(entry)).isDir() ? QDir(Out(entry)).entryList(QDir::Files).size() : 1;
            if (pageFiles > 20)
                return true;
            QThread::msleep(20);
        }
        return false;
    }
};

TEST_F(InterruptTest, CtrlCWhileExportingWritesNothingAndLeavesNothing)
{
    QProcess process;
    if (!StartAndWaitForExport(process, {"render", Form("listing.kvx"), "-o", "page.txt", "--separate"})) {
        process.waitForFinished(60000);
        GTEST_SKIP() << "the report finished before its export could be interrupted";
    }
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()), QStringLiteral("vorel render: cancelled; nothing written\n"));
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(WorkEntries().isEmpty()) << WorkEntries().join(u' ').toStdString();
}

TEST_F(InterruptTest, ASecondSignalEndsAtOnceAndRemovesWhatWasStaged)
{
    QProcess process;
    if (!StartAndWaitForExport(process, {"render", Form("listing.kvx"), "-o", "page.txt", "--separate"})) {
        process.waitForFinished(60000);
        GTEST_SKIP() << "the report finished before its export could be interrupted";
    }
    ::kill(pid_t(process.processId()), SIGINT);
    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_TRUE(WorkEntries().isEmpty()) << WorkEntries().join(u' ').toStdString();
}

TEST_F(InterruptTest, ASecondSignalEndsAQueryThatCannotBeCancelled)
{
    // Counting a hundred million rows takes far longer than the test waits.
    QProcess process;
    process.setWorkingDirectory(work.path());
    process.start(VorelBinary(),
                  {"render", Form("listing.kvx"), "-o", "slow.csv", "--data",
                   "Orders=sqlite:" + Form("shop.db") +
                       "?sql=WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000000) "
                       "SELECT MAX(i) AS id, 'x' AS customer FROM n"});
    ASSERT_TRUE(process.waitForStarted());
    QThread::msleep(1000);
    ASSERT_EQ(process.state(), QProcess::Running);
    ::kill(pid_t(process.processId()), SIGINT);
    QThread::msleep(300);
    ASSERT_EQ(process.state(), QProcess::Running) << "the query cannot notice the first signal";
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains(QStringLiteral("cancelled; nothing written")));
    EXPECT_TRUE(WorkEntries().isEmpty()) << WorkEntries().join(u' ').toStdString();
}

TEST_F(RenderEdgeTest, TheProgressLineIsClearedBeforeTheSummary)
{
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        GTEST_SKIP() << "script (util-linux) runs the tool on a terminal";
    MakeShop(Form("shop.db"), 20000);
    QProcess process;
    process.setWorkingDirectory(work.path());
    const QString command = QStringLiteral("'%1' render '%2' -o out.pdf").arg(VorelBinary(), Form("listing.kvx"));
    process.start(script, {"-qc", command, "/dev/null"});
    ASSERT_TRUE(process.waitForFinished(120000));
    const QByteArray screen = process.readAllStandardOutput();
    const qsizetype summary = screen.indexOf("out.pdf: ");
    ASSERT_GT(summary, 0) << screen.toStdString();
    // The form turns its progress display off; the tool shows it all the same.
    EXPECT_TRUE(screen.contains("Preparing")) << screen.left(300).toStdString();
    EXPECT_TRUE(screen.left(summary).endsWith("\r\x1b[K")) << screen.mid(summary - 40, 60).toStdString();
    EXPECT_FALSE(screen.mid(summary).contains('\x1b')) << "nothing drawn after the summary";
}

} // namespace
} // namespace vorel
