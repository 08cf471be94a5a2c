#include "export/pdf_cid_fonts.h"

#include "export/pdf_font_subset.h"
#include "export/pdf_fonts.h"
#include "export/pdf_object_writer.h"
#include "foundation/values/byte_io.h"
#include "graphics/text_measure.h"

#include <cmath>

namespace vorel {

namespace {

constexpr int kMaxSizesPerFace = 64;
// The slant the font engine gives a face it makes oblique.
constexpr double kSyntheticObliqueShear = 0.2;

// A CID's width in 1/1000 em as a font at em pixels states it: the face's
// advance rounded to whole pixels at that size (em 0: rounded to 1/1000 em).
double SizedWidth(double advance, double em)
{
    return em > 0 ? std::round(advance * em / 1000) * 1000 / em : std::round(advance);
}

} // namespace

namespace {

// A PDF name keeps letters, digits and a few marks as they are.
bool PlainNameChar(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_'
        || c == u'.';
}

QByteArray PlainName(const QString& text)
{
    QByteArray out;
    for (const QChar c : text)
        if (PlainNameChar(c))
            out += char(c.unicode());
    return out;
}

// Name 6 of the name table, Windows (UTF-16BE) or Macintosh (Roman) record.
QString NameTablePostScript(const QByteArray& table)
{
    const ByteView name(table);
    if (!name.Fits(0, 6))
        return {};
    const std::uint16_t count = name.u16be(2);
    const std::uint16_t strings = name.u16be(4);
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::size_t record = 6 + std::size_t(i) * 12;
        if (!name.Fits(record, 12))
            break;
        const std::uint16_t platform = name.u16be(record), nameId = name.u16be(record + 6);
        const std::uint16_t length = name.u16be(record + 8), offset = name.u16be(record + 10);
        if (nameId != 6 || !name.Fits(std::size_t(strings) + offset, length))
            continue;
        const std::size_t at = std::size_t(strings) + offset;
        QString text;
        if (platform == 3 || platform == 0) {
            for (std::size_t k = 0; k + 1 < length; k += 2)
                text += QChar(char16_t(name.u16be(at + k)));
        } else if (platform == 1) {
            for (std::size_t k = 0; k < length; ++k)
                text += QChar(char16_t(name.u8(at + k)));
        }
        if (!text.isEmpty())
            return text;
    }
    return {};
}

// The ToUnicode CMap: each CID with the text it shows.
QByteArray ToUnicodeMap(const std::vector<QString>& texts)
{
    QByteArray map = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                     "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                     "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                     "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::size_t> mapped;
    for (std::size_t cid = 1; cid < texts.size(); ++cid)
        if (!texts[cid].isEmpty())
            mapped.push_back(cid);
    for (std::size_t i = 0; i < mapped.size(); i += 100) {
        const std::size_t n = std::min<std::size_t>(100, mapped.size() - i);
        map += QByteArray::number(qulonglong(n)) + " beginbfchar\n";
        for (std::size_t k = i; k < i + n; ++k) {
            const QChar cid{char16_t(mapped[k])};
            map += '<';
            AppendPdfUtf16Hex(map, QStringView(&cid, 1));
            map += "> <";
            AppendPdfUtf16Hex(map, texts[mapped[k]]);
            map += ">\n";
        }
        map += "endbfchar\n";
    }
    map += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return map;
}

} // namespace

TPdfCidFonts::TPdfCidFonts() = default;
TPdfCidFonts::~TPdfCidFonts() = default;

QByteArray FacePostScriptName(const QRawFont& font)
{
    QByteArray name = PlainName(NameTablePostScript(font.fontTable("name")));
    if (name.isEmpty()) {
        name = PlainName(FaceFamilyName(font));
        const QByteArray style = PlainName(font.styleName());
        if (!style.isEmpty() && style != "Regular")
            name += '-' + style;
    }
    return name.isEmpty() ? QByteArray("Font") : name;
}

int TPdfCidFonts::FaceFor(const QRawFont* font)
{
    int index = FByAddress.value(font, -1);
    if (index >= 0)
        return index;
    // One entry per face, whatever the face object drawing with it.
    const QString identity = FaceFamilyName(*font) + u'|' + font->styleName() + u'|' + QString::number(font->weight())
        + u'|' + QString::number(int(font->style()));
    index = FByIdentity.value(identity, -1);
    if (index < 0) {
        auto entry = std::make_unique<TEntry>();
        entry->Font = *font;
        entry->Font.setPixelSize(1000);
        entry->Identity = identity;
        const QByteArray maxp = font->fontTable("maxp");
        entry->GlyphCount = maxp.size() >= 6 ? ByteView(maxp).u16be(4) : 65536;
        entry->CidOfGlyph.assign(std::size_t(std::max(1, entry->GlyphCount)), 0);
        // Italic asked of a face whose outlines are upright: the font
        // engine slants the glyphs itself, and so must the page. (Faces
        // without TrueType outlines, maxp 0.5, are embedded from the
        // outlines the engine draws, slant and all.)
        const bool trueTypeOutlines = maxp.size() >= 4 && ByteView(maxp).u32be(0) == 0x00010000;
        if (font->style() != QFont::StyleNormal && trueTypeOutlines) {
            const QByteArray os2 = font->fontTable("OS/2"), head = font->fontTable("head");
            const bool slanted = (os2.size() >= 64 && (ByteView(os2).u16be(62) & 0x0201) != 0)
                || (head.size() >= 46 && (ByteView(head).u16be(44) & 0x0002) != 0);
            if (!slanted)
                entry->Shear = kSyntheticObliqueShear;
        }
        index = int(FFonts.size());
        FFonts.push_back(std::move(entry));
        FByIdentity.insert(identity, index);
    }
    FByAddress.insert(font, index);
    return index;
}

int TPdfCidFonts::FontFor(TPdfWriter& pdf, const QRawFont* font, double em)
{
    if (font == FLastAddress && em == FLastEm && FLast >= 0)
        return FLast;
    if (!font || !font->isValid())
        return -1;
    const int face = FaceFor(font);
    int index = FBySize.value({face, em}, -1);
    if (index < 0 && em > 0 && FFonts[std::size_t(face)]->Sizes >= kMaxSizesPerFace) {
        // A page of very many sizes (only a generated or hostile one has
        // them) shares the face's own widths, with adjustments, rather than
        // writing a width table for each.
        return FontFor(pdf, font, 0);
    }
    if (index < 0) {
        ++FFonts[std::size_t(face)]->Sizes;
        index = int(FSized.size());
        FSized.push_back({face, em, pdf.GetNextRefIndex()});
        FBySize.insert({face, em}, index);
    }
    FLastAddress = font;
    FLastEm = em;
    FLast = index;
    return index;
}

std::uint16_t TPdfCidFonts::NewCid(TEntry& e, std::uint32_t glyph, QStringView unicode)
{
    if (glyph >= e.CidOfGlyph.size())
        return 0;
    std::uint16_t& cid = e.CidOfGlyph[glyph];
    if (cid != 0 || glyph == 0 || e.GlyphOfCid.size() > 0xFFFF)
        return cid;
    cid = std::uint16_t(e.GlyphOfCid.size());
    e.GlyphOfCid.push_back(glyph);
    QPointF advance;
    const quint32 g = glyph;
    e.Font.advancesForGlyphIndexes(&g, &advance, 1, QRawFont::UseDesignMetrics);
    e.AdvanceOfCid.push_back(advance.x());
    e.TextOfCid.push_back(unicode.toString());
    return cid;
}

int TPdfCidFonts::Reference(int index) const { return FSized[std::size_t(index)].Reference; }

void TPdfCidFonts::WriteFonts(TPdfWriter& pdf, TKVXECompression compression, TKVXECompressionMethod method) const
{
    // Each face once: its descriptor, font file and ToUnicode map.
    for (const std::unique_ptr<TEntry>& face : FFonts)
        WriteFace(pdf, *face, compression, method);
    // Each size: the Type 0 font and its CIDFont with the widths of that size.
    for (const TSized& sized : FSized) {
        const TEntry& e = *FFonts[std::size_t(sized.Face)];
        const int descendant = pdf.GetNextRefIndex();
        pdf.BeginObject(sized.Reference);
        pdf.WriteString("<< /Type /Font /Subtype /Type0 /BaseFont " + PdfName(e.BaseFont)
            + " /Encoding /Identity-H /DescendantFonts [" + PdfInt(descendant) + " 0 R] /ToUnicode "
            + PdfInt(e.ToUnicode) + " 0 R >>");
        pdf.EndObject();
        pdf.BeginObject(descendant);
        pdf.WriteString("<< /Type /Font /Subtype /CIDFontType2 /BaseFont " + PdfName(e.BaseFont));
        pdf.WriteString("/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>");
        pdf.WriteString("/FontDescriptor " + PdfInt(e.Descriptor) + " 0 R /CIDToGIDMap /Identity /DW 1000");
        QByteArray widths = "/W [1 [";
        for (std::size_t cid = 1; cid < e.AdvanceOfCid.size(); ++cid) {
            widths += PdfReal(SizedWidth(e.AdvanceOfCid[cid], sized.Em)) + ' ';
            if (widths.size() > 240) {
                pdf.WriteString(widths);
                widths.clear();
            }
        }
        pdf.WriteString(widths + "]] >>");
        pdf.EndObject();
    }
}

void TPdfCidFonts::WriteFace(TPdfWriter& pdf, const TEntry& e, TKVXECompression compression,
    TKVXECompressionMethod method) const
{
    e.Descriptor = pdf.GetNextRefIndex();
    const int file = pdf.GetNextRefIndex();
    e.ToUnicode = pdf.GetNextRefIndex();

    // The subset: the used glyphs under their CIDs.
    QList<TPdfGlyphChar> glyphs;
    for (std::size_t cid = 1; cid < e.GlyphOfCid.size(); ++cid) {
        const QString& text = e.TextOfCid[cid];
        glyphs.append({text.size() == 1 ? text[0].unicode() : char16_t(0), e.GlyphOfCid[cid]});
    }
    QByteArray program = SubsetTrueTypeFont(e.Font, glyphs);
    if (program.isEmpty())
        program = TrueTypeFromOutlines(e.Font, glyphs);

    const QByteArray key = FacePostScriptName(e.Font);
    e.BaseFont = PdfSubsetTag(key + '/' + e.Identity.toUtf8() + '/' + QByteArray::number(qulonglong(e.GlyphOfCid.size())))
        + '+' + key;

    // The descriptor's metrics from the face's tables, in 1/1000 em.
    const QByteArray headTable = e.Font.fontTable("head");
    const QByteArray hheaTable = e.Font.fontTable("hhea");
    const QByteArray os2Table = e.Font.fontTable("OS/2");
    const QByteArray postTable = e.Font.fontTable("post");
    const ByteView head(headTable), hhea(hheaTable), os2(os2Table), post(postTable);
    const double unitsPerEm = head.Fits(18, 2) && head.u16be(18) > 0 ? head.u16be(18) : e.Font.unitsPerEm();
    auto scaled = [&](int v) { return PdfInt(std::lround(v * 1000.0 / unitsPerEm)); };
    QByteArray box = "[0 0 1000 1000]";
    if (head.Fits(36, 8))
        box = '[' + scaled(head.i16be(36)) + ' ' + scaled(head.i16be(38)) + ' ' + scaled(head.i16be(40)) + ' '
            + scaled(head.i16be(42)) + ']';
    const int ascent = hhea.Fits(4, 4) ? hhea.i16be(4) : int(unitsPerEm * 0.8);
    const int descent = hhea.Fits(6, 2) ? hhea.i16be(6) : -int(unitsPerEm * 0.2);
    const int capHeight = os2.Fits(88, 2) && os2.u16be(0) >= 2 ? os2.i16be(88) : ascent;
    const double italicAngle = post.Fits(4, 4) ? std::int32_t(post.u32be(4)) / 65536.0 : 0;
    const int weightClass = os2.Fits(4, 2) ? os2.u16be(4) : 400;
    int flags = 4; // symbolic: the glyphs are named by CID, not by a standard encoding
    if (post.Fits(12, 4) && post.u32be(12) != 0)
        flags |= 1; // fixed pitch
    if (italicAngle != 0 || e.Font.style() != QFont::StyleNormal)
        flags |= 64;
    pdf.BeginObject(e.Descriptor);
    pdf.WriteString("<< /Type /FontDescriptor /FontName " + PdfName(e.BaseFont) + " /Flags " + PdfInt(flags));
    pdf.WriteString("/FontBBox " + box + " /ItalicAngle " + PdfReal(italicAngle) + " /Ascent " + scaled(ascent)
        + " /Descent " + scaled(descent) + " /CapHeight " + scaled(capHeight) + " /StemV "
        + PdfInt(50 + std::lround(std::pow(weightClass / 65.0, 2))));
    pdf.WriteString(program.isEmpty() ? QByteArray(">>") : "/FontFile2 " + PdfInt(file) + " 0 R >>");
    pdf.EndObject();
    if (!program.isEmpty())
        WritePdfFontFile(pdf, file, program, compression, method);
    else
        pdf.WriteStreamObject(file, {}, {}); // a number handed out is written

    const QByteArray map = EncodeStream(ToUnicodeMap(e.TextOfCid), compression, method);
    pdf.WriteStreamObject(e.ToUnicode, "/Filter /" + PdfFilterName(NonImageCompression(compression)), map);
}

} // namespace vorel
