// Filter options by name: what each kind of published property takes from
// text, what it refuses and how the refusal reads, and the listing with
// defaults from a fresh filter.

#include "export/export_options.h"
#include "export/pdf_export.h"

#include <QMetaProperty>
#include <gtest/gtest.h>

namespace vorel {

// The kinds the built-in filters do not publish yet.
class TOptionProbe : public TKVXExport {
    Q_OBJECT
    Q_PROPERTY(bool Flag MEMBER Flag)
    Q_PROPERTY(double Scale MEMBER Scale)
    Q_PROPERTY(QChar Mark MEMBER Mark)
    Q_PROPERTY(QString Caption MEMBER Caption)
public:
    Q_INVOKABLE explicit TOptionProbe(QObject* owner = nullptr) : TKVXExport(owner) {}
    bool Flag = false;
    double Scale = 2.5;
    QChar Mark = u';';
    QString Caption;
};

namespace {

struct SetCase {
    const char* Name;
    const char* Text;
    const char* Reads; // the property as text afterwards; null: refused
    const char* Said = nullptr; // a refusal's message holds this
};

// The property named in any case, as text (an enumeration by its value name).
QString Reads(const QObject& filter, const char* name)
{
    const QMetaObject* meta = filter.metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (qstricmp(property.name(), name) != 0)
            continue;
        const QVariant value = property.read(&filter);
        return property.isEnumType() ? QString::fromLatin1(property.enumerator().valueToKey(value.toInt()))
                                     : value.toString();
    }
    return QStringLiteral("(none)");
}

// Sets every case on a fresh filter of type F.
template <typename F>
void Check(const SetCase& c)
{
    F filter;
    const QString before = Reads(filter, c.Name);
    try {
        SetKVXExportOption(filter, QString::fromLatin1(c.Name), QString::fromLatin1(c.Text));
        ASSERT_TRUE(c.Reads) << c.Name << "=" << c.Text << " was taken";
        EXPECT_EQ(Reads(filter, c.Name), QString::fromUtf8(c.Reads)) << c.Name << "=" << c.Text;
    } catch (const EKVXExportOptionError& e) {
        EXPECT_FALSE(c.Reads) << c.Name << "=" << c.Text << ": " << e.what();
        EXPECT_TRUE(e.Message().contains(QString::fromLatin1(c.Said))) << e.what();
        EXPECT_EQ(Reads(filter, c.Name), before) << "a refused value changes nothing";
    }
}

TEST(ExportOptions, EachKindTakesItsTextsAndRefusesOthersNamingFilterOptionAndAllowed)
{
    const SetCase cases[] = {
        {"Compression", "seFlate", "seFlate"},
        {"compression", "Flate", "seFlate"},      // names and prefix-less values in any case
        {"Compression", "ascii85", "seASCII85"},
        {"CompressionMethod", "MAXCOMPRESS", "cmMaxCompress"},
        {"Compression", "zip", nullptr, "TKVXExportToPDF.Compression: \"zip\" is not one of seASCIIHex, seASCII85, "
                                        "seLZW, seDCT, seFlate"},
        {"Compression", "se", nullptr, "one of"}, // a bare prefix names nothing
        {"OffsetX", "-12", "-12"},
        {"OffsetX", "1.5", nullptr, "a whole number"},
        {"OffsetX", "2147483648", nullptr, "from -2147483648 to 2147483647"},
        {"Nope", "1", nullptr, "TKVXExportToPDF has no option \"Nope\" (its options: OffsetX, OffsetY, Compression, "
                               "CompressionMethod, EmbedFonts, PdfA)"},
        {"Name", "x", nullptr, "no option"},       // the component's, not the filter's
        {"Properties", "x", nullptr, "no option"}, // an object
    };
    for (const SetCase& c : cases)
        Check<TKVXExportToPDF>(c);

    const SetCase probeCases[] = {
        {"Flag", "YES", "true"},
        {"Flag", "0", "false"},
        {"Flag", "maybe", nullptr, "TOptionProbe.Flag: \"maybe\" is not a boolean (true, false, yes, no, 1 or 0)"},
        {"Scale", "0.75", "0.75"},
        {"Scale", "0,75", nullptr, "a number"}, // the C locale, whatever the user's
        {"Scale", "inf", nullptr, "a number"},
        {"Mark", "|", "|"},
        {"Mark", "\\t", "\t"},
        {"Mark", "ab", nullptr, "one character"},
        {"Caption", " two words ", " two words "}, // a text keeps its blanks
    };
    for (const SetCase& c : probeCases)
        Check<TOptionProbe>(c);
}

TEST(ExportOptions, ListingGivesTypesDefaultsOfAFreshFilterAndEnumerationValues)
{
    QStringList rows;
    for (const TKVXExportOption& o : KVXExportOptions(&TKVXExportToPDF::staticMetaObject))
        rows << o.Name + u' ' + o.Type + u' ' + o.Default + u' ' + o.Values.join(u',');
    EXPECT_EQ(rows, QStringList({"OffsetX integer 0 ", "OffsetY integer 0 ",
                                 "Compression TKVXECompression seASCIIHex seASCIIHex,seASCII85,seLZW,seDCT,seFlate",
                                 "CompressionMethod TKVXECompressionMethod cmNormal cmFastest,cmNormal,cmMaxCompress",
                                 "EmbedFonts boolean true ",
                                 "PdfA boolean false "}));
    rows.clear();
    for (const TKVXExportOption& o : KVXExportOptions(&TOptionProbe::staticMetaObject))
        if (o.Name != u"OffsetX" && o.Name != u"OffsetY")
            rows << o.Name + u' ' + o.Type + u' ' + o.Default;
    EXPECT_EQ(rows, QStringList({"Flag boolean false", "Scale number 2.5", "Mark character ;", "Caption text "}));
    EXPECT_THROW(KVXExportOptions(&QObject::staticMetaObject), EKVXError);
}

} // namespace
} // namespace vorel

#include "export_options_test.moc"
