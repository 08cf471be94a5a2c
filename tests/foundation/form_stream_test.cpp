// The component stream without objects: a stream assembled byte by byte
// from the layout, its text form, value kinds, the resource header and
// hostile input.

#include "foundation/forms/form_stream.h"
#include "foundation/forms/form_text_p.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <cfloat>
#include <cmath>
#include <cstring>

// Readable QString values in failure messages.
static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace vorel;

namespace {

// A little builder written from the layout, independent of the library's helpers.
struct Bytes {
    QByteArray b;
    Bytes& u8(int v)
    {
        b.append(char(v));
        return *this;
    }
    Bytes& i16(int v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Bytes& i32(std::int64_t v) { return i16(int(v & 0xFFFF)).i16(int((v >> 16) & 0xFFFF)); }
    Bytes& i64(std::int64_t v) { return i32(v & 0xFFFFFFFF).i32(v >> 32); }
    Bytes& raw(const QByteArray& bytes)
    {
        b.append(bytes);
        return *this;
    }
    Bytes& sstr(const char* s) { return u8(int(std::strlen(s))).raw(QByteArray(s)); }
    Bytes& prop(const char* name) { return sstr(name); }
};

std::int64_t Bits(double d)
{
    std::int64_t v;
    std::memcpy(&v, &d, 8);
    return v;
}

// A stream with every value kind, the child-position and inherited
// prefixes, nested names, a collection with an order value and a string list.
QByteArray SampleStream()
{
    Bytes s;
    s.raw("TPF0").sstr("TTestComponent").sstr("Root");
    s.prop("Left").u8(vaInt8).u8(5);
    s.prop("Width").u8(vaInt16).i16(1000);
    s.prop("Big").u8(vaInt32).i32(100000);
    s.prop("Huge").u8(vaInt64).i64(std::int64_t(1) << 40);
    // 1.5 as 80-bit extended: mantissa 0xC000000000000000, exponent 0x3FFF.
    s.prop("Ratio").u8(vaExtended).i64(std::int64_t(0xC000000000000000ull)).i16(0x3FFF);
    s.prop("Caption").u8(vaString).sstr("It's");
    s.prop("Align").u8(vaIdent).sstr("taCenter");
    s.prop("Flag").u8(vaFalse);
    s.prop("On").u8(vaTrue);
    s.prop("Data").u8(vaBinary).i32(3).u8(0x01).u8(0x02).u8(0xFF);
    s.prop("Font.Style").u8(vaSet).sstr("fsBold").sstr("fsItalic").u8(0);
    s.prop("Long").u8(vaLString).i32(300).raw(QByteArray(300, 'x'));
    s.prop("Link").u8(vaNil);
    s.prop("Items").u8(vaCollection);
    s.u8(vaList).prop("Name").u8(vaString).sstr("A").u8(0);
    s.u8(vaInt8).u8(3).u8(vaList).u8(0);
    s.u8(0);
    s.prop("Scale").u8(vaSingle).i32(0x3F000000); // 0.5f
    s.prop("Money").u8(vaCurrency).i64(125000); // 12.5
    s.prop("When").u8(vaDate).i64(Bits(45000.25));
    s.prop("Wide").u8(vaWString).i32(3).i16(0x041F).i16(0x0440).i16(0x0438); // "При"
    s.prop("Utf").u8(vaUTF8String).i32(3).u8('a').u8(0xC3).u8(0xA9); // "aé"
    s.prop("Dbl").u8(vaDouble).i64(Bits(0.1));
    s.prop("Lines.Strings").u8(vaList).u8(vaString).sstr("a").u8(vaString).sstr("b").u8(0);
    s.prop("Value").u8(vaNull);
    s.u8(0); // end of the root's properties
    s.u8(0xF2).u8(vaInt8).u8(1).sstr("TChild").sstr("Child1"); // child position 1
    s.prop("Tag").u8(vaInt16).i16(-300).u8(0).u8(0);
    s.u8(0xF1).sstr("TChild").sstr("Child2").u8(0).u8(0); // inherited
    s.u8(0); // end of the root's children
    return s.b;
}

const FormProperty& Prop(const FormComponent& c, const char* name)
{
    for (const FormProperty& p : c.Properties)
        if (p.Name == QLatin1String(name))
            return p;
    ADD_FAILURE() << "no property " << name;
    static FormProperty none;
    return none;
}

TEST(FormBinary, StreamAssembledFromTheLayoutReadsEveryValueKind)
{
    FormComponent root;
    ReadFormBinary(SampleStream(), root);
    EXPECT_TRUE(root.Complete);
    EXPECT_EQ(root.ClassName, "TTestComponent");
    EXPECT_EQ(root.Name, "Root");
    ASSERT_EQ(root.Properties.size(), 22u);
    EXPECT_EQ(Prop(root, "Left").Value, FormValue::Integer(5));
    EXPECT_EQ(Prop(root, "Left").Offset, 24); // 4 + 15 + 5 bytes of names before it
    EXPECT_EQ(Prop(root, "Width").Value.Kind, vaInt16);
    EXPECT_EQ(Prop(root, "Width").Value.Int, 1000);
    EXPECT_EQ(Prop(root, "Huge").Value.Int, std::int64_t(1) << 40);
    EXPECT_EQ(Prop(root, "Ratio").Value.ToDouble(), 1.5);
    EXPECT_EQ(Prop(root, "Caption").Value.Text, "It's");
    EXPECT_EQ(Prop(root, "Align").Value, FormValue::Ident("taCenter"));
    EXPECT_EQ(Prop(root, "Flag").Value.Kind, vaFalse);
    EXPECT_EQ(Prop(root, "Data").Value.Bytes, QByteArray("\x01\x02\xFF", 3));
    EXPECT_EQ(Prop(root, "Font.Style").Value.Set, QStringList({"fsBold", "fsItalic"}));
    EXPECT_EQ(Prop(root, "Long").Value.Text, QString(300, u'x'));
    const FormValue& items = Prop(root, "Items").Value;
    ASSERT_EQ(items.Items.size(), 2u);
    EXPECT_FALSE(items.Items[0].HasOrder);
    EXPECT_EQ(items.Items[0].Properties[0].Value.Text, "A");
    EXPECT_TRUE(items.Items[1].HasOrder);
    EXPECT_EQ(items.Items[1].Order.Int, 3);
    EXPECT_EQ(Prop(root, "Scale").Value.ToDouble(), 0.5);
    EXPECT_EQ(Prop(root, "Money").Value.ToDouble(), 12.5);
    EXPECT_EQ(Prop(root, "When").Value.ToDouble(), 45000.25);
    EXPECT_EQ(Prop(root, "Wide").Value.Text, QString::fromUtf8("При"));
    EXPECT_EQ(Prop(root, "Utf").Value.Text, QString::fromUtf8("aé"));
    EXPECT_EQ(Prop(root, "Dbl").Value.ToDouble(), 0.1);
    ASSERT_EQ(Prop(root, "Lines.Strings").Value.List.size(), 2u);
    EXPECT_EQ(Prop(root, "Value").Value.Kind, vaNull);
    ASSERT_EQ(root.Children.size(), 2u);
    EXPECT_EQ(root.Children[0].Flags, ffChildPos);
    EXPECT_EQ(root.Children[0].ChildPos.Int, 1);
    EXPECT_EQ(root.Children[0].Properties[0].Value.Int, -300);
    EXPECT_EQ(root.Children[1].Flags, ffInherited);
    EXPECT_EQ(root.Children[1].Name, "Child2");
}

TEST(FormBinary, TreeWritesBackByteForByte)
{
    const QByteArray stream = SampleStream();
    FormComponent root;
    ReadFormBinary(stream, root);
    EXPECT_EQ(WriteFormBinary(root), stream);
}

// Found by fuzzing: a class name of 170 bytes that are not UTF-8 (0xE1 and
// the like, read as Windows-1252) is 240 bytes long in the UTF-8 the writer
// writes; a length byte of 0xF0 or more reads back as the flags prefix, so
// the written form read back as another tree. Such a name now goes behind
// an empty prefix; names that still do not fit are an error on writing.
TEST(FormBinary, ClassNamesOf240BytesOrMoreReadBackAsWritten)
{
    for (const int length : {239, 240, 250, 255}) {
        FormComponent tree;
        tree.ClassName = QString(length, u'C');
        tree.Name = QStringLiteral("N");
        tree.Children.emplace_back();
        tree.Children.back().ClassName = QString(length, u'D');
        const QByteArray written = WriteFormBinary(tree);
        EXPECT_EQ(quint8(written[4]), length < 240 ? length : 0xF0) << length;
        FormComponent again;
        ASSERT_NO_THROW(ReadFormBinary(written, again)) << length;
        EXPECT_TRUE(again == tree) << length;
        EXPECT_EQ(WriteFormBinary(again), written) << length;
    }
    // The input the fuzzer found (198 bytes).
    const QByteArray found = QByteArray::fromBase64(
        "VFBGMKqqqg0AAQAAAOHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eEAAAAAInRQ"
        "RjCqqqoNAAEAAAAAAAAAInQKIAwMDAwMDAwlDAwMDAwMDAwMDAwMDAwMDAwMDAwMDAwHAAwMDAx5LkF1dGj/AAAAAAAAAAAAAAAAAAAAAAAAAAAA"
        "AIODgw0nZW5kAgIAAAAAAAAAoAJAAgICAoODDSdlbmQN");
    FormComponent tree, again;
    ReadFormAny(found, tree);
    const QByteArray written = WriteFormBinary(tree);
    ReadFormBinary(written, again);
    EXPECT_TRUE(again == tree);
    EXPECT_EQ(WriteFormBinary(again), written);
    // 256 bytes do not fit a length byte: refused, naming the size, never shortened.
    FormComponent tooLong;
    tooLong.ClassName = QString(128, QChar(0xE1)); // 2 bytes each in UTF-8
    try {
        WriteFormBinary(tooLong);
        ADD_FAILURE() << "a 256-byte class name was written";
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().contains(u"longer than 255 bytes")) << e.Message().toStdString();
    }
}

TEST(FormText, SampleStreamInTheReadableForm)
{
    FormComponent root;
    ReadFormBinary(SampleStream(), root);
    const QByteArray text = WriteFormText(root);
    const QByteArray expected = "object Root: TTestComponent\r\n"
                                "  Left = 5\r\n"
                                "  Width = 1000\r\n"
                                "  Big = 100000\r\n"
                                "  Huge = 1099511627776\r\n"
                                "  Ratio = 1.5\r\n"
                                "  Caption = 'It'#39's'\r\n"
                                "  Align = taCenter\r\n"
                                "  Flag = False\r\n"
                                "  On = True\r\n"
                                "  Data = {\r\n"
                                "    0102FF}\r\n"
                                "  Font.Style = [fsBold, fsItalic]\r\n"
                                "  Long =\r\n"
                                "    'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx' +\r\n"
                                "    'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx' +\r\n"
                                "    'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx' +\r\n"
                                "    'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx' +\r\n"
                                "    'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx'\r\n"
                                "  Link = nil\r\n"
                                "  Items = <\r\n"
                                "    item\r\n"
                                "      Name = 'A'\r\n"
                                "    end\r\n"
                                "    item [3]\r\n"
                                "    end>\r\n"
                                "  Scale = 0.5s\r\n"
                                "  Money = 125000c\r\n"
                                "  When = 45000.25d\r\n"
                                "  Wide = #1055#1088#1080\r\n"
                                "  Utf = 'a'#233\r\n"
                                "  Dbl = 0.1f\r\n"
                                "  Lines.Strings = (\r\n"
                                "    'a'\r\n"
                                "    'b')\r\n"
                                "  Value = Null\r\n"
                                "  object Child1: TChild [1]\r\n"
                                "    Tag = -300\r\n"
                                "  end\r\n"
                                "  inherited Child2: TChild\r\n"
                                "  end\r\n"
                                "end\r\n";
    EXPECT_EQ(text, expected);
}

TEST(FormText, BinaryToTextToBinaryIsByteIdentical)
{
    const QByteArray stream = SampleStream();
    FormComponent fromBinary;
    ReadFormBinary(stream, fromBinary);
    FormComponent fromText;
    ReadFormText(WriteFormText(fromBinary), fromText);
    EXPECT_TRUE(fromText.Complete);
    EXPECT_EQ(WriteFormBinary(fromText), stream);
}

TEST(FormText, ReaderAcceptsTheClassicSpellings)
{
    // '' inside quotes, #nnn and #$hh codes, "+" continuations over lines,
    // LF line ends, hexadecimal integers, upper-case keywords, an unnamed object.
    const QByteArray text = "OBJECT TThing\n"
                            "  S = 'a''b'#65#$42 +\n"
                            "      'c'\n"
                            "  H = $FF\n"
                            "  X = $1E\n"
                            "  N = -128\n"
                            "  E = []\n"
                            "  L = ()\n"
                            "  C = <>\n"
                            "  B = {}\n"
                            "  F = -2.5E-3\n"
                            "END";
    FormComponent root;
    ReadFormText(text, root);
    EXPECT_EQ(root.ClassName, "TThing");
    EXPECT_TRUE(root.Name.isEmpty());
    EXPECT_EQ(Prop(root, "S").Value, FormValue::String("a'bABc"));
    EXPECT_EQ(Prop(root, "H").Value, FormValue::Integer(255));
    EXPECT_EQ(Prop(root, "X").Value, FormValue::Integer(30)); // an 'E' in hexadecimal is no exponent
    EXPECT_EQ(Prop(root, "N").Value.Kind, vaInt8);
    EXPECT_EQ(Prop(root, "E").Value.Kind, vaSet);
    EXPECT_EQ(Prop(root, "L").Value.Kind, vaList);
    EXPECT_EQ(Prop(root, "C").Value.Kind, vaCollection);
    EXPECT_EQ(Prop(root, "B").Value.Kind, vaBinary);
    EXPECT_EQ(Prop(root, "F").Value.ToDouble(), -0.0025);
    EXPECT_EQ(Prop(root, "S").Line, 2);
}

TEST(FormValues, WriterPicksTheSmallestIntegerKind)
{
    struct Row {
        std::int64_t value;
        TValueType kind;
    } rows[] = {{0, vaInt8}, {127, vaInt8}, {-128, vaInt8}, {128, vaInt16}, {-129, vaInt16}, {32767, vaInt16},
        {32768, vaInt32}, {-32769, vaInt32}, {INT32_MAX, vaInt32}, {std::int64_t(INT32_MAX) + 1, vaInt64},
        {INT64_MIN, vaInt64}};
    for (const Row& r : rows)
        EXPECT_EQ(FormValue::Integer(r.value).Kind, r.kind) << r.value;
}

TEST(FormValues, StringKindFollowsTheUnicodeWriter)
{
    // ASCII: short or long 8-bit string; other text: the shorter of UTF-8 and UTF-16.
    EXPECT_EQ(FormValue::String(QString(255, u'a')).Kind, vaString);
    EXPECT_EQ(FormValue::String(QString(256, u'a')).Kind, vaLString);
    EXPECT_EQ(FormValue::String(QString::fromUtf8("aé")).Kind, vaUTF8String); // 3 bytes against 4
    EXPECT_EQ(FormValue::String(QString::fromUtf8("é")).Kind, vaWString); // 2 against 2
    EXPECT_EQ(FormValue::String(QString::fromUtf8("Привет")).Kind, vaWString);
    EXPECT_EQ(FormValue::String(QString::fromUtf8("Grüße aus Köln")).Kind, vaUTF8String);
    QString lone = QStringLiteral("abc");
    lone.append(QChar(0xD800)); // half a surrogate pair has no UTF-8 form
    EXPECT_EQ(FormValue::String(lone).Kind, vaWString);
    EXPECT_EQ(FormValue::Ident("true").Kind, vaTrue);
    EXPECT_EQ(FormValue::Ident("NIL").Kind, vaNil);
    EXPECT_EQ(FormValue::Ident("Null").Kind, vaNull);
}

TEST(FormValues, ExtendedIsExactForEveryDouble)
{
    const double values[] = {0.0, -0.0, 1.0, -2.5, 0.1, 1e300, -1e-300, DBL_MAX, DBL_MIN, 5e-324, 123456.789,
        HUGE_VAL, -HUGE_VAL};
    for (double d : values) {
        const auto bytes = LongDoubleToExtended(d);
        const long double back = ExtendedToLongDouble(bytes);
        EXPECT_EQ(double(back), d) << d;
        EXPECT_EQ(std::signbit(back), std::signbit(d)) << d;
#if defined(__x86_64__) || defined(__i386__)
        // Where long double is the x87 format itself, the bytes must match it.
        long double native = d;
        EXPECT_EQ(std::memcmp(&native, bytes.data(), 10), 0) << d;
#endif
    }
    EXPECT_TRUE(std::isnan(ExtendedToLongDouble(LongDoubleToExtended(NAN))));
    // 1.0: mantissa with only the integer bit, exponent 0x3FFF.
    const std::array<std::uint8_t, 10> one = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
    EXPECT_EQ(LongDoubleToExtended(1.0L), one);
}

TEST(FormValues, FloatTextIsShortestAndReadsBack)
{
    struct Row {
        long double value;
        TValueType kind;
        const char* text;
    } rows[] = {{1.0L, vaExtended, "1.0"}, {100.0L, vaExtended, "100.0"}, {0.1L, vaDouble, "0.1"},
        {0.001L, vaDouble, "0.001"}, {1e20L, vaDouble, "1E20"}, {-2.5e-30L, vaDouble, "-2.5E-30"},
        {0.5L, vaSingle, "0.5"}, {double(0.1f), vaSingle, "0.1"}, {-0.0L, vaDouble, "-0.0"},
        {HUGE_VALL, vaExtended, "INF"}, {1e17L, vaDouble, "100000000000000000.0"}, {1e18L, vaDouble, "1E18"}};
    for (const Row& r : rows)
        EXPECT_EQ(FormFloatText(r.value, r.kind), QByteArray(r.text));
    // 0.1 as an extended is not 0.1 as a double: it takes 21 digits to pin down.
    const long double tenth = 0.1L;
    const QByteArray text = FormFloatText(tenth, vaExtended);
    EXPECT_EQ(LongDoubleToExtended(std::strtold(text.constData(), nullptr)), LongDoubleToExtended(tenth)) << text.constData();
}

TEST(FormText, ExtendedValuesThatNoDoubleHoldsSurviveTheTextForm)
{
    FormComponent root;
    root.ClassName = QStringLiteral("T");
    root.Complete = true;
    root.Properties.push_back({QStringLiteral("A"), FormValue::Float(0.1L), -1, 0});
    root.Properties.push_back({QStringLiteral("B"), FormValue::Float(-1e-4000L), -1, 0}); // beyond any double
    root.Properties.push_back({QStringLiteral("C"), FormValue::Single(NAN), -1, 0});
    root.Properties.push_back({QStringLiteral("D"), FormValue::Date(-HUGE_VAL), -1, 0});
    FormComponent back;
    ReadFormText(WriteFormText(root), back);
    EXPECT_EQ(WriteFormBinary(back), WriteFormBinary(root));
}

// --- hostile input -----------------------------------------------------------------------

TEST(FormBinary, EveryTruncationRaisesAnErrorNamingAnOffset)
{
    const QByteArray stream = SampleStream();
    const QRegularExpression pattern(QStringLiteral("^Error reading .+ at offset (\\d+): "));
    for (qsizetype n = 0; n < stream.size(); ++n) {
        FormComponent root;
        try {
            ReadFormBinary(QByteArrayView(stream).first(n), root);
            ADD_FAILURE() << "no error for " << n << " bytes";
        } catch (const EStreamError& e) {
            const auto match = pattern.match(e.Message());
            ASSERT_TRUE(match.hasMatch()) << e.what();
            EXPECT_LE(match.captured(1).toLongLong(), n) << e.what();
        }
        EXPECT_FALSE(root.Complete);
    }
}

TEST(FormText, EveryTruncationRaisesAnErrorNamingALine)
{
    FormComponent root;
    ReadFormBinary(SampleStream(), root);
    const QByteArray text = WriteFormText(root);
    const qsizetype lastEnd = text.lastIndexOf("end");
    for (qsizetype n = 0; n < lastEnd + 2; ++n) {
        FormComponent partial;
        try {
            ReadFormText(QByteArrayView(text).first(n), partial);
            ADD_FAILURE() << "no error for " << n << " bytes";
        } catch (const EStreamError& e) {
            EXPECT_TRUE(e.Message().contains(QLatin1String(" at line "))) << e.what();
        }
    }
}

// The message, and the place as data: the component's path from the root,
// the property and the offset the message names.
TEST(FormBinary, MalformedStreamsNameThePropertyAndTheOffset)
{
    auto header = [] {
        Bytes s;
        s.raw("TPF0").sstr("TX").sstr("Band1"); // 4 + 3 + 6 = 13 bytes
        return s;
    };
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* message;
        const char* component; // the place's
        const char* property;
        std::int64_t offset;
    };
    std::vector<Case> cases;
    cases.push_back({"unknown kind", header().prop("Height").u8(22).b,
                     "Error reading Band1.Height at offset 20: Invalid stream format (unknown value kind 22)", "Band1",
                     "Height", 20});
    cases.push_back({"length past the end", header().prop("Text").u8(vaLString).i32(0x7FFFFFF0).raw("abc").b,
                     "Error reading Band1.Text at offset 19: Stream read error (a length of 2147483632 bytes, 3 remain)",
                     "Band1", "Text", 19});
    cases.push_back({"negative length", header().prop("Data").u8(vaBinary).i32(-1).b,
                     "Error reading Band1.Data at offset 19: Invalid stream format (length -1 is negative)", "Band1",
                     "Data", 19});
    cases.push_back({"wide string past the end", header().prop("W").u8(vaWString).i32(2).i16(65).b,
                     "Error reading Band1.W at offset 16: Stream read error (a length of 4 bytes, 2 remain)", "Band1",
                     "W", 16});
    cases.push_back({"item without a list", header().prop("Items").u8(vaCollection).u8(vaInt8).u8(1).u8(vaString).b,
                     "Error reading Band1.Items[0] at offset 22: Invalid stream format (vaString where a collection "
                     "item was expected)",
                     "Band1", "Items[0]", 22});
    cases.push_back({"child position of the wrong kind", header().u8(0).u8(0xF2).u8(vaString).b,
                     "Error reading Band1 at offset 16: Invalid stream format (vaString where a child position was "
                     "expected)",
                     "Band1", "", 16});
    // Regression: an empty prefix byte let an entry without a class name
    // through, which no writer can represent (it reads as the end of the children).
    cases.push_back({"entry without a class name", header().u8(0).u8(0xF0).u8(0).b,
                     "Error reading Band1 at offset 15: Invalid stream format (a component entry without a class "
                     "name)",
                     "Band1", "", 15});
    cases.push_back({"in a child", header().u8(0).sstr("TY").sstr("C1").prop("Height").u8(22).b,
                     "Error reading C1.Height at offset 27: Invalid stream format (unknown value kind 22)", "Band1.C1",
                     "Height", 27});
    cases.push_back({"no signature", QByteArray("TPF1\x02TX\x00\x00\x00", 9),
                     "Error reading form at offset 0: Invalid stream format (the signature \"TPF0\" is missing)", "",
                     "", 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FormComponent root;
        try {
            ReadFormBinary(c.bytes, root);
            ADD_FAILURE() << "no error";
        } catch (const EStreamError& e) {
            EXPECT_EQ(e.Message().toStdString(), c.message);
            EXPECT_EQ(e.Place().Component, QLatin1String(c.component));
            EXPECT_EQ(e.Place().Property, QLatin1String(c.property));
            EXPECT_EQ(e.Place().Offset, c.offset);
            EXPECT_EQ(e.Place().Line, 0);
        }
    }
}

TEST(FormBinary, DeepNestingIsRefusedWithoutExhaustingTheStack)
{
    Bytes s;
    s.raw("TPF0").sstr("TX").sstr("").prop("L");
    for (int i = 0; i < 100000; ++i)
        s.u8(vaList);
    FormComponent root;
    EXPECT_THROW(ReadFormBinary(s.b, root), EStreamError);
    QByteArray text = "object X: TX\r\n  L = ";
    text.append(QByteArray(100000, '('));
    EXPECT_THROW(ReadFormText(text, root), EStreamError);
}

// The message, and the place as data: line, offset, component path, property.
TEST(FormText, MalformedTextNamesTheLine)
{
    struct Case {
        const char* text;
        const char* message;
        const char* component; // the place's
        const char* property;
        int line;
        std::int64_t offset;
    } cases[] = {
        {"object A: TA\n  S = 'open\nend", "Error reading A.S at line 2 (offset 19): Unterminated string", "A", "S", 2,
         19},
        {"object A: TA\n  B = {0A1}\nend",
         "Error reading A.B at line 2 (offset 19): Invalid binary value (an odd number of hexadecimal digits)", "A", "B",
         2, 19},
        {"object A: TA\n  N = 99999999999999999999\nend",
         "Error reading A.N at line 2 (offset 19): Invalid integer \"99999999999999999999\"", "A", "N", 2, 19},
        {"object A: TA\n  X 5\nend", "Error reading A.X at line 2 (offset 17): '=' expected but \"5\" found", "A", "X", 2,
         17},
        {"object A: TA\n  object B: TB\n    object C: TC\n      X 5\n    end\n  end\nend",
         "Error reading C.X at line 4 (offset 53): '=' expected but \"5\" found", "A.B.C", "X", 4, 53},
        {"thing A: TA\nend",
         "Error reading form at line 1 (offset 0): Invalid stream format (\"object\", \"inherited\" or \"inline\" expected)",
         "", "", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FormComponent root;
        try {
            ReadFormText(QByteArray(c.text), root);
            ADD_FAILURE() << "no error";
        } catch (const EStreamError& e) {
            EXPECT_EQ(e.Message().toStdString(), c.message);
            EXPECT_EQ(e.Place().Component, QLatin1String(c.component));
            EXPECT_EQ(e.Place().Property, QLatin1String(c.property));
            EXPECT_EQ(e.Place().Line, c.line);
            EXPECT_EQ(e.Place().Offset, c.offset);
        }
    }
}

// --- resource header and recognition ------------------------------------------------------

TEST(FormResource, HeaderLayout)
{
    const QByteArray wrapped = WrapFormResource(QStringLiteral("TKVReport"), QByteArray("TPF0", 4));
    const QByteArray expected = QByteArray("\xFF\x0A\x00TKVREPORT\x00\x30\x10\x04\x00\x00\x00TPF0", 23);
    EXPECT_EQ(wrapped, expected);
    const FormResource res = ReadFormResourceHeader(wrapped);
    EXPECT_EQ(res.Name, "TKVREPORT");
    EXPECT_EQ(res.DataOffset, 19);
    EXPECT_EQ(res.DataSize, 4);
}

TEST(FormResource, BrokenHeadersAreRefused)
{
    const QByteArray good = WrapFormResource(QStringLiteral("R"), QByteArray("TPF0", 4));
    QByteArray wrongType = good;
    wrongType[1] = 3;
    QByteArray tooLong = good;
    tooLong[7] = 5; // five data bytes announced, four present
    const QByteArray noTerminator("\xFF\x0A\x00RRRR", 7);
    for (const QByteArray& bad : {wrongType, tooLong, noTerminator, good.left(8)})
        EXPECT_THROW(ReadFormResourceHeader(bad), EStreamError);
    for (qsizetype n = 0; n < good.size(); ++n) {
        FormComponent root;
        EXPECT_THROW(ReadFormAny(good.left(n), root), EStreamError) << n;
    }
}

TEST(FormRecognition, BinaryAndTextWithAndWithoutResourceHeader)
{
    FormComponent root;
    ReadFormBinary(SampleStream(), root);
    const QByteArray binary = WriteFormBinary(root);
    const QByteArray text = WriteFormText(root);
    const QByteArray inputs[] = {binary, WrapFormResource(QStringLiteral("TTestComponent"), binary), text,
        WrapFormResource(QStringLiteral("TTestComponent"), text), "\xEF\xBB\xBF  \r\n" + text};
    const FormFormat formats[] = {FormFormat::Binary, FormFormat::Binary, FormFormat::Text, FormFormat::Text,
        FormFormat::Text};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(DetectFormFormat(inputs[i]), formats[i]) << i;
        FormComponent read;
        ReadFormAny(inputs[i], read);
        EXPECT_EQ(read, root) << i;
    }
    EXPECT_EQ(DetectFormFormat("objective"), FormFormat::Unknown);
    EXPECT_THROW(ReadFormAny("hello", root), EStreamError);
}

TEST(FormRecognition, OffsetsCountFromTheStartOfTheFile)
{
    QByteArray stream = SampleStream();
    stream.chop(40);
    const QByteArray wrapped = WrapFormResource(QStringLiteral("TX"), stream); // 12-byte header
    FormComponent a, b;
    QString direct, viaResource;
    try {
        ReadFormAny(stream, a);
    } catch (const EStreamError& e) {
        direct = e.Message();
    }
    try {
        ReadFormAny(wrapped, b);
    } catch (const EStreamError& e) {
        viaResource = e.Message();
    }
    const QRegularExpression offset(QStringLiteral("offset (\\d+)"));
    ASSERT_TRUE(offset.match(direct).hasMatch()) << direct.toStdString();
    EXPECT_EQ(offset.match(viaResource).captured(1).toLongLong(), offset.match(direct).captured(1).toLongLong() + 12);
}

TEST(FormBinary, Windows1252IsTheDefaultForEightBitStrings)
{
    Bytes s;
    s.raw("TPF0").sstr("TX").sstr("").prop("S").u8(vaString).u8(3).u8(0x80).u8(0xE9).u8(0x9F).u8(0).u8(0);
    FormComponent root;
    ReadFormBinary(s.b, root);
    EXPECT_EQ(root.Properties[0].Value.Text, QString::fromUtf8("€éŸ"));
    FormParseOptions latin1;
    latin1.DecodeAnsi = [](QByteArrayView b) { return QString::fromLatin1(b); };
    ReadFormBinary(s.b, root = {}, latin1);
    EXPECT_EQ(root.Properties[0].Value.Text, QString::fromLatin1("\x80\xE9\x9F"));
    EXPECT_EQ(WriteFormBinary(root), s.b); // the stored bytes are kept as they were
}

} // namespace
