// Report form files: the header and resource around the component stream,
// both forms through the report's own save and load, every property of
// every registered class, a form assembled byte by byte from the layout,
// data sets and references, event handler names, and broken input.

#include "auto/auto_print.h"
#include "model/model_test_support.h"

#include "data/csv_dataset.h"
#include "data/data_manager.h"
#include "data/memory_dataset.h"
#include "data/sql_dataset.h"
#include "export/csv_export.h"
#include "foundation/values/byte_io.h"
#include "model/event_handlers.h"
#include "model/image_control.h"
#include "model/report.h"
#include "model/report_form.h"
#include "model/shapes.h"
#include "model/text_controls.h"
#include "support/property_roundtrip.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <memory>

namespace vorel {
namespace {

constexpr TReportFormFormat kBothFormats[] = {TReportFormFormat::Binary, TReportFormFormat::Text};

const char* FormatName(TReportFormFormat format)
{
    return format == TReportFormFormat::Text ? "text" : "binary";
}

class ReportFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::EnsureModelRegistered();
        source.SetName(QStringLiteral("Invoice"));
        target.SetName(QStringLiteral("Invoice"));
    }

    template <typename T>
    T* Add(TKVXBand* band)
    {
        return static_cast<T*>(band->Object(band->AddElement(&T::staticMetaObject)));
    }

    TReportLoadResult Reload(TReportFormFormat format, const TReportLoadOptions& options = {})
    {
        return target.LoadReportFromBytes(source.SaveReportToBytes(format), options);
    }

    TKVReport source;
    TKVReport target;
};

// --- every property of every class -------------------------------------------------------------

// The classes whose objects a component's stored properties hold (nested
// objects and collection items), found by walking fresh objects.
void CollectReachable(QObject* object, QSet<const QMetaObject*>& seen, int depth)
{
    const QMetaObject* meta = object->metaObject();
    if (depth > 8 || seen.contains(meta))
        return;
    seen.insert(meta);
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty prop = meta->property(i);
        if (!prop.isStored() || !(prop.metaType().flags() & QMetaType::PointerToQObject))
            continue;
        QObject* value = prop.read(object).value<QObject*>();
        if (auto* collection = qobject_cast<TCollection*>(value))
            CollectReachable(collection->Add(), seen, depth + 1);
        else if (value && !qobject_cast<TComponent*>(value))
            CollectReachable(value, seen, depth + 1);
    }
}

TEST_F(ReportFileTest, EveryPropertyOfEveryRegisteredClassSurvivesBothForms)
{
    QSet<const QMetaObject*> reachable;
    int components = 0;
    for (const QMetaObject* meta : RegisteredClasses()) {
        if (!meta->inherits(&TComponent::staticMetaObject))
            continue;
        ++components;
        const QString name = MetaClassName(meta);
        testsupport::RoundTripOptions options;
        if (meta->inherits(&TKVReport::staticMetaObject)) {
            options.Write = ReportFormWriteOptions();
            options.Read = ReportFormReadOptions();
        }
        // Opening a data set needs a source, and a master that is the data
        // set itself is refused: both are checked with real data sets below.
        if (meta->inherits(&TDataSet::staticMetaObject))
            options.Keep = {QStringLiteral("Active"), QStringLiteral("Master")};
        // Single characters: set to other single characters.
        if (meta->inherits(&TCsvDataSet::staticMetaObject)) {
            options.Keep << QStringLiteral("Delimiter") << QStringLiteral("QuoteChar")
                         << QStringLiteral("DecimalSeparator");
            options.Prepare = [](TComponent* component) {
                auto* csv = static_cast<TCsvDataSet*>(component);
                csv->SetDelimiter(QStringLiteral(";"));
                csv->SetQuoteChar(QStringLiteral("'"));
                csv->SetDecimalSeparator(QStringLiteral(","));
            };
        }
        if (meta->inherits(&TKVXExportToCSV::staticMetaObject)) {
            options.Keep << QStringLiteral("Separator") << QStringLiteral("Quote");
            options.Prepare = [](TComponent* component) {
                auto* csv = static_cast<TKVXExportToCSV*>(component);
                csv->SetSeparator(QStringLiteral(","));
                csv->SetQuote(QStringLiteral("'"));
            };
        }
        if (meta->inherits(&TKVAutoPrint::staticMetaObject)) {
            // Setting MacroChar rewrites Header and Footer, and RowStyle sets the row colours.
            options.Keep << QStringLiteral("MacroChar") << QStringLiteral("Header") << QStringLiteral("Footer")
                         << QStringLiteral("Style");
            options.Prepare = [](TComponent* component) { static_cast<TKVAutoPrint*>(component)->SetMacroChar(QStringLiteral("#")); };
        }
        const QStringList faults = testsupport::PropertyRoundTrip(name, options);
        EXPECT_TRUE(faults.isEmpty()) << name.toStdString() << ":\n" << faults.join(u'\n').toStdString();

        std::unique_ptr<QObject> fresh(CreateObject(name, nullptr));
        CollectReachable(fresh.get(), reachable, 0);
    }
    EXPECT_GE(components, 15) << "report, band, 8 controls, frame components, data sets, data manager";
    // Persistent classes that are not components travel inside one; the
    // outlines are filled by a preparation and are never stored.
    for (const QMetaObject* meta : RegisteredClasses()) {
        if (!meta->inherits(&TComponent::staticMetaObject) && MetaClassName(meta) != u"TKVXOutline") {
            EXPECT_TRUE(reachable.contains(meta)) << MetaClassName(meta).toStdString() << " is in no form";
        }
    }
}

TEST_F(ReportFileTest, EveryReportPropertySurvivesTheFileInBothForms)
{
    testsupport::detail::SetNonDefault(&source, &source, 0);
    for (const TReportFormFormat format : kBothFormats) {
        Reload(format);
        QStringList faults;
        testsupport::detail::Compare(&source, &target, QString(), faults, 0);
        EXPECT_TRUE(faults.isEmpty()) << FormatName(format) << ":\n" << faults.join(u'\n').toStdString();
        EXPECT_EQ(target.SaveReportToBytes(format), source.SaveReportToBytes(format)) << FormatName(format);
    }
}

// --- the file's layout ---------------------------------------------------------------------------

TEST_F(ReportFileTest, TheBinaryFileIsHeaderThenResourceThenStream)
{
    const QByteArray file = source.SaveReportToBytes();
    bytes::ByteReader in(file);
    // L counts the banner's characters; only its first L bytes (in UTF-16LE) follow.
    const std::int32_t length = in.i32le();
    const QString banner = QString::fromUtf16(kReportFormBanner);
    ASSERT_EQ(length, banner.size());
    EXPECT_EQ(banner.split(u' ').size(), 3);
    EXPECT_EQ(file.mid(4, 4), QByteArray("V\0o\0", 4));
    in.Seek(4 + length);
    EXPECT_EQ(in.u8(), 0xFF);
    EXPECT_EQ(in.u16le(), 10) << "RCDATA";
    EXPECT_EQ(in.Bytes(10), QByteArrayView("TKVREPORT\0", 10));
    EXPECT_EQ(in.u16le(), 0x1030);
    const std::uint32_t size = in.u32le();
    EXPECT_EQ(qsizetype(size), in.Remaining());
    EXPECT_EQ(in.Bytes(4), QByteArrayView("TPF0"));
    EXPECT_EQ(file.sliced(in.Offset() - 4), SaveReportComponent(&source));

    const QByteArray text = source.SaveReportToBytes(TReportFormFormat::Text);
    EXPECT_TRUE(text.startsWith("object Invoice: TKVReport\r\n")) << text.left(40).toStdString();
    EXPECT_EQ(DetectReportFormFormat(text), TReportFormFormat::Text);
    EXPECT_EQ(DetectReportFormFormat(file), TReportFormFormat::Binary);
}

TEST_F(ReportFileTest, AnyHeaderLengthIsSkippedIncludingZero)
{
    source.SetColumnNumber(3);
    const QByteArray resource = WrapFormResource(QStringLiteral("TKVReport"), SaveReportComponent(&source));
    for (const int length : {0, 1, 17, 34}) {
        QByteArray file;
        bytes::writeI32le(file, length);
        file.append(QByteArray(length, 'x'));
        file.append(resource);
        target.SetColumnNumber(1);
        target.LoadReportFromBytes(file);
        EXPECT_EQ(target.ColumnNumber(), 3) << "header length " << length;
        EXPECT_EQ(target.BandCount(), 3);
    }
}

// --- the edge cases of loading -----------------------------------------------------------------

TEST_F(ReportFileTest, ANewReportLoadsAsThreeBandsReplacingEveryBandAndKeepingTheName)
{
    for (const TReportFormFormat format : kBothFormats) {
        target.SetName(QStringLiteral("Mine"));
        target.AddBand(btReportSummary, true); // added after creation: replaced too
        target.AddBand(btGroupHeader, true);
        Reload(format);
        ASSERT_EQ(target.BandCount(), 3) << FormatName(format);
        const TBandType expected[] = {btPageHeader, btDetail, btPageFooter};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(target.GetBand(i)->BandType(), expected[i]);
            EXPECT_EQ(target.GetBand(i)->NewPage(), i != 1) << "NewPage on both page bands";
            EXPECT_EQ(target.GetBand(i)->Report(), &target);
        }
        EXPECT_EQ(target.Name(), u"Mine");
        EXPECT_FALSE(target.Loading());
    }
}

TEST_F(ReportFileTest, AlwaysStoredPropertiesAreWrittenAtTheirDefaults)
{
    TKVXBand* detail = source.GetBand(1);
    Add<TKVXLine>(detail);
    Add<TKVXRectangle>(detail);
    Add<TKVXEllipse>(detail);
    Add<TKVXImage>(detail);
    auto* doubled = Add<TKVXRectangle>(detail);
    doubled->SetLineStyle(lsDouble);
    const QString text = QString::fromLatin1(source.SaveReportToBytes(TReportFormFormat::Text));
    for (const char* line : {"LineType = ltTop", "RectangleType = rtRectangle", "EllipseType = etEllipse",
                             "Center = False", "AspectRatio = False", "Stretch = False"})
        EXPECT_TRUE(text.contains(QLatin1String(line))) << line;
    EXPECT_EQ(text.count(u"Stretch = ssNoStretch"), 4) << "every shape";
    EXPECT_EQ(text.count(u"LineStyle ="), 1) << "only the double one";

    for (const TReportFormFormat format : kBothFormats) {
        Reload(format);
        ASSERT_EQ(target.GetBand(1)->ObjectCount(), 5);
        auto* read = qobject_cast<TKVXRectangle*>(target.GetBand(1)->Object(4));
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->LineStyle(), lsDouble) << FormatName(format);
    }
}

TEST_F(ReportFileTest, AControlKeepsAFontThatDiffersFromTheReports)
{
    TFont reportFont;
    reportFont.SetName(QStringLiteral("Arial"));
    reportFont.SetHeight(-16);
    source.SetFont(&reportFont);
    TKVXBand* detail = source.GetBand(1);
    auto* classic = Add<TKVXLabel>(detail); // takes the report's font ...
    const TFont classDefault;
    classic->SetFont(&classDefault); // ... and goes back to the class's default
    auto* inherited = Add<TKVXLabel>(detail);
    ASSERT_EQ(inherited->Font()->Name(), u"Arial");

    const QByteArray text = source.SaveReportToBytes(TReportFormFormat::Text);
    EXPECT_EQ(text.count("Font.Name = 'MS Sans Serif'"), 1) << text.toStdString();
    for (const TReportFormFormat format : kBothFormats) {
        Reload(format);
        ASSERT_EQ(target.GetBand(1)->ObjectCount(), 2);
        const TFont* first = target.GetBand(1)->Object(0)->Font();
        EXPECT_EQ(first->Name(), classDefault.Name()) << FormatName(format);
        EXPECT_EQ(first->Height(), classDefault.Height());
        const TFont* second = target.GetBand(1)->Object(1)->Font();
        EXPECT_EQ(second->Name(), u"Arial");
        EXPECT_EQ(second->Height(), -16);
    }
}

TEST_F(ReportFileTest, FilesOnDiskKeepTheirOwnName)
{
    EXPECT_EQ(source.GetFileName(), u"Report.kvx");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString first = dir.filePath(QStringLiteral("first.kvx"));
    const QString copy = dir.filePath(QStringLiteral("copy.kvx"));
    source.GetBand(1)->SetHeight(77);
    source.SaveReport(first);
    EXPECT_EQ(source.GetFileName(), first);
    ASSERT_TRUE(QFile::copy(first, copy));
    // The form stores the name it was saved under; the report must still
    // name the file it came from, or saving would overwrite the other one.
    target.LoadReport(copy);
    EXPECT_EQ(target.GetFileName(), copy);
    EXPECT_EQ(target.GetBand(1)->Height(), 77);

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    source.SaveReportToStream(buffer, TReportFormFormat::Text);
    buffer.seek(0);
    target.LoadReportFromStream(buffer);
    EXPECT_EQ(target.GetBand(1)->Height(), 77);

    try {
        target.LoadReport(dir.filePath(QStringLiteral("missing.kvx")));
        ADD_FAILURE() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().startsWith(u"Cannot open file")) << e.Message().toStdString();
    }
}

TEST_F(ReportFileTest, DataSetsOfAFormTakeRelativeFileNamesFromTheFormsFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid() && QDir(dir.path()).mkpath(QStringLiteral("forms/data")));
    QFile csv(dir.filePath(QStringLiteral("forms/data/people.csv")));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("name\nAda\n");
    csv.close();
    auto* people = new TCsvDataSet(&source);
    people->SetName(QStringLiteral("People"));
    people->SetFileName(QStringLiteral("data/people.csv"));
    people->SetActive(false);
    source.SetDataSet(people);
    const QString form = dir.filePath(QStringLiteral("forms/people.kvx"));
    source.SaveReport(form, TReportFormFormat::Text);

    // Loaded from anywhere: the working directory plays no part.
    target.LoadReport(form);
    auto* loaded = qobject_cast<TCsvDataSet*>(target.DataSet());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->FileName(), u"data/people.csv") << "the form keeps what it stores";
    loaded->Open();
    EXPECT_EQ(loaded->FieldByName(QStringLiteral("name"))->AsString(), u"Ada");
    EXPECT_EQ(loaded->ResolvePath(QStringLiteral("/abs/x.csv")), u"/abs/x.csv");
}

TEST_F(ReportFileTest, AfterLoadingThePrinterIsLookedUpByNameAndThePaperKnown)
{
    // The index of another machine's printer list means nothing here: the
    // name decides, whatever order the form gives them in.
    const QByteArray text = "object Report1: TKVReport\r\n"
                            "  PrinterSetting.PrinterName = 'No such printer'\r\n"
                            "  PrinterSetting.PrinterIndex = 3\r\n"
                            "  PrinterSetting.PaperSize = psA5\r\n"
                            "  PrinterSetting.PaperSizeWidth = 0\r\n"
                            "end\r\n";
    target.LoadReportFromBytes(text);
    TKVXPrinter* printer = target.PrinterSetting();
    EXPECT_EQ(printer->PrinterIndex(), -1);
    EXPECT_EQ(printer->GetPaperSizeWidth(), 1480);
    EXPECT_EQ(printer->GetPaperSizeHeight(), 2100);

    // A custom paper keeps the height it was given.
    target.LoadReportFromBytes("object Report1: TKVReport\r\n"
                               "  PrinterSetting.PaperSize = psCustom\r\n"
                               "  PrinterSetting.PaperSizeHeight = 2000\r\n"
                               "end\r\n");
    EXPECT_EQ(printer->GetPaperSizeHeight(), 2000);
}

// --- data sets and references ------------------------------------------------------------------

TEST_F(ReportFileTest, DataSetsFollowTheBandsAndReferencesResolveAfterReading)
{
    auto* orders = new TMemoryDataSet(&source);
    orders->SetName(QStringLiteral("Orders"));
    auto* lines = new TSqlDataSet(&source);
    lines->SetName(QStringLiteral("Lines"));
    lines->SetSQL(QStringLiteral("select * from lines where order_id = :id"));
    lines->SetMaster(orders);
    auto* manager = new TKVXDataManager(&source);
    manager->SetName(QStringLiteral("Manager"));
    manager->Datasets()->Add()->SetDataset(orders);
    manager->Datasets()->Add()->SetDataset(lines);
    source.SetDataSet(orders);
    source.SetDataManager(manager);
    source.GetBand(1)->SetDataset(lines);

    const QByteArray text = source.SaveReportToBytes(TReportFormFormat::Text);
    EXPECT_GT(text.indexOf("object Orders: TMemoryDataSet"), text.lastIndexOf("TKVXBand")) << "after the bands";
    EXPECT_LT(text.indexOf("DataSet = Orders"), text.indexOf("object Orders")) << "a reference ahead of its target";
    EXPECT_EQ(text.count("\r\n    Dataset = "), 1) << "only the band with a data set of its own";

    for (const TReportFormFormat format : kBothFormats) {
        for (int pass = 0; pass < 2; ++pass) { // a second load replaces the data sets of the first
            Reload(format);
            auto* readOrders = qobject_cast<TMemoryDataSet*>(target.FindComponent(QStringLiteral("Orders")));
            auto* readLines = qobject_cast<TSqlDataSet*>(target.FindComponent(QStringLiteral("Lines")));
            ASSERT_TRUE(readOrders && readLines) << FormatName(format);
            int named = 0;
            for (QObject* child : target.children())
                named += child->objectName() == u"Orders";
            EXPECT_EQ(named, 1);
            EXPECT_EQ(target.DataSet(), readOrders);
            ASSERT_NE(target.DataManager(), nullptr);
            EXPECT_EQ(target.DataManager()->parent(), &target);
            ASSERT_EQ(target.DataManager()->Datasets()->Count(), 2);
            EXPECT_EQ(target.DataManager()->Datasets()->Items(1)->Dataset(), readLines);
            EXPECT_EQ(readLines->Master(), readOrders);
            EXPECT_EQ(target.GetBand(1)->GetDataset(), readLines);
            EXPECT_EQ(target.GetBand(0)->GetDataset(), readOrders) << "the report's, by default";
        }
    }
}

TEST_F(ReportFileTest, ReferencesOutsideTheFormAreFoundAmongTheApplicationsComponents)
{
    std::unique_ptr<TComponent> module(new TComponent(Application()));
    module->SetName(QStringLiteral("Module1"));
    auto* orders = new TMemoryDataSet(module.get());
    orders->SetName(QStringLiteral("Orders"));
    auto* customers = new TMemoryDataSet(Application());
    customers->SetName(QStringLiteral("Customers"));
    std::unique_ptr<TMemoryDataSet> freeCustomers(customers);

    source.SetDataSet(orders);
    source.GetBand(1)->SetDataset(customers);
    const QByteArray text = source.SaveReportToBytes(TReportFormFormat::Text);
    EXPECT_TRUE(text.contains("DataSet = Module1.Orders")) << text.toStdString();
    for (const TReportFormFormat format : kBothFormats) {
        Reload(format);
        EXPECT_EQ(target.DataSet(), orders) << FormatName(format);
        EXPECT_EQ(target.GetBand(1)->GetDataset(), customers);
    }
}

TEST_F(ReportFileTest, AnUnresolvedReferenceIsReportedByPropertyAndName)
{
    QByteArray text = source.SaveReportToBytes(TReportFormFormat::Text);
    text.replace("object Invoice: TKVReport\r\n", "object Invoice: TKVReport\r\n  DataSet = Missing\r\n");
    target.AddBand(btReportTitle, true);
    try {
        target.LoadReportFromBytes(text);
        ADD_FAILURE() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), u"Error reading Invoice.DataSet: no component named Missing");
    }
    EXPECT_EQ(target.BandCount(), 3) << "everything else was read";
    EXPECT_FALSE(target.Loading());

    TReportLoadOptions lenient;
    lenient.AllowUnresolvedReferences = true;
    const TReportLoadResult result = target.LoadReportFromBytes(text, lenient);
    ASSERT_EQ(result.Unresolved.size(), 1u);
    EXPECT_EQ(result.Unresolved[0].Property, u"DataSet");
    EXPECT_EQ(result.Warnings(), QStringList({"Error reading Invoice.DataSet: no component named Missing"}));
    EXPECT_EQ(target.DataSet(), nullptr);
}

// --- event handlers ------------------------------------------------------------------------------

TEST_F(ReportFileTest, EventHandlerNamesSurviveAndBindToNamedHandlers)
{
    // As a form of another tool might name them.
    const QByteArray text = "object Report1: TKVReport\r\n"
                            "  OnBeginDoc = PrintCover\r\n"
                            "  OnBeginPage = CountPages\r\n"
                            "  OnEndDoc = NotHere\r\n"
                            "  OnGetVariable = LookUp\r\n"
                            "  object BandDetail: TKVXBand\r\n"
                            "    BandType = btDetail\r\n"
                            "    object Label1: TKVXLabel\r\n"
                            "      OnClick = Label1Click\r\n"
                            "    end\r\n"
                            "  end\r\n"
                            "end\r\n";
    int covers = 0;
    TKVXEventHandlers handlers;
    handlers.Add(QStringLiteral("printcover"), TNotifyEvent([&](QObject*) { ++covers; }));
    handlers.Add(QStringLiteral("CountPages"), TNotifyEvent([](QObject*) {})); // not a page event
    handlers.Add(QStringLiteral("LookUp"), TGetVariableEvent([](QObject*, const QString&, bool& accept, TFieldType&,
                                                                Variant& value) {
                     accept = true;
                     value = Variant(7);
                 }));
    TReportLoadOptions options;
    options.EventHandlers = &handlers;
    const TReportLoadResult result = target.LoadReportFromBytes(text, options);
    EXPECT_EQ(result.UnboundEvents,
              QStringList({"Invoice.OnBeginPage = CountPages (the handler is of another event type)",
                           "Invoice.OnEndDoc = NotHere (no such handler)"}));
    ASSERT_TRUE(target.OnBeginDoc);
    target.OnBeginDoc(&target);
    EXPECT_EQ(covers, 1);
    EXPECT_FALSE(target.OnBeginPage);
    ASSERT_TRUE(target.OnGetVariable);
    EXPECT_EQ(target.EventNames().Get(u"OnEndDoc"), u"NotHere");
    ASSERT_EQ(target.GetBand(0)->ObjectCount(), 1);
    EXPECT_EQ(target.GetBand(0)->Object(0)->EventNames().Get(u"OnClick"), u"Label1Click");

    // Saved again, every name is still there.
    const QByteArray again = target.SaveReportToBytes(TReportFormFormat::Text);
    for (const char* line : {"OnBeginDoc = PrintCover", "OnBeginPage = CountPages", "OnEndDoc = NotHere",
                             "OnGetVariable = LookUp", "OnClick = Label1Click"})
        EXPECT_TRUE(again.contains(line)) << line << "\n" << again.toStdString();

    // Without a table of its own a load binds from the process-wide one.
    ReportEventHandlers().Add(QStringLiteral("NotHere"), TNotifyEvent([&](QObject*) { covers += 10; }));
    TKVReport other;
    EXPECT_EQ(other.LoadReportFromBytes(again).UnboundEvents.size(), 3);
    ReportEventHandlers().Remove(QStringLiteral("NotHere"));
    ASSERT_TRUE(other.OnEndDoc);
    other.OnEndDoc(&other);
    EXPECT_EQ(covers, 11);
}

// --- a form assembled from the layout ------------------------------------------------------------

// Bytes of the binary form, written by hand from the layout.
struct Form {
    QByteArray b;
    Form& u8(int v)
    {
        bytes::writeU8(b, std::uint8_t(v));
        return *this;
    }
    Form& sstr(const QByteArray& s) { return u8(int(s.size())).raw(s); }
    Form& raw(const QByteArray& s)
    {
        b.append(s);
        return *this;
    }
    Form& prop(const QByteArray& name) { return sstr(name); }
    Form& i8(int v) { return u8(vaInt8).u8(v & 0xFF); }
    Form& i16(int v)
    {
        u8(vaInt16);
        bytes::writeI16le(b, std::int16_t(v));
        return *this;
    }
    Form& i32(int v)
    {
        u8(vaInt32);
        bytes::writeI32le(b, v);
        return *this;
    }
    Form& ident(const QByteArray& s) { return u8(vaIdent).sstr(s); }
    Form& str(const QByteArray& s) { return u8(vaString).sstr(s); }
    Form& utf8(const QString& s)
    {
        const QByteArray u = s.toUtf8();
        u8(vaUTF8String);
        bytes::writeU32le(b, std::uint32_t(u.size()));
        return raw(u);
    }
    Form& wide(const QString& s)
    {
        u8(vaWString);
        bytes::writeU32le(b, std::uint32_t(s.size()));
        for (const QChar c : s)
            bytes::writeU16le(b, c.unicode());
        return *this;
    }
    Form& end() { return u8(0); }
};

TEST_F(ReportFileTest, ABinaryFormAssembledByteByByteLoads)
{
    Form s;
    s.raw("TPF0").sstr("TKVReport").sstr("Report1");
    s.prop("ColumnNumber").i8(2);
    s.prop("PageNoStartAt").i32(5); // a wider kind than needed is fine
    s.prop("Font.Name").str("Courier New");
    s.prop("Font.Height").i8(-13);
    s.prop("Font.Style").u8(vaSet).sstr("fsBold").sstr("");
    s.prop("Font.Charset").ident("RUSSIAN_CHARSET");
    s.prop("KVProperty.Title").wide(QString::fromUtf8("Отчёт"));
    s.prop("Variables").u8(vaCollection).u8(vaList).prop("Name").str("Total").prop("Expression").str("SUM(1)").end().end();
    s.prop("PrinterSetting.Copies").i8(3);
    s.prop("OnBeginDoc").ident("PrintCover");
    s.end();
    //   a detail band with a label and a line
    s.sstr("TKVXBand").sstr("BandDetail");
    s.prop("Tag").i8(4); // a framework property every component carried
    s.prop("BandType").ident("btDetail");
    s.prop("Height").i16(300);
    s.prop("Stretch").u8(vaTrue);
    s.end();
    s.sstr("TKVXLabel").sstr("Label1");
    s.prop("DisplayName").utf8(QString::fromUtf8("Prix €"));
    s.prop("Left").i8(12);
    s.prop("Font.Height").i8(-16);
    s.prop("Frame.FTop").u8(vaTrue);
    s.prop("KVPrintWhen.RepeatedValues").u8(vaFalse);
    s.prop("ParentFont").u8(vaFalse); // accepted, nothing here needs it
    s.prop("Comments.Strings").u8(vaList).str("a").str("b").end();
    s.end().end();
    s.sstr("TKVXLine").sstr("Line1");
    s.prop("Stretch").ident("ssHeight");
    s.prop("LineStyle").ident("lsDouble");
    s.prop("LineType").ident("ltBottom");
    s.end().end();
    s.end(); // the band's children
    //   a page footer
    s.sstr("TKVXBand").sstr("BandFooter").prop("BandType").ident("btPageFooter").end().end();
    s.end(); // the report's children

    Form file;
    file.u8(4).u8(0).u8(0).u8(0).raw(QByteArray("V\0o\0", 4)); // L = 4
    file.u8(0xFF).u8(10).u8(0).raw(QByteArray("TKVREPORT\0", 10)).u8(0x30).u8(0x10);
    bytes::writeU32le(file.b, std::uint32_t(s.b.size()));
    file.raw(s.b);

    target.SetName(QStringLiteral("Kept"));
    const TReportLoadResult result = target.LoadReportFromBytes(file.b);
    EXPECT_EQ(result.UnboundEvents, QStringList({"Kept.OnBeginDoc = PrintCover (no such handler)"}));
    EXPECT_EQ(target.Name(), u"Kept");
    EXPECT_EQ(target.ColumnNumber(), 2);
    EXPECT_EQ(target.PageNoStartAt(), 5);
    EXPECT_EQ(target.Font()->Name(), u"Courier New");
    EXPECT_EQ(target.Font()->Height(), -13);
    EXPECT_EQ(target.Font()->Style(), TFontStyles(fsBold));
    EXPECT_EQ(target.Font()->Charset(), 204);
    EXPECT_EQ(target.KVProperty()->Title(), QString::fromUtf8("Отчёт"));
    ASSERT_EQ(target.Variables()->Count(), 1);
    EXPECT_EQ(target.Variables()->GetVariable(0)->Name(), u"Total");
    EXPECT_EQ(target.PrinterSetting()->Copies(), 3);

    ASSERT_EQ(target.BandCount(), 2);
    TKVXBand* detail = target.GetBand(0);
    EXPECT_EQ(detail->Name(), u"BandDetail");
    EXPECT_EQ(detail->BandType(), btDetail);
    EXPECT_EQ(detail->Height(), 300);
    EXPECT_TRUE(detail->Stretch());
    EXPECT_EQ(detail->Tag(), 4);
    ASSERT_EQ(detail->ObjectCount(), 2);
    auto* label = qobject_cast<TKVXLabel*>(detail->Object(0));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->DisplayName(), QString::fromUtf8("Prix €"));
    EXPECT_EQ(label->Left(), 12);
    EXPECT_EQ(label->Top(), 40) << "missing properties keep the constructor's values";
    EXPECT_EQ(label->Font()->Name(), u"Courier New") << "the report's font, read before the bands";
    EXPECT_EQ(label->Font()->Height(), -16);
    EXPECT_TRUE(label->Frame()->FTop());
    EXPECT_FALSE(label->KVPrintWhen()->RepeatedValues());
    EXPECT_EQ(label->Comments()->List(), QStringList({"a", "b"}));
    EXPECT_EQ(label->GetParentBand(), detail);
    EXPECT_EQ(label->Report(), &target);
    auto* line = qobject_cast<TKVXLine*>(detail->Object(1));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->Stretch(), ssHeight);
    EXPECT_EQ(line->LineStyle(), lsDouble);
    EXPECT_EQ(line->LineType(), ltBottom);
    EXPECT_EQ(target.GetBand(1)->BandType(), btPageFooter);
    EXPECT_EQ(target.GetBand(1)->ObjectCount(), 0);
}

// --- broken input -------------------------------------------------------------------------------

class BrokenFormTest : public ReportFileTest {
protected:
    void SetUp() override
    {
        ReportFileTest::SetUp();
        source.SetColumnNumber(2);
        auto* label = Add<TKVXLabel>(source.GetBand(1));
        label->SetName(QStringLiteral("Label1"));
        label->SetDisplayName(QStringLiteral("Amount"));
        Add<TKVXLine>(source.GetBand(2))->SetName(QStringLiteral("Line1"));
    }

    // Loads and returns the error's message; the report is checked to be usable.
    QString LoadError(const QByteArray& file)
    {
        try {
            target.LoadReportFromBytes(file);
        } catch (const EKVXError& e) {
            EXPECT_FALSE(target.Loading());
            for (const TKVXBand* band : target.Bands())
                EXPECT_EQ(band->Report(), &target);
            return e.Message();
        }
        return QStringLiteral("(no error)");
    }

    // The binary file around a changed component stream.
    static QByteArray File(const QByteArray& stream)
    {
        QByteArray file;
        bytes::writeI32le(file, 0);
        return file + WrapFormResource(QStringLiteral("TKVReport"), stream);
    }
};

TEST_F(BrokenFormTest, EveryTruncationRaisesAndKeepsTheBandsReadBefore)
{
    const QByteArray good = source.SaveReportToBytes();
    for (qsizetype size = 0; size < good.size(); ++size) {
        const QString message = LoadError(good.left(size));
        ASSERT_TRUE(message.contains(u"offset")) << "size " << size << ": " << message.toStdString();
        EXPECT_LE(target.BandCount(), 3);
    }
    // Cut inside the page footer: the two bands before it stay.
    const qsizetype footer = good.lastIndexOf("TKVXBand");
    EXPECT_TRUE(LoadError(good.left(footer + 12)).startsWith(u"Error reading"));
    EXPECT_EQ(target.BandCount(), 2);
    EXPECT_EQ(target.GetBand(1)->ObjectCount(), 1);

    const QByteArray text = source.SaveReportToBytes(TReportFormFormat::Text);
    for (qsizetype size = 1; size < text.size(); size += 7)
        ASSERT_TRUE(LoadError(text.left(size)).contains(u"offset")) << "text size " << size;
}

TEST_F(BrokenFormTest, ErrorsNameThePropertyAndTheByteOffset)
{
    const QByteArray stream = SaveReportComponent(&source);
    const qsizetype base = 4 + 19; // L, and the resource header up to the data
    struct Case {
        const char* What;
        QByteArray From, To;
        QString Expected; // with %1 for the offset of `To` in the file
        int Bands; // read before the error
        int Adjust = 0; // from the start of `To` to the byte the message names
    };
    const Case cases[] = {
        {"unknown class", "\x09TKVXLabel\x06Label1", "\x09TKVXLabek\x06Label1",
         QStringLiteral("Error reading Label1 at offset %1: Class TKVXLabek not found"), 1},
        {"unknown property", "\x0C" "ColumnNumber", "\x0C" "ColumnNumbex",
         QStringLiteral("Error reading Invoice.ColumnNumbex at offset %1: Property ColumnNumbex does not exist"), 0},
        {"wrong kind", "\x0C" "ColumnNumber\x02\x02", "\x0C" "ColumnNumber\x09\x09",
         QStringLiteral("Error reading Invoice.ColumnNumber at offset %1: Invalid property value (vaTrue where an "
                        "integer was expected)"),
         0},
        {"length past the end", "\x0B" "DisplayName\x06\x06" "Amount",
         QByteArray("\x0B" "DisplayName\x0C\xF0\xFF\xFF\x7F", 17),
         QStringLiteral("Error reading Label1.DisplayName at offset %1: Stream read error"), 1,
         1 + 11 + 1}, // the length itself, after the name and the kind byte
    };
    for (const Case& c : cases) {
        QByteArray broken = stream;
        const qsizetype at = broken.indexOf(c.From);
        ASSERT_GE(at, 0) << c.What;
        broken.replace(at, c.From.size(), c.To);
        if (c.To.size() < c.From.size())
            broken.truncate(at + c.To.size()); // nothing after the long length
        // Unknown classes are reported at the entry, properties at their name.
        const qsizetype offset = base + at + c.Adjust;
        const QString message = LoadError(File(broken));
        EXPECT_TRUE(message.startsWith(c.Expected.arg(offset))) << c.What << ": " << message.toStdString();
        EXPECT_EQ(target.BandCount(), c.Bands) << c.What << ": the bands read before stay";
    }
}

TEST_F(BrokenFormTest, EntriesStandWhereTheyCanBeWrittenAgain)
{
    // What a report would never write again is refused, naming the entry.
    const struct {
        const char* Inner;
        const char* Expected;
    } refused[] = {
        {"  object Label9: TKVXLabel\r\n  end\r\n",
         "Error reading Label9 at line 2 (offset 29): A TKVXLabel belongs in a band, not in the report"},
        {"  object Band1: TKVXBand\r\n    object Band2: TKVXBand\r\n    end\r\n  end\r\n",
         "Error reading Band2 at line 3 (offset 57): A band cannot hold the band TKVXBand"},
        {"  object Band1: TKVXBand\r\n    object Label1: TKVXLabel\r\n      object Line1: TKVXLine\r\n      end\r\n"
         "    end\r\n  end\r\n",
         "Error reading Line1 at line 4 (offset 89): A TKVXLabel cannot hold a TKVXLine"},
    };
    for (const auto& c : refused)
        EXPECT_EQ(LoadError(QByteArray("object Report1: TKVReport\r\n") + c.Inner + "end\r\n").toStdString(),
                  c.Expected);

    // A component that is no control, inside a band, belongs to the report
    // (and is written after the bands from then on).
    target.LoadReportFromBytes("object Report1: TKVReport\r\n"
                               "  DataSet = Orders\r\n"
                               "  object Band1: TKVXBand\r\n"
                               "    object Orders: TMemoryDataSet\r\n"
                               "    end\r\n"
                               "  end\r\n"
                               "end\r\n");
    ASSERT_NE(target.DataSet(), nullptr);
    EXPECT_EQ(target.DataSet()->parent(), &target);
    EXPECT_TRUE(target.SaveReportToBytes(TReportFormFormat::Text).contains("  object Orders: TMemoryDataSet"));
}

TEST_F(BrokenFormTest, BrokenHeadersAndForeignRootsAreRefused)
{
    QByteArray negative = source.SaveReportToBytes();
    negative[3] = char(0x80);
    EXPECT_EQ(LoadError(negative), u"Error reading report form at offset 0: Invalid stream format (a header length "
                                    u"of -2147483631)");
    QByteArray past;
    bytes::writeI32le(past, 1000);
    past.append("abc");
    EXPECT_EQ(LoadError(past), u"Error reading report form at offset 7: Stream read error (a header of 1000 bytes, 3 "
                                u"remain)");
    QByteArray onlyHeader;
    bytes::writeI32le(onlyHeader, 2);
    onlyHeader.append("ab");
    EXPECT_TRUE(LoadError(onlyHeader).contains(u"no component resource after the header"));
    EXPECT_EQ(target.BandCount(), 3) << "a form that never began leaves the bands alone";

    QByteArray badResource = source.SaveReportToBytes();
    badResource[4 + 17 + 1] = 11; // resource type 11 instead of 10
    EXPECT_TRUE(LoadError(badResource).startsWith(u"Error reading form at offset 21: Invalid stream format"))
        << LoadError(badResource).toStdString();

    TKVXBand band;
    band.SetName(QStringLiteral("Band1"));
    const QByteArray foreign = SaveComponentText(&band);
    EXPECT_EQ(LoadError(foreign), u"Error reading Band1 at offset 0: the form holds a TKVXBand, not a report");
}

} // namespace
} // namespace vorel
