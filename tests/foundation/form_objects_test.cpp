// Form streaming of live components: what is written (kinds, defaults,
// nested names, references), what a stream assembled from the layout loads
// into, errors that name the property and offset, partial loads, hooks, and
// the generic property round trip.

#include "foundation/records/font.h"
#include "foundation/forms/form_objects.h"
#include "foundation/records/records.h"
#include "support/property_roundtrip.h"

#include <gtest/gtest.h>

#include <cstring>

namespace formtest {

using namespace vorel;

class TTestEnums {
    Q_GADGET
public:
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)
};

class TTestItem : public TCollectionItem {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Count READ Count WRITE SetCount)
public:
    Q_INVOKABLE explicit TTestItem(vorel::TCollection* collection = nullptr) : TCollectionItem(collection) {}
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& v) { FCaption = v; }
    int Count() const { return FCount; }
    void SetCount(int v) { FCount = v; }

private:
    QString FCaption;
    int FCount = 0;
};

class TTestFrame : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(vorel::TColor Color READ Color WRITE SetColor)
public:
    Q_INVOKABLE explicit TTestFrame(QObject* parent = nullptr) : TPersistent(parent) {}
    int Width() const { return FWidth; }
    void SetWidth(int v) { FWidth = v; }
    TColor Color() const { return FColor; }
    void SetColor(TColor v) { FColor = v; }

private:
    int FWidth = 1;
    TColor FColor = clBlack;
};

// A control with a property of every kind the stream stores.
class TTestControl : public TComponent {
    Q_OBJECT
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(qint64 Big READ Big WRITE SetBig)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(double Ratio READ Ratio WRITE SetRatio)
    Q_PROPERTY(float Scale READ Scale WRITE SetScale)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(uint Mask READ Mask WRITE SetMask)
    Q_PROPERTY(formtest::TTestEnums::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(vorel::TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(vorel::TFont* Font READ Font WRITE SetFont)
    Q_PROPERTY(formtest::TTestFrame* Frame READ Frame WRITE SetFrame)
    Q_PROPERTY(vorel::TStringList* Lines READ Lines WRITE SetLines)
    Q_PROPERTY(vorel::TCollection* Items READ Items WRITE SetItems)
    Q_PROPERTY(vorel::Variant Value READ Value WRITE SetValue)
    Q_PROPERTY(QByteArray Data READ Data WRITE SetData)
    Q_PROPERTY(vorel::TComponent* Link READ Link WRITE SetLink)
    Q_PROPERTY(int LineNo READ LineNo)
    Q_PROPERTY(int Cache READ Cache WRITE SetCache STORED false)
public:
    Q_INVOKABLE explicit TTestControl(QObject* owner = nullptr)
        : TComponent(owner), FFont(new TFont(this)), FFrame(new TTestFrame(this)), FLines(new TStringList(this)),
          FItems(new TCollection(&TTestItem::staticMetaObject, this))
    {
    }
    int Left() const { return FLeft; }
    void SetLeft(int v) { FLeft = v; }
    int Width() const { return FWidth; }
    void SetWidth(int v) { FWidth = v; }
    qint64 Big() const { return FBig; }
    void SetBig(qint64 v) { FBig = v; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& v) { FCaption = v; }
    double Ratio() const { return FRatio; }
    void SetRatio(double v) { FRatio = v; }
    float Scale() const { return FScale; }
    void SetScale(float v) { FScale = v; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { FVisible = v; }
    uint Mask() const { return FMask; }
    void SetMask(uint v) { FMask = v; }
    TTestEnums::TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TTestEnums::TAlignment v) { FAlignment = v; }
    TColor Color() const { return FColor; }
    void SetColor(TColor v) { FColor = v; }
    TFont* Font() const { return FFont; }
    void SetFont(TFont* v) { FFont->Assign(v); }
    TTestFrame* Frame() const { return FFrame; }
    void SetFrame(TTestFrame* v) { FFrame->SetWidth(v->Width()), FFrame->SetColor(v->Color()); }
    TStringList* Lines() const { return FLines; }
    void SetLines(TStringList* v) { FLines->Assign(v); }
    TCollection* Items() const { return FItems; }
    void SetItems(TCollection* v) { FItems->Assign(v); }
    const Variant& Value() const { return FValue; }
    void SetValue(const Variant& v) { FValue = v; }
    QByteArray Data() const { return FData; }
    void SetData(const QByteArray& v) { FData = v; }
    TComponent* Link() const { return FLink; }
    void SetLink(TComponent* v) { FLink = v; }
    int LineNo() const { return 3; }
    int Cache() const { return FCache; }
    void SetCache(int v) { FCache = v; }
    // The value goes into a form only when it is not Null.
    bool IsPropertyStored(const char* name) const override
    {
        return std::strcmp(name, "Value") != 0 || !FValue.IsNull();
    }

    QString OnBeforePrint; // an event handler's method name
    QByteArray Signature; // binary data the class stores itself

private:
    int FLeft = 0;
    int FWidth = 100;
    qint64 FBig = 0;
    QString FCaption = QStringLiteral("Label");
    double FRatio = 1.5;
    float FScale = 1.0f;
    bool FVisible = true;
    uint FMask = 0;
    TTestEnums::TAlignment FAlignment = TTestEnums::taLeftJustify;
    TColor FColor = clWhite;
    TFont* FFont;
    TTestFrame* FFrame;
    TStringList* FLines;
    TCollection* FItems;
    Variant FValue = Variant::Null();
    QByteArray FData;
    TComponent* FLink = nullptr;
    int FCache = 0;
};

// Holds the shared records, so their collections go through the round trip too.
class TTestRecordsHolder : public TComponent {
    Q_OBJECT
    Q_PROPERTY(vorel::TKVXVariables* Variables READ Variables WRITE SetVariables)
    Q_PROPERTY(vorel::TKVXParameters* Parameters READ Parameters WRITE SetParameters)
    Q_PROPERTY(vorel::TKVXHighLights* HighLights READ HighLights WRITE SetHighLights)
    Q_PROPERTY(vorel::TKVXCalculation* Calculation READ Calculation WRITE SetCalculation)
public:
    Q_INVOKABLE explicit TTestRecordsHolder(QObject* owner = nullptr)
        : TComponent(owner), FVariables(new TKVXVariables(this)), FParameters(new TKVXParameters(this)),
          FHighLights(new TKVXHighLights(this)), FCalculation(new TKVXCalculation(this))
    {
    }
    TKVXVariables* Variables() const { return FVariables; }
    void SetVariables(TKVXVariables* v) { FVariables->Assign(v); }
    TKVXParameters* Parameters() const { return FParameters; }
    void SetParameters(TKVXParameters* v) { FParameters->Assign(v); }
    TKVXHighLights* HighLights() const { return FHighLights; }
    void SetHighLights(TKVXHighLights* v) { FHighLights->Assign(v); }
    TKVXCalculation* Calculation() const { return FCalculation; }
    void SetCalculation(TKVXCalculation* v) { FCalculation->Assign(v); }

private:
    TKVXVariables* FVariables;
    TKVXParameters* FParameters;
    TKVXHighLights* FHighLights;
    TKVXCalculation* FCalculation;
};

// A class that wrongly leaves a property out of its forms: the round trip must notice.
class TLossyControl : public TComponent {
    Q_OBJECT
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
public:
    Q_INVOKABLE explicit TLossyControl(QObject* owner = nullptr) : TComponent(owner) {}
    int Height() const { return FHeight; }
    void SetHeight(int v) { FHeight = v; }
    bool IsPropertyStored(const char* name) const override { return std::strcmp(name, "Height") != 0; }

private:
    int FHeight = 10;
};

} // namespace formtest

// Readable QString values in failure messages.
static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

using namespace vorel;
using formtest::TTestControl;

class FormObjects : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterClass(&TTestControl::staticMetaObject);
        RegisterClass(&formtest::TTestRecordsHolder::staticMetaObject);
        RegisterClass(&formtest::TLossyControl::staticMetaObject);
        RegisterDefineProperties(&TTestControl::staticMetaObject, [](QObject* instance, TFiler& filer) {
            auto* control = static_cast<TTestControl*>(instance);
            filer.DefineEvent(
                QStringLiteral("OnBeforePrint"), [control] { return control->OnBeforePrint; },
                [control](const QString& name) { control->OnBeforePrint = name; });
            filer.DefineBinaryProperty(
                QStringLiteral("Signature"), [control](const QByteArray& bytes) { control->Signature = bytes; },
                [control]() -> std::optional<QByteArray> {
                    if (control->Signature.isEmpty())
                        return std::nullopt;
                    return control->Signature;
                });
        });
    }
};

struct Bytes {
    QByteArray b;
    Bytes& u8(int v)
    {
        b.append(char(v));
        return *this;
    }
    Bytes& i16(int v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Bytes& i32(std::int64_t v) { return i16(int(v & 0xFFFF)).i16(int((v >> 16) & 0xFFFF)); }
    Bytes& raw(const QByteArray& bytes)
    {
        b.append(bytes);
        return *this;
    }
    Bytes& sstr(const char* s) { return u8(int(std::strlen(s))).raw(QByteArray(s)); }
};

std::vector<QString> Names(const FormComponent& c)
{
    std::vector<QString> names;
    for (const FormProperty& p : c.Properties)
        names.push_back(p.Name);
    return names;
}

TEST_F(FormObjects, FreshObjectWritesOnlyItsHeader)
{
    TTestControl control;
    control.SetName(QStringLiteral("Label1"));
    const FormComponent tree = ComponentToForm(&control);
    EXPECT_EQ(tree.ClassName, "TTestControl");
    EXPECT_EQ(tree.Name, "Label1");
    EXPECT_TRUE(tree.Properties.empty()) << tree.Properties.front().Name.toStdString();
    EXPECT_EQ(SaveComponentBinary(&control), QByteArray("TPF0\x0CTTestControl\x06Label1\x00\x00", 26));
}

TEST_F(FormObjects, ChangedPropertiesAreWrittenInTheClassicKinds)
{
    TTestControl control;
    auto* other = new TTestControl(&control);
    other->SetName(QStringLiteral("Other"));
    control.SetLeft(5);
    control.SetWidth(1000);
    control.SetBig(std::int64_t(1) << 40);
    control.SetCaption(QString::fromUtf8("Grüße"));
    control.SetRatio(0.25);
    control.SetAlignment(formtest::TTestEnums::taCenter);
    control.SetColor(clRed);
    control.Frame()->SetColor(TColor(0x123456));
    control.Font()->SetCharset(RUSSIAN_CHARSET);
    control.Font()->SetStyle(fsBold | fsItalic);
    control.Lines()->Add(QStringLiteral("one"));
    static_cast<formtest::TTestItem*>(control.Items()->Add())->SetCount(-1);
    control.SetValue(Variant::FromCurrency(12.5));
    control.SetLink(other);
    control.SetCache(99); // not stored
    control.OnBeforePrint = QStringLiteral("Label1BeforePrint");
    control.Signature = QByteArray("\x0ATBitmap\x01", 9);
    const FormComponent tree = ComponentToForm(&control);
    const std::vector<QString> expected = {"Left", "Width", "Big", "Caption", "Ratio", "Alignment", "Color",
        "Font.Charset", "Font.Style", "Frame.Color", "Lines.Strings", "Items", "Value", "Link", "OnBeforePrint",
        "Signature"};
    EXPECT_EQ(Names(tree), expected);
    auto value = [&](const char* name) {
        for (const FormProperty& p : tree.Properties)
            if (p.Name == QLatin1String(name))
                return p.Value;
        return FormValue();
    };
    EXPECT_EQ(value("Left"), FormValue::Integer(5));
    EXPECT_EQ(value("Width").Kind, vaInt16);
    EXPECT_EQ(value("Big").Kind, vaInt64);
    EXPECT_EQ(value("Caption").Kind, vaUTF8String);
    EXPECT_EQ(value("Ratio"), FormValue::Float(0.25));
    EXPECT_EQ(value("Alignment"), FormValue::Ident("taCenter"));
    EXPECT_EQ(value("Color"), FormValue::Ident("clRed"));
    EXPECT_EQ(value("Font.Charset"), FormValue::Ident("RUSSIAN_CHARSET"));
    EXPECT_EQ(value("Font.Style"), FormValue::SetOf({"fsBold", "fsItalic"}));
    EXPECT_EQ(value("Frame.Color"), FormValue::Integer(0x123456)); // no name: an integer
    EXPECT_EQ(value("Lines.Strings"), FormValue::ListOf({FormValue::String("one")}));
    ASSERT_EQ(value("Items").Items.size(), 1u);
    EXPECT_EQ(value("Items").Items[0].Properties.front().Name, "Count");
    EXPECT_EQ(value("Value"), FormValue::CurrencyRaw(125000));
    EXPECT_EQ(value("Link"), FormValue::Ident("Other"));
    EXPECT_EQ(value("OnBeforePrint"), FormValue::Ident("Label1BeforePrint"));
    EXPECT_EQ(value("Signature"), FormValue::Binary(control.Signature));
    ASSERT_EQ(tree.Children.size(), 1u);

    // Everything, the defined properties included, comes back from the text form.
    TTestControl copy;
    FormComponent fromText;
    ReadFormText(WriteFormText(tree), fromText);
    FormToComponent(fromText, &copy);
    EXPECT_EQ(copy.Signature, control.Signature);
    EXPECT_EQ(copy.OnBeforePrint, control.OnBeforePrint);
    EXPECT_EQ(copy.Font()->Style(), fsBold | fsItalic);
    EXPECT_EQ(SaveComponentBinary(&copy), SaveComponentBinary(&control));
    EXPECT_EQ(tree.Children[0].Name, "Other");
}

TEST_F(FormObjects, VariantValuesKeepTheirType)
{
    const Variant values[] = {Variant(), Variant(7), Variant(qint64(1) << 40), Variant(2.5), Variant::FromSingle(0.5f),
        Variant::FromCurrencyRaw(-5), Variant::FromDate(45000.5), Variant(true), Variant(QString::fromUtf8("ä"))};
    const TValueType kinds[] = {vaNil, vaInt8, vaInt64, vaExtended, vaSingle, vaCurrency, vaDate, vaTrue, vaWString};
    for (int i = 0; i < 9; ++i) {
        TTestControl source, target;
        source.SetValue(values[i]);
        const FormComponent tree = ComponentToForm(&source);
        ASSERT_EQ(tree.Properties.size(), 1u) << i;
        EXPECT_EQ(tree.Properties[0].Value.Kind, kinds[i]) << i;
        FormToComponent(tree, &target);
        EXPECT_TRUE(target.Value().Identical(values[i])) << i << " " << target.Value().ToString().toStdString();
    }
}

// The root of a report-like form with two children, written from the
// layout, carrying framework properties the test class has no use for.
QByteArray AssembledForm()
{
    Bytes s;
    s.raw("TPF0").sstr("TTestControl").sstr("Report1");
    s.sstr("Tag").u8(vaInt8).u8(7); // kept: TComponent has Tag
    s.sstr("Hint").u8(vaString).sstr("tip"); // skipped: no such property
    s.sstr("ShowHint").u8(vaTrue);
    s.sstr("Cursor").u8(vaIdent).sstr("crHandPoint");
    s.sstr("OnClick").u8(vaIdent).sstr("Report1Click");
    s.sstr("Visible").u8(vaFalse); // kept: the class has Visible
    s.sstr("Font.Height").u8(vaInt8).u8(0xF3); // -13
    s.sstr("Font.Name").u8(vaString).sstr("Arial");
    s.sstr("Font.Color").u8(vaIdent).sstr("clBtnFace");
    s.sstr("Font.Charset").u8(vaInt8).u8(0); // a number where an identifier is usual
    s.sstr("Lines.Strings").u8(vaList).u8(vaString).sstr("a").u8(vaWString).i32(1).i16(0x044F).u8(0);
    s.sstr("Items").u8(vaCollection).u8(vaList).sstr("Caption").u8(vaString).sstr("first").u8(0);
    s.u8(vaInt8).u8(1).u8(vaList).sstr("Count").u8(vaInt16).i16(300).u8(0).u8(0);
    s.sstr("Link").u8(vaIdent).sstr("Band2"); // a forward reference
    s.sstr("OnBeforePrint").u8(vaIdent).sstr("Report1BeforePrint");
    s.u8(0);
    s.sstr("TTestControl").sstr("Band1").sstr("Width").u8(vaInt16).i16(500).u8(0);
    s.sstr("TTestControl").sstr("Label1").sstr("Caption").u8(vaString).sstr("Total").u8(0).u8(0); // a control
    s.u8(0);
    s.sstr("TTestControl").sstr("Band2").sstr("Link").u8(vaIdent).sstr("Other.Table1").u8(0).u8(0);
    s.u8(0);
    return s.b;
}

TEST_F(FormObjects, StreamAssembledFromTheLayoutLoads)
{
    TTestControl report;
    report.SetName(QStringLiteral("MyReport"));
    TComponent otherForm;
    otherForm.SetName(QStringLiteral("Other"));
    auto* table = new TComponent(&otherForm);
    table->SetName(QStringLiteral("Table1"));
    FormReadOptions options;
    options.ResolveReference = [&](const QString& name) -> QObject* {
        return name == QLatin1String("Other.Table1") ? table : nullptr;
    };
    const FormReadResult result = LoadComponent(AssembledForm(), &report, options);
    EXPECT_TRUE(result.Unresolved.empty());
    EXPECT_EQ(report.Name(), "MyReport"); // the root keeps its name
    EXPECT_EQ(report.Tag(), 7);
    EXPECT_FALSE(report.Visible());
    EXPECT_EQ(report.Font()->Height(), -13);
    EXPECT_EQ(report.Font()->Name(), "Arial");
    EXPECT_EQ(report.Font()->Color(), clBtnFace);
    EXPECT_EQ(report.Font()->Charset(), ANSI_CHARSET);
    EXPECT_EQ(report.Lines()->List(), QStringList({"a", QString::fromUtf8("я")}));
    ASSERT_EQ(report.Items()->Count(), 2);
    EXPECT_EQ(static_cast<formtest::TTestItem*>(report.Items()->Items(0))->Caption(), "first");
    EXPECT_EQ(static_cast<formtest::TTestItem*>(report.Items()->Items(1))->Count(), 300);
    EXPECT_EQ(report.OnBeforePrint, "Report1BeforePrint");
    ASSERT_EQ(report.ComponentCount(), 2);
    auto* band1 = qobject_cast<TTestControl*>(report.Components(0));
    auto* band2 = qobject_cast<TTestControl*>(report.Components(1));
    ASSERT_TRUE(band1 && band2);
    EXPECT_EQ(band1->Name(), "Band1");
    EXPECT_EQ(band1->Width(), 500);
    EXPECT_EQ(band1->Caption(), "Label"); // missing properties keep the constructor's values
    ASSERT_EQ(band1->ComponentCount(), 1);
    EXPECT_EQ(qobject_cast<TTestControl*>(band1->Components(0))->Caption(), "Total");
    EXPECT_EQ(report.Link(), band2);
    EXPECT_EQ(band2->Link(), table);
}

TEST_F(FormObjects, LoadingTheTextFormGivesTheSameObjects)
{
    FormComponent tree;
    ReadFormBinary(AssembledForm(), tree);
    TTestControl fromBinary, fromText;
    LoadComponent(AssembledForm(), &fromBinary);
    LoadComponent(WriteFormText(tree), &fromText);
    EXPECT_EQ(SaveComponentBinary(&fromText), SaveComponentBinary(&fromBinary));
}

TEST_F(FormObjects, ErrorsNameTheComponentThePropertyAndTheOffset)
{
    auto form = [](const std::function<void(Bytes&)>& property) {
        Bytes s;
        s.raw("TPF0").sstr("TTestControl").sstr("Report1").u8(0); // 4 + 13 + 8 + 1 = 26 bytes
        s.sstr("TTestControl").sstr("Band1"); // the child's properties start at 45
        property(s);
        s.u8(0).u8(0).u8(0);
        return s.b;
    };
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* message;
    };
    const Case cases[] = {
        {"unknown property", form([](Bytes& s) { s.sstr("Font.Heigth").u8(vaInt8).u8(1); }),
         "Error reading Band1.Font.Heigth at offset 45: Property Font.Heigth does not exist"},
        {"wrong kind", form([](Bytes& s) { s.sstr("Font.Height").u8(vaString).sstr("x"); }),
         "Error reading Band1.Font.Height at offset 45: Invalid property value (vaString where an integer was expected)"},
        {"out of range", form([](Bytes& s) { s.sstr("Width").u8(vaInt64).i32(0).i32(1); }),
         "Error reading Band1.Width at offset 45: Invalid property value (4294967296 is out of range)"},
        {"unsigned below zero", form([](Bytes& s) { s.sstr("Mask").u8(vaInt8).u8(0xFF); }),
         "Error reading Band1.Mask at offset 45: Invalid property value (-1 is out of range)"},
        {"unknown identifier", form([](Bytes& s) { s.sstr("Alignment").u8(vaIdent).sstr("taMiddle"); }),
         "Error reading Band1.Alignment at offset 45: Invalid property value (taMiddle is no value of TAlignment)"},
        {"unknown colour", form([](Bytes& s) { s.sstr("Color").u8(vaIdent).sstr("clPink"); }),
         "Error reading Band1.Color at offset 45: Invalid property value (clPink is no known identifier)"},
        {"unknown set element", form([](Bytes& s) { s.sstr("Font.Style").u8(vaSet).sstr("fsBlink").u8(0); }),
         "Error reading Band1.Font.Style at offset 45: Invalid property value (fsBlink is no element of TFontStyles)"},
        {"read-only", form([](Bytes& s) { s.sstr("LineNo").u8(vaInt8).u8(1); }),
         "Error reading Band1.LineNo at offset 45: Property LineNo is read-only"},
        {"properties of a nested object", form([](Bytes& s) { s.sstr("Font").u8(vaInt8).u8(1); }),
         "Error reading Band1.Font at offset 45: Invalid property value (vaInt8 where the properties of Font were expected)"},
        {"framework property inside a nested object", form([](Bytes& s) { s.sstr("Font.Visible").u8(vaTrue); }),
         "Error reading Band1.Font.Visible at offset 45: Property Font.Visible does not exist"},
        {"collection item property",
         form([](Bytes& s) { s.sstr("Items").u8(vaCollection).u8(vaList).sstr("Cont").u8(vaInt8).u8(1).u8(0).u8(0); }),
         "Error reading Band1.Items[0].Cont at offset 53: Property Cont does not exist"},
        {"string list of numbers", form([](Bytes& s) { s.sstr("Lines.Strings").u8(vaList).u8(vaInt8).u8(1).u8(0); }),
         "Error reading Band1.Lines.Strings at offset 45: Invalid property value (vaInt8 in a list of strings)"},
        {"event of the wrong kind", form([](Bytes& s) { s.sstr("OnBeforePrint").u8(vaString).sstr("x"); }),
         "Error reading Band1.OnBeforePrint at offset 45: Invalid property value (vaString where a method name was expected)"},
    };
    for (const Case& c : cases) {
        TTestControl report;
        try {
            LoadComponent(c.bytes, &report);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const EStreamError& e) {
            EXPECT_EQ(e.Message().toStdString(), c.message) << c.what;
            // The place as data says what the message says, with the path from the root.
            const TErrorPlace& place = e.Place();
            EXPECT_EQ(place.Component, "Report1.Band1") << c.what;
            EXPECT_TRUE(e.Message().startsWith(
                QStringLiteral("Error reading Band1.%1 at offset %2: ").arg(place.Property).arg(place.Offset)))
                << c.what;
        }
        EXPECT_EQ(report.ComponentCount(), 0) << c.what << ": a child that failed is freed";
    }
}

TEST_F(FormObjects, UnknownClassNamesTheEntry)
{
    Bytes s;
    s.raw("TPF0").sstr("TTestControl").sstr("Report1").u8(0);
    s.sstr("TNoSuchBand").sstr("Band1").u8(0).u8(0).u8(0);
    TTestControl report;
    try {
        LoadComponent(s.b, &report);
        FAIL();
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), "Error reading Band1 at offset 26: Class TNoSuchBand not found");
        EXPECT_EQ(e.Place().Component, "Report1.Band1");
        EXPECT_EQ(e.Place().Property, "");
        EXPECT_EQ(e.Place().Offset, 26);
    }
}

TEST_F(FormObjects, ChildrenReadBeforeAnErrorStay)
{
    const QByteArray good = AssembledForm();
    // Band2 refers to an unknown property: Band1 and its label stay, Band2 goes.
    QByteArray broken = good;
    broken.replace(QByteArray("\x04Link\x07\x0COther.Table1"), QByteArray("\x04Lonk\x07\x0COther.Table1"));
    TTestControl report;
    EXPECT_THROW(LoadComponent(broken, &report), EStreamError);
    ASSERT_EQ(report.ComponentCount(), 1);
    EXPECT_EQ(report.Components(0)->Name(), "Band1");
    EXPECT_EQ(report.Font()->Name(), "Arial"); // the root's properties were read

    // Every truncation: no crash, an error, and only whole children.
    for (qsizetype n = 0; n < good.size() - 1; ++n) {
        TTestControl partial;
        EXPECT_THROW(LoadComponent(good.left(n), &partial), EStreamError) << n;
        for (int i = 0; i < partial.ComponentCount(); ++i)
            EXPECT_EQ(partial.Components(i)->Name(), i == 0 ? "Band1" : "Band2") << n;
    }
}

TEST_F(FormObjects, HooksDecideOwnersAndSeeChildrenInFormOrder)
{
    TTestControl report;
    TComponent keeper; // the hook may put children elsewhere
    QStringList loaded;
    FormReadOptions options;
    options.CreateChild = [&](TComponent* parent, const FormComponent& entry, const QMetaObject* meta) {
        EXPECT_EQ(meta, &TTestControl::staticMetaObject);
        return new TTestControl(entry.Name.startsWith(u'B') ? &keeper : parent);
    };
    options.ChildLoaded = [&](TComponent* parent, TComponent* child) { loaded << parent->Name() + u'>' + child->Name(); };
    options.KeepRootName = false;
    LoadComponent(AssembledForm(), &report, options);
    EXPECT_EQ(loaded, QStringList({"Band1>Label1", "Report1>Band1", "Report1>Band2"}));
    EXPECT_EQ(report.Name(), "Report1"); // taken from the form
    EXPECT_EQ(keeper.ComponentCount(), 2);
}

TEST_F(FormObjects, InheritedEntriesReadIntoExistingChildren)
{
    TTestControl report;
    auto* band = new TTestControl(&report);
    band->SetName(QStringLiteral("Band1"));
    Bytes s;
    s.raw("TPF0").sstr("TTestControl").sstr("Report1").u8(0);
    s.u8(0xF1).sstr("TTestControl").sstr("Band1").sstr("Left").u8(vaInt8).u8(9).u8(0).u8(0);
    s.u8(0xF1).sstr("TTestControl").sstr("Band9").u8(0).u8(0).u8(0);
    EXPECT_THROW(LoadComponent(s.b, &report), EStreamError); // Band9 has no ancestor
    EXPECT_EQ(band->Left(), 9);
    EXPECT_EQ(report.ComponentCount(), 1);
}

TEST_F(FormObjects, ReferencesOutsideTheFormAreWrittenWithTheirOwner)
{
    TComponent otherForm;
    otherForm.SetName(QStringLiteral("DataModule1"));
    auto* table = new TComponent(&otherForm);
    table->SetName(QStringLiteral("Orders"));
    TTestControl report;
    report.SetLink(table);
    const FormComponent tree = ComponentToForm(&report);
    ASSERT_EQ(tree.Properties.size(), 1u);
    EXPECT_EQ(tree.Properties[0].Value, FormValue::Ident("DataModule1.Orders"));

    TTestControl unresolved;
    const FormReadResult result = FormToComponent(tree, &unresolved);
    ASSERT_EQ(result.Unresolved.size(), 1u);
    EXPECT_EQ(result.Unresolved[0].Property, "Link");
    EXPECT_EQ(result.Unresolved[0].Name, "DataModule1.Orders");
    EXPECT_EQ(unresolved.Link(), nullptr);

    auto* nameless = new TComponent(&otherForm);
    report.SetLink(nameless);
    EXPECT_THROW(ComponentToForm(&report), EStreamError);
}

TEST_F(FormObjects, EveryPropertySurvivesBothForms)
{
    for (const char* cls : {"TTestControl", "TTestRecordsHolder"}) {
        const QStringList faults = testsupport::PropertyRoundTrip(QString::fromLatin1(cls));
        EXPECT_TRUE(faults.isEmpty()) << cls << ":\n" << faults.join(u'\n').toStdString();
    }
}

TEST_F(FormObjects, RoundTripNoticesALostProperty)
{
    const QStringList faults = testsupport::PropertyRoundTrip(QStringLiteral("TLossyControl"));
    ASSERT_FALSE(faults.isEmpty());
    EXPECT_TRUE(faults.first().contains(QLatin1String("Height: 10 instead of 17"))) << faults.first().toStdString();
}

} // namespace

#include "form_objects_test.moc"
