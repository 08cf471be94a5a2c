#include "export/pdf_fonts.h"

#include "export/pdf_code_pages.h"
#include "export/pdf_font_subset.h"
#include "export/pdf_object_writer.h"

#include <algorithm>
#include <cmath>

namespace vorel {

namespace {

// Widths and outlines are taken at an em of 1000 units, the glyph space of
// PDF font metrics.
constexpr int kGlyphSpaceEm = 1000;

TFontFacePtr FaceAtGlyphSpace(const QString& name, TFontStyles style)
{
    TFontRequest request;
    request.Name = name;
    request.Height = -kGlyphSpaceEm;
    request.Bold = style.testFlag(fsBold);
    request.Italic = style.testFlag(fsItalic);
    return TTextMeasurer::Face(request);
}

// The character a code of a font's code page stands for, 0 when none.
char16_t CodeChar(const TKVXPDFFont& font, int code)
{
    const int cp = font.CodePage();
    if (cp == 0) {
        // Symbol faces carry their glyphs in the symbol area U+F020..U+F0FF.
        const auto symbol = char16_t(0xF000 + code);
        return font.Face() && font.Face()->GlyphIndex(symbol) != 0 ? symbol : char16_t(code);
    }
    return TPdfCodePage::Get(cp).Decode(std::uint8_t(code));
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

} // namespace

// --- TKVXPDFFont ---------------------------------------------------------------------

QString TKVXPDFFont::GetFontName() const
{
    switch (Charset) {
    case ANSI_CHARSET:
        return BaseName;
    case RUSSIAN_CHARSET:
        return BaseName + QStringLiteral("-Russian");
    case EASTEUROPE_CHARSET:
        return BaseName + QStringLiteral("-EastEurope");
    case OEM_CHARSET:
        return BaseName + QStringLiteral("-OEM");
    case BALTIC_CHARSET:
        return BaseName + QStringLiteral("-Baltic");
    case SYMBOL_CHARSET:
        return BaseName + QStringLiteral("-Symbol");
    case MAC_CHARSET:
        return BaseName + QStringLiteral("-MAC");
    case GREEK_CHARSET:
        return BaseName + QStringLiteral("-Greek");
    case TURKISH_CHARSET:
        return BaseName + QStringLiteral("-Turkish");
    default:
        return BaseName + QLatin1Char('-') + QString::number(Charset);
    }
}

bool TKVXPDFFont::IsStandardFont() const
{
    const QString name = GetFontName();
    for (const char* standard : {"Helvetica", "Courier", "Times", "Symbol", "ZapfDingbats"}) {
        if (SameName(name, QLatin1String(standard)))
            return true;
    }
    return false;
}

QString TKVXPDFFont::EncodingString() const
{
    if (SameName(FaceName, QStringLiteral("ZapfDingbats")) || SameName(FaceName, QStringLiteral("Symbol"))
        || Charset == SYMBOL_CHARSET)
        return QStringLiteral("StandardEncoding");
    if (Charset == MAC_CHARSET)
        return QStringLiteral("MacRomanEncoding");
    return QStringLiteral("WinAnsiEncoding");
}

void TKVXPDFFont::FontParameters(const TFont& font)
{
    FaceName = font.Name();
    Style = font.Style();
    FFace = FaceAtGlyphSpace(FaceName, Style);
    const int pitchAndFamily = FFace->PitchAndFamily();
    TrueType = (pitchAndFamily & 4) ? 1 : 0;
    // Nonsymbolic (32); serif (2) for the roman family and for the families
    // that share its bit; italic (64).
    DescriptorFlags = 32;
    if ((pitchAndFamily & 0x10) || (pitchAndFamily & 0x40))
        DescriptorFlags += 2;
    if (Style.testFlag(fsItalic))
        DescriptorFlags += 64;
    Embeddable = (FFace->OutlineTypeFlags() & 1) == 0 ? 1 : 0;
}

int TKVXPDFFont::CodePage() const
{
    if (Charset == SYMBOL_CHARSET)
        return 0;
    const int cp = CharsetCodePage(Charset);
    return IsPdfCodePage(cp) ? cp : 1252;
}

bool TKVXPDFFont::WillEmbed() const
{
    return !IsStandardFont() && TrueType && Embeddable && Charset != ANSI_CHARSET && CodePage() != 0;
}

// --- TKVXPDFFonts ----------------------------------------------------------------------

QString TKVXPDFFonts::FontFamily(const TFont& font, TFontCharset charset)
{
    switch (charset) {
    case SHIFTJIS_CHARSET:
        return QStringLiteral("JapanFont");
    case HANGEUL_CHARSET:
        return QStringLiteral("KoreanFont");
    case CHINESEBIG5_CHARSET:
        return QStringLiteral("ChineseTraditionalFont");
    case GB2312_CHARSET:
        return QStringLiteral("ChineseSimplifiedFont");
    default:
        break;
    }
    const QString upper = font.Name().toUpper();
    const bool bold = font.Style().testFlag(fsBold);
    const bool italic = font.Style().testFlag(fsItalic);
    const QString obliqueSuffix = bold && italic ? QStringLiteral("-BoldOblique")
        : bold                                   ? QStringLiteral("-Bold")
        : italic                                 ? QStringLiteral("-Oblique")
                                                 : QString();
    // Later matches override earlier ones.
    QString name = QStringLiteral("Times-Roman");
    if (upper.contains(QLatin1String("ARIAL")) || upper.contains(QLatin1String("MS SANS SERIF")))
        name = QStringLiteral("Helvetica") + obliqueSuffix;
    if (upper.contains(QLatin1String("COURIER")))
        name = QStringLiteral("Courier") + obliqueSuffix;
    if (upper.contains(QLatin1String("TIMES"))) {
        name = QStringLiteral("Times-")
            + (bold && italic ? QStringLiteral("BoldItalic")
                    : bold    ? QStringLiteral("Bold")
                    : italic  ? QStringLiteral("Italic")
                              : QStringLiteral("Roman"));
    }
    if (upper.contains(QLatin1String("SYMBOL")))
        name = QStringLiteral("Symbol");
    else if (upper.contains(QLatin1String("ZAPFDINGBATS")) || upper.contains(QLatin1String("WINGDINGS")))
        name = QStringLiteral("ZapfDingbats");
    return name;
}

TFontCharset TKVXPDFFonts::GetFontCharset(TFontCharset charset, int ansiCodePage)
{
    return charset == DEFAULT_CHARSET ? CodePageCharset(ansiCodePage) : charset;
}

int TKVXPDFFonts::GetItemByFont(const QString& baseName, TFontCharset charset, const QString& faceName,
    TFontStyles style) const
{
    const TFontStyles shape = style & (fsBold | fsItalic);
    for (std::size_t i = 0; i < FFonts.size(); ++i) {
        const TKVXPDFFont& f = *FFonts[i];
        if (f.BaseName != baseName || f.Charset != charset)
            continue;
        // Entries of non-standard fonts carry the widths (and perhaps the
        // outlines) of their own face, so another face is another entry.
        if (!f.IsStandardFont()
            && (!SameName(f.FaceName, faceName) || (f.Style & (fsBold | fsItalic)) != shape))
            continue;
        return int(i);
    }
    return -1;
}

TKVXPDFFont* TKVXPDFFonts::GetFont(int index) const
{
    return index >= 0 && index < Count() ? FFonts[std::size_t(index)].get() : nullptr;
}

int TKVXPDFFonts::FontFromTable(TPdfWriter& pdf, const TFont& font, TFontCharset charset)
{
    const QString name = FontFamily(font, charset);
    const int found = GetItemByFont(name, charset, font.Name(), font.Style());
    if (found >= 0)
        return found;
    auto entry = std::make_unique<TKVXPDFFont>();
    entry->BaseName = name;
    entry->Reference = pdf.GetNextRefIndex();
    entry->Charset = charset;
    entry->FontParameters(font);
    FFonts.push_back(std::move(entry));
    return Count() - 1;
}

void TKVXPDFFonts::WriteFontDifferences(TPdfWriter& pdf, const TKVXPDFFont& font)
{
    const auto differences = PdfDifferences(font.CodePage());
    if (differences.empty())
        return;
    pdf.WriteString("/Differences [");
    for (const TPdfDifference& d : differences)
        pdf.WriteString(PdfInt(d.Code) + ' ' + PdfName(d.Name));
    pdf.WriteString("]");
}

void TKVXPDFFonts::WriteWidths(TPdfWriter& pdf, const TKVXPDFFont& font) const
{
    pdf.WriteString("/FirstChar " + PdfInt(kPdfFirstChar));
    pdf.WriteString("/LastChar " + PdfInt(kPdfLastChar));
    pdf.WriteString("/Widths [");
    QByteArray line;
    for (int code = kPdfFirstChar; code <= kPdfLastChar; ++code) {
        const char16_t c = CodeChar(font, code);
        // The advance at an em of 1000: the sum of the classic A, B and C widths.
        line += PdfInt(c ? font.Face()->CharWidth(c) : 0) + ' ';
        if (line.size() > 80) {
            pdf.WriteString(line);
            line.clear();
        }
    }
    pdf.WriteString(line + ']');
}

QString TKVXPDFFonts::SubsetTag(int index) const
{
    const TKVXPDFFont& font = *FFonts[std::size_t(index)];
    return QString::fromLatin1(PdfSubsetTag(font.FaceName.toUtf8() + '/' + QByteArray::number(int(font.Style)) + '/'
        + QByteArray::number(font.Charset) + '/' + QByteArray::number(index)));
}

QByteArray PdfSubsetTag(QByteArrayView key)
{
    // Six capitals that differ from font to font and stay the same from run
    // to run (FNV-1a of what makes the subset).
    std::uint32_t hash = 2166136261u;
    for (const char c : key)
        hash = (hash ^ std::uint8_t(c)) * 16777619u;
    QByteArray tag;
    for (int i = 0; i < 6; ++i) {
        tag += char('A' + hash % 26);
        hash /= 26;
    }
    return tag;
}

QByteArray TKVXPDFFonts::SubsetFor(const TKVXPDFFont& font) const
{
    QList<TPdfGlyphChar> chars;
    chars.reserve(kPdfLastChar - kPdfFirstChar + 1);
    for (int code = kPdfFirstChar; code <= kPdfLastChar; ++code) {
        const char16_t c = CodeChar(font, code);
        if (c)
            chars.append({c, font.Face()->GlyphIndex(c)});
    }
    return SubsetTrueTypeFont(font.Face()->RawFont(), chars);
}

void TKVXPDFFonts::WriteDescriptor(TPdfWriter& pdf, const TKVXPDFFont& font, int descriptor, int file) const
{
    pdf.BeginObject(descriptor);
    pdf.WriteString("<< /Type /FontDescriptor ");
    const int index = int(std::find_if(FFonts.begin(), FFonts.end(), [&](const auto& f) { return f.get() == &font; })
        - FFonts.begin());
    const QString name = file > 0 ? SubsetTag(index) + QLatin1Char('+') + font.GetFontName() : font.GetFontName();
    pdf.WriteString("/FontName " + PdfName(name.toLatin1()));
    pdf.WriteString("/FontBBox [ 0 0 0 0 ] ");
    pdf.WriteString("/Flags " + PdfInt(font.DescriptorFlags));
    const double weight = font.Face()->Weight();
    pdf.WriteString("/StemV " + PdfInt(qint64(std::lround(std::pow(weight / 65.0, 2))) + 50));
    pdf.WriteString("/ItalicAngle 0");
    pdf.WriteString("/CapHeight " + PdfInt(font.Face()->Height()));
    pdf.WriteString("/Ascent 1000");
    pdf.WriteString("/Descent -250");
    pdf.WriteString("/MaxWidth 1000");
    if (file > 0)
        pdf.WriteString("/FontFile2 " + PdfInt(file) + " 0 R");
    pdf.WriteString(">>");
    pdf.EndObject();
}

void TKVXPDFFonts::WriteFontFile(TPdfWriter& pdf, const TKVXPDFFont&, int file, const QByteArray& data,
    TKVXECompression compression, TKVXECompressionMethod method) const
{
    WritePdfFontFile(pdf, file, data, compression, method);
}

void WritePdfFontFile(TPdfWriter& pdf, int file, const QByteArray& data, TKVXECompression compression,
    TKVXECompressionMethod method)
{
    const QByteArray encoded = EncodeStream(data, compression, method);
    pdf.BeginObject(file);
    pdf.WriteString("<< /Filter /" + PdfFilterName(NonImageCompression(compression)) + ' ');
    pdf.WriteString("/Length " + PdfInt(encoded.size()) + " /Length1 " + PdfInt(data.size()) + ">>");
    pdf.WriteStreamBody(encoded);
    pdf.EndObject();
}

void TKVXPDFFonts::WriteFonts(TPdfWriter& pdf, TKVXECompression compression, TKVXECompressionMethod method) const
{
    for (int i = 0; i < Count(); ++i) {
        const TKVXPDFFont& font = *FFonts[std::size_t(i)];
        const bool standard = font.IsStandardFont();
        const bool describe = !standard && font.TrueType;
        // The subset is made before the font object, so that a face whose
        // outlines cannot be embedded gets no file reference.
        const QByteArray subset = describe && font.WillEmbed() ? SubsetFor(font) : QByteArray();
        const bool embed = !subset.isEmpty();
        // An embedded subset is named after its tag in the font and its
        // descriptor alike, as PDF asks of subsets.
        const QString baseFont = embed ? SubsetTag(i) + QLatin1Char('+') + font.GetFontName() : font.BaseName;

        pdf.BeginObject(font.Reference);
        pdf.WriteString("<< /Type /Font ");
        pdf.WriteString("/Name /F" + PdfInt(i) + ' ');
        pdf.WriteString("/BaseFont " + PdfName(baseFont.toLatin1()) + ' ');
        int encoding = 0;
        if (standard) {
            pdf.WriteString("/Encoding /" + font.EncodingString().toLatin1() + ' ');
        } else {
            encoding = pdf.GetNextRefIndex();
            pdf.WriteString("/Encoding " + PdfInt(encoding) + " 0 R");
        }
        int descriptor = 0;
        if (describe) {
            pdf.WriteString("/Subtype /TrueType ");
            WriteWidths(pdf, font);
            descriptor = pdf.GetNextRefIndex();
            pdf.WriteString("/FontDescriptor " + PdfInt(descriptor) + " 0 R >>");
        } else {
            // The standard fonts (and faces without TrueType outlines, which
            // a viewer can only substitute) are Type 1 fonts by name.
            pdf.WriteString("/Subtype /Type1 >>");
        }
        if (!standard) {
            pdf.EndObject();
            pdf.BeginObject(encoding);
            pdf.WriteString("<</Type /Encoding ");
            pdf.WriteString("/BaseEncoding /" + font.EncodingString().toLatin1() + ' ');
            WriteFontDifferences(pdf, font);
            pdf.WriteString(">>");
        }
        pdf.EndObject();
        if (describe) {
            const int file = embed ? pdf.GetNextRefIndex() : 0;
            WriteDescriptor(pdf, font, descriptor, file);
            if (embed)
                WriteFontFile(pdf, font, file, subset, compression, method);
        }
    }
}

} // namespace vorel
