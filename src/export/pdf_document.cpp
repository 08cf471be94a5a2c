#include "export/pdf_document.h"

#include "export/pdf_code_pages.h"
#include "export/pdf_images.h"
#include "graphics/text_measure.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace vorel {

namespace {

constexpr int kPagesPerNode = 10;
// Object numbers fixed by the layout.
constexpr int kCatalogObject = 1;
constexpr int kInfoObject = 2;
constexpr int kRootPagesObject = 3;

} // namespace

TPdfDocument::TPdfDocument(TPdfSink sink, TKVXECompression compression, TKVXECompressionMethod method,
    int ansiCodePage, std::optional<TPdfArchive> archive, bool embedFonts)
    : FPdf([this, sink = std::move(sink)](QByteArrayView bytes) {
          if (FArchive)
              FHash.addData(bytes);
          sink(bytes);
      }),
      // PDF/A forbids LZW; Flate compresses as well.
      FArchive(std::move(archive)), FCompression(FArchive && compression == seLZW ? seFlate : compression),
      FMethod(method), FAnsiCodePage(ansiCodePage), FEmbedFonts(embedFonts || FArchive)
{
    FPdf.ReserveUpTo(kRootPagesObject);
    // PDF/A-2 is based on PDF 1.7; the embedded Unicode fonts' ActualText
    // spans came with PDF 1.5; the classic fonts need no more than 1.2.
    FPdf.WriteString(FArchive ? "%PDF-1.7" : FEmbedFonts ? "%PDF-1.5" : "%PDF-1.2");
    // A comment of bytes above 127 tells file tools that the file is binary.
    FPdf.WriteString("%\xE2\xE3\xCF\xD3");
}

void TPdfDocument::StartPage(int widthPixels, int heightPixels)
{
    if (FPageOpen)
        EndPage();
    if (FPageCount % kPagesPerNode == 0)
        FNodes.append(TNode{FPdf.GetNextRefIndex(), {}});
    ++FPageCount;
    const int page = FPdf.GetNextRefIndex();
    FNodes.last().Pages.append(page);
    FPageRefs.append({page, std::max(1, heightPixels)});
    FContents = FPdf.GetNextRefIndex();
    FLength = FPdf.GetNextRefIndex();
    FProcSet = FPdf.GetNextRefIndex();
    FResources = FPdf.GetNextRefIndex();
    FPageHeight = std::max(1, heightPixels);
    FPageWidth = std::max(1, widthPixels);
    FPdf.BeginObject(page);
    FPdf.WriteString("<< /Type /Page ");
    FPdf.WriteString("/Parent " + PdfInt(FNodes.last().Object) + " 0 R ");
    FPdf.WriteString("/MediaBox [0 0 " + PdfReal(X(std::max(1, widthPixels))) + ' ' + PdfReal(X(FPageHeight)) + "] ");
    FPdf.WriteString("/Resources " + PdfInt(FResources) + " 0 R");
    FPdf.WriteString("/Contents " + PdfInt(FContents) + " 0 R >> ");
    FPdf.EndObject();
    // The resources object starts here; its dictionary follows at the
    // page's end, when the fonts and pictures the page uses are known.
    FPdf.BeginObject(FResources);
    FPageFonts.clear();
    FPageCidFonts.clear();
    FPageImages.clear();
    FPdf.SetInContent(true);
    FPageOpen = true;
}

void TPdfDocument::EndPage()
{
    CloseText();
    SetClip(std::nullopt);
    FPdf.SetInContent(false);
    FPageOpen = false;
    QByteArray resources = "<<";
    if (!FPageFonts.isEmpty() || !FPageCidFonts.isEmpty()) {
        resources += "/Font << ";
        for (const int i : std::as_const(FPageFonts))
            resources += "/F" + PdfInt(i) + ' ' + PdfInt(FFonts.GetFont(i)->Reference) + " 0 R ";
        for (const int i : std::as_const(FPageCidFonts))
            resources += "/U" + PdfInt(i) + ' ' + PdfInt(FCidFonts.Reference(i)) + " 0 R ";
        resources += ">>";
    }
    if (!FPageImages.isEmpty()) {
        resources += "/XObject << ";
        for (const int i : std::as_const(FPageImages))
            resources += "/Im" + PdfInt(i + 1) + ' ' + PdfInt(FImages[i].Object) + " 0 R ";
        resources += ">>";
    }
    FPdf.WriteString(resources);
    FPdf.WriteString("/ProcSet " + PdfInt(FProcSet) + " 0 R");
    FPdf.WriteString(">>");
    FPdf.EndObject();

    // Content is text already; only the compressing filters pay off on it.
    // The content buffer is kept for the next page.
    const QByteArrayView content = FPdf.Content();
    switch (FCompression) {
    case seLZW:
        FPdf.WriteStreamObject(FContents, "/Filter /LZWDecode", EncodeLZW(content), FLength);
        break;
    case seFlate:
    case seDCT:
        FPdf.WriteStreamObject(FContents, "/Filter /FlateDecode", EncodeFlate(content, FMethod), FLength);
        break;
    default:
        FPdf.WriteStreamObject(FContents, {}, content, FLength);
        break;
    }
    FPdf.ClearContent();
    FPdf.BeginObject(FProcSet);
    FPdf.WriteString(FPageImages.isEmpty() ? "[ /PDF /Text ] " : "[ /PDF /Text /ImageC ] ");
    FPdf.EndObject();
}

bool TPdfDocument::TTextFont::Matches(const TFont& font) const
{
    return Height == font.Height() && Color == font.Color() && Charset == font.Charset() && Style == font.Style()
        && Pitch == font.Pitch() && Orientation == font.Orientation() && Name == font.Name();
}

TPdfDocument::TTextFont& TPdfDocument::TextFont(const TFont& font)
{
    // Texts come in long stretches of one font state: the last entry first.
    if (FLastTextFont < FTextFonts.size() && FTextFonts[FLastTextFont].Matches(font))
        return FTextFonts[FLastTextFont];
    for (std::size_t i = 0; i < FTextFonts.size(); ++i) {
        if (FTextFonts[i].Matches(font)) {
            FLastTextFont = i;
            return FTextFonts[i];
        }
    }
    TTextFont style;
    style.Name = font.Name();
    style.Charset = font.Charset();
    style.Color = font.Color();
    style.Height = font.Height();
    style.Pitch = font.Pitch();
    style.Style = font.Style();
    style.Orientation = font.Orientation();
    style.Face = TTextMeasurer::Face(font);
    style.ResolvedCharset = TKVXPDFFonts::GetFontCharset(font.Charset(), FAnsiCodePage);
    const QString family = TKVXPDFFonts::FontFamily(font, style.ResolvedCharset);
    style.Symbol = style.ResolvedCharset == SYMBOL_CHARSET || family == QLatin1String("Symbol")
        || family == QLatin1String("ZapfDingbats");
    const int preferred = CharsetCodePage(style.ResolvedCharset);
    style.CodePage = IsPdfCodePage(preferred) ? preferred : 1252;
    style.Size = PdfReal(style.Face->EmPixels() * kPdfUnitsPerPixel);
    style.Colour = PdfRgb(ColorToRGB(font.Color())) + " rg";
    style.Leading = PdfReal(style.Face->EmPixels() * kPdfUnitsPerPixel + 2) + " TL";
    FTextFonts.push_back(std::move(style));
    FLastTextFont = FTextFonts.size() - 1;
    return FTextFonts.back();
}

void TPdfDocument::WriteText(const TFont& font, QStringView text, int left, int top, const int* dx)
{
    if (!FPageOpen)
        StartPage(0, 0);
    TTextFont& style = TextFont(font);
    if (FEmbedFonts) {
        char position[2 * kPdfRealMaxChars + 8];
        char* p = PutPdfReal(position, X(left));
        *p++ = ' ';
        p = PutPdfReal(p, Y(top + style.Face->Ascent()));
        if (!dx && !PdfA() && ShowPlainGlyphs(style, text, QByteArrayView(position, p - position)))
            return;
        std::memcpy(p, " Td ", 4);
        ShowGlyphs(style, text, dx, QByteArrayView(position, p + 4 - position));
        return;
    }
    CloseText();
    // The common case, one run in the font state's own code page, written
    // from the parts worked out once: the same lines as ShowText writes for
    // it, put together in one buffer. The baseline lies the face's ascent
    // below the cell's top.
    QVarLengthArray<char, 1024> line(2 * kPdfRealMaxChars + 48 + text.size() * kPdfStringByteMaxChars);
    char* p = line.data();
    p = PutPdfReal(p, X(left));
    *p++ = ' ';
    p = PutPdfReal(p, Y(top + style.Face->Ascent()));
    std::memcpy(p, " Td (", 5);
    p += 5;
    if (style.Symbol) {
        // Symbol fonts: the classic symbol area U+F020..U+F0FF and Latin-1
        // both come down to the low byte.
        for (const QChar c : text)
            p = PutPdfStringByte(p, std::uint8_t(c.unicode() & 0xFF));
    } else {
        const TPdfCodePage& page = TPdfCodePage::Get(style.CodePage);
        for (const QChar c : text) {
            const int byte = page.Encode(c.unicode());
            if (byte < 0) {
                ShowText(font, *style.Face, text, PdfReal(X(left)) + ' ' + PdfReal(Y(top + style.Face->Ascent())) + " Td ");
                return;
            }
            p = PutPdfStringByte(p, std::uint8_t(byte));
        }
    }
    static constexpr char kTail[] = ") Tj \r\n0.000 0.000 0.000 RG\r\nET\r\n";
    std::memcpy(p, kTail, sizeof kTail - 1);
    p += sizeof kTail - 1;

    if (style.RunFont < 0) {
        const TFontCharset runCharset = style.Symbol ? style.ResolvedCharset : CodePageCharset(style.CodePage);
        style.RunFont = FFonts.FontFromTable(FPdf, font, runCharset);
        style.RunHead = "BT\r\n" + style.Colour + "\r\n/F" + PdfInt(style.RunFont) + ' ' + style.Size + " Tf\r\n"
            + style.Leading + "\r\n";
    }
    if (!FPageFonts.contains(style.RunFont))
        FPageFonts.append(style.RunFont);
    QByteArray& out = FPdf.ContentBuffer();
    out.append(style.RunHead);
    out.append(line.data(), p - line.data());
}

void TPdfDocument::ShowText(const TFont& font, const TFontFace& face, QStringView text, const QByteArray& position)
{
    CloseText();
    Q_UNUSED(face); // the font state's own face, kept with it
    const TTextFont& style = TextFont(font);
    const QList<TPdfTextRun> runs = SplitIntoCodePageRuns(text, style.Symbol ? 0 : style.CodePage);
    FPdf.WriteString("BT");
    FPdf.WriteString(style.Colour);
    QByteArray show;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const TPdfTextRun& run = runs[i];
        const TFontCharset runCharset = style.Symbol ? style.ResolvedCharset : CodePageCharset(run.CodePage);
        const int index = FFonts.FontFromTable(FPdf, font, runCharset);
        if (!FPageFonts.contains(index))
            FPageFonts.append(index);
        const QByteArray select = "/F" + PdfInt(index) + ' ' + style.Size + " Tf";
        if (i == 0) {
            FPdf.WriteString(select);
            FPdf.WriteString(style.Leading);
            show = position;
        } else {
            show += select + ' ';
        }
        AppendPdfLiteralString(show, run.Bytes);
        show += " Tj ";
    }
    FPdf.WriteString(show);
    FPdf.WriteString("0.000 0.000 0.000 RG");
    FPdf.WriteString("ET");
}

namespace {

// A CID's two bytes in a literal string: only the string's own delimiters
// and line ends (which readers would change) escaped.
inline char* PutCid(char* p, std::uint16_t cid)
{
    for (const std::uint8_t byte : {std::uint8_t(cid >> 8), std::uint8_t(cid & 0xFF)}) {
        switch (byte) {
        case '(': case ')': case '\\': *p++ = '\\'; *p++ = char(byte); break;
        case '\r': *p++ = '\\'; *p++ = 'r'; break;
        case '\n': *p++ = '\\'; *p++ = 'n'; break;
        default: *p++ = char(byte); break;
        }
    }
    return p;
}

} // namespace

void TPdfDocument::CloseText()
{
    if (!FTextOpen)
        return;
    FPdf.ContentBuffer().append("ET\r\n");
    FTextOpen = false;
}

bool TPdfDocument::ShowPlainGlyphs(TTextFont& style, QStringView text, QByteArrayView origin)
{
    // Most report text: Latin letters the face has, at the face's own
    // advances, in a font whose widths are those advances. Each letter's
    // CID is looked up once per font state. Such texts one after another
    // share one text object: each sets its place, and its colour and font
    // when they change.
    const TFontFace& face = *style.Face;
    if (style.PlainFont < 0) {
        style.PlainFont = FCidFonts.FontFor(FPdf, &face.RawFont(), face.EmPixels());
        if (style.PlainFont < 0)
            return false;
        style.PlainCids.assign(kPlainChars, kPlainUnknown);
    }
    const int font = style.PlainFont;
    if (style.PlainSelect.isEmpty())
        style.PlainSelect = "/U" + PdfInt(font) + ' ' + style.Size + " Tf\r\n";
    const bool open = !FTextOpen;
    const bool colour = open || FTextColour != style.Colour;
    const bool select = open || FTextSelect != style.PlainSelect;
    // Written straight into the page content, which keeps its capacity
    // from page to page; taken back when the text is not for this way.
    QByteArray& out = FPdf.ContentBuffer();
    const qsizetype start = out.size();
    out.resize(start + style.Colour.size() + origin.size() + style.PlainSelect.size() + 32 + kPdfRealMaxChars
        + text.size() * 4);
    char* p = out.data() + start;
    auto put = [&p](QByteArrayView bytes) {
        std::memcpy(p, bytes.data(), std::size_t(bytes.size()));
        p += bytes.size();
    };
    if (open)
        put("BT\r\n");
    if (colour) {
        put(style.Colour);
        put("\r\n");
    }
    if (select)
        put(style.PlainSelect);
    if (const double shear = FCidFonts.Shear(font); shear != 0) {
        put("1 0 ");
        p = PutPdfReal(p, shear);
        put(" 1 ");
    } else {
        put("1 0 0 1 ");
    }
    put(origin);
    put(" Tm [(");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 || c >= kPlainChars) {
            out.resize(start);
            return false;
        }
        std::int32_t& known = style.PlainCids[c];
        if (known == kPlainUnknown) {
            // A letter the face lacks, or whose advance the font's whole
            // pixels round the other way, takes the general way.
            const std::uint32_t glyph = face.GlyphIndex(c);
            known = kPlainOther;
            if (glyph != 0) {
                const std::uint16_t cid = FCidFonts.Cid(font, glyph, text.mid(i, 1));
                if (cid != 0 && FCidFonts.PixelAdvance(font, cid, face.EmPixels()) == face.CharWidth(c))
                    known = cid;
            }
        }
        if (known == kPlainOther) {
            out.resize(start);
            return false;
        }
        p = PutCid(p, std::uint16_t(known));
    }
    put(")] TJ\r\n");
    out.resize(p - out.data());
    FTextOpen = true;
    if (colour)
        FTextColour = style.Colour;
    if (select)
        FTextSelect = style.PlainSelect;
    if (!FPageCidFonts.contains(font))
        FPageCidFonts.append(font);
    return true;
}

void TPdfDocument::ShowGlyphs(const TTextFont& style, QStringView text, const int* dx, QByteArrayView position)
{
    CloseText();
    ShapeText(*style.Face, text, dx, FShaped);
    if (FShaped.RunCount == 0)
        return;
    const double em = style.Face->EmPixels();
    // A font of each size states the report's whole-pixel advances as its
    // widths, so text at those advances needs no adjustments. Shaped text
    // stands at the shaper's places, which the face's own widths come
    // closest to (and a reader takes a large adjustment for a word gap);
    // PDF/A wants the font programs' own widths.
    const double widthsEm = PdfA() || FShaped.Shaped ? 0 : em;
    QByteArray& out = FPdf.ContentBuffer();
    // Shaped left-to-right text (the Indic scripts, combining marks) has
    // glyphs that stand for several characters or stand before the ones
    // they follow: the text as written goes with them for copying. Readers
    // take right-to-left text from glyphs in visual order and turn it
    // themselves, so that has each glyph's characters only.
    const bool actualText = FShaped.Shaped && !FShaped.RightToLeft;
    if (actualText) {
        out.append("/Span <</ActualText ");
        out.append(PdfTextString(text));
        out.append(">> BDC\r\n");
    }
    // The text object goes through a local buffer: most texts are a few
    // glyphs, and the content buffer's appends would cost more than the
    // writing.
    QVarLengthArray<char, 1024> buffer;
    const qsizetype head = 3 * kPdfRealMaxChars + style.Colour.size() + style.Size.size() + position.size() + 64;
    buffer.resize(head);
    char* p = buffer.data();
    auto put = [&p](QByteArrayView bytes) {
        std::memcpy(p, bytes.data(), std::size_t(bytes.size()));
        p += bytes.size();
    };
    put("BT\r\n");
    put(style.Colour);
    put("\r\n");
    if (FShaped.ScaleX != 1) {
        p = PutPdfReal(p, FShaped.ScaleX * 100);
        put(" Tz\r\n");
    }
    // A slanted face's glyphs lean in the text matrix ("x y Td" is the
    // matrix's translation at the start of a text object).
    const int firstFont = FCidFonts.FontFor(FPdf, FShaped.begin()->Font, widthsEm);
    if (firstFont >= 0 && FCidFonts.Shear(firstFont) != 0 && position.endsWith(" Td ")) {
        put("1 0 ");
        p = PutPdfReal(p, FCidFonts.Shear(firstFont));
        put(" 1 ");
        put(position.chopped(4));
        put(" Tm ");
    } else {
        put(position);
    }
    double pen = 0; // pixels from the text's left, before the stretch
    double rise = 0; // pixels below the baseline
    int current = -1;
    for (const TGlyphRun& run : FShaped) {
        const int font = FCidFonts.FontFor(FPdf, run.Font, widthsEm);
        if (font < 0)
            continue;
        // Room for this run: a font change, and per glyph at most an
        // adjustment, a string's parentheses and two escaped bytes.
        const qsizetype used = p - buffer.data();
        buffer.resize(used + 64 + style.Size.size() + run.Glyphs.size() * 32);
        p = buffer.data() + used;
        if (font != current) {
            if (current >= 0)
                put("] TJ\r\n");
            put("/U");
            p = std::to_chars(p, p + 12, font).ptr;
            *p++ = ' ';
            put(style.Size);
            put(" Tf [");
            current = font;
            if (!FPageCidFonts.contains(font))
                FPageCidFonts.append(font);
        }
        bool inString = false;
        for (qsizetype g = 0; g < run.Glyphs.size(); ++g) {
            const QPointF at = run.Positions[g];
            if (at.y() != rise) {
                // A mark above or below: the rise of the text changes.
                if (inString)
                    *p++ = ')';
                inString = false;
                out.append(buffer.data(), p - buffer.data());
                p = buffer.data();
                out.append("] TJ ");
                AppendPdfReal(out, -at.y() * kPdfUnitsPerPixel);
                out.append(" Ts [");
                rise = at.y();
            }
            // Adjustments move by thousandths of the em, against the
            // writing direction.
            const long adjust = pen == at.x() ? 0 : std::lround((pen - at.x()) * 1000 / em);
            if (adjust != 0) {
                if (inString)
                    *p++ = ')';
                inString = false;
                *p++ = ' ';
                p = std::to_chars(p, p + 24, adjust).ptr;
                *p++ = ' ';
                pen -= adjust * em / 1000;
            }
            const TGlyphSource source = run.Sources[std::size_t(g)];
            // The characters the glyph shows, for the ToUnicode map, which
            // keeps what a glyph's first use gave it.
            QStringView letters = text.mid(source.Start, source.Length);
            std::uint16_t cid;
            if (actualText && letters.size() > 1) {
                // A cluster of shaped left-to-right text (whose copy is the
                // span's text): the glyph of a base letter stands for that
                // letter alone, as it does in plain text.
                const qsizetype first = letters[0].isHighSurrogate() && letters.size() > 1 ? 2 : 1;
                cid = FCidFonts.Cid(font, run.Glyphs[g], letters.first(first));
            } else if (FShaped.RightToLeft && letters.size() > 1) {
                // A ligature of right-to-left letters: its letters in the
                // visual order the reader turns back (code points, not
                // UTF-16 units, reversed).
                QList<uint> points = letters.toUcs4();
                std::reverse(points.begin(), points.end());
                cid = FCidFonts.Cid(font, run.Glyphs[g], QString::fromUcs4(reinterpret_cast<const char32_t*>(points.constData()), points.size()));
            } else {
                cid = FCidFonts.Cid(font, run.Glyphs[g], letters);
            }
            if (!inString)
                *p++ = '(';
            inString = true;
            p = PutCid(p, cid);
            pen += FCidFonts.PixelAdvance(font, cid, em);
        }
        if (inString)
            *p++ = ')';
    }
    if (current >= 0)
        put("] TJ\r\n");
    // Scaling and rise belong to the graphics state: they outlast the text object.
    if (rise != 0)
        put("0 Ts\r\n");
    if (FShaped.ScaleX != 1)
        put("100 Tz\r\n");
    put("ET\r\n");
    out.append(buffer.data(), p - buffer.data());
    if (actualText)
        out.append("EMC\r\n");
}

void TPdfDocument::WritePicture(const QImage& picture, const QTransform& unitToPage)
{
    CloseText();
    if (picture.isNull() || picture.width() == 0 || picture.height() == 0)
        return;
    if (!FPageOpen)
        StartPage(0, 0);
    const QImage image =
        picture.format() == QImage::Format_RGB888 ? picture : picture.convertToFormat(QImage::Format_RGB888);
    const std::size_t hash = PdfImageHash(image);
    int index = -1;
    for (auto it = FImageByHash.constFind(hash); it != FImageByHash.cend() && it.key() == hash; ++it) {
        if (PdfSamePixels(FImages[it.value()].Image, image)) {
            index = it.value();
            break;
        }
    }
    if (index < 0) {
        index = int(FImages.size());
        FImages.append(TImage{FPdf.GetNextRefIndex(), image});
        FImageByHash.insert(hash, index);
    }
    if (!FPageImages.contains(index))
        FPageImages.append(index);
    // PDF puts an image's first row at the top of its unit square, whose
    // y runs upwards.
    const QTransform flip(1, 0, 0, -1, 0, 1);
    FPdf.WriteString("q");
    FPdf.WriteString(PdfMatrix(flip * unitToPage * PageToPdf()) + " cm");
    FPdf.WriteString("/Im" + PdfInt(index + 1) + " Do");
    FPdf.WriteString("Q");
}

void TPdfDocument::Finish(const TPdfInfo& info)
{
    if (!FPageOpen && FPageCount == 0)
        StartPage(0, 0);
    if (FPageOpen)
        EndPage();
    FFonts.WriteFonts(FPdf, FCompression, FMethod);
    FCidFonts.WriteFonts(FPdf, FCompression, FMethod);
    for (qsizetype i = 0; i < FImages.size(); ++i)
        WritePdfImage(FPdf, int(i), FImages[i].Object, FImages[i].Image, FCompression, FMethod);

    const QByteArray date = PdfDate(info.Created);
    FPdf.BeginObject(kInfoObject);
    FPdf.WriteString("<< /Creator " + PdfTextString(info.Creator));
    FPdf.WriteString("/CreationDate (" + date + ")");
    FPdf.WriteString("/ModDate (" + date + ")");
    // An empty entry says nothing, and PDF/A would want it repeated in XMP.
    const std::pair<const char*, const QString*> texts[] = {
        {"/Title ", &info.Title}, {"/Author ", &info.Author}, {"/Keywords ", &info.Keywords}, {"/Subject ", &info.Subject}};
    for (const auto& [key, value] : texts)
        if (!value->isEmpty())
            FPdf.WriteString(key + PdfTextString(*value));
    FPdf.WriteString(QByteArray("/Producer ") + PdfTextString(QString::fromLatin1(kPdfProducer)) + " >>");
    FPdf.EndObject();

    FPdf.BeginObject(kRootPagesObject);
    FPdf.WriteString("<< /Type /Pages ");
    QByteArray kids = "/Kids [ ";
    for (const TNode& node : std::as_const(FNodes))
        kids += PdfInt(node.Object) + " 0 R ";
    FPdf.WriteString(kids + "] ");
    FPdf.WriteString("/Count " + PdfInt(FPageCount) + " >> ");
    FPdf.EndObject();
    for (const TNode& node : std::as_const(FNodes)) {
        FPdf.BeginObject(node.Object);
        FPdf.WriteString("<< /Type /Pages ");
        QByteArray pages = "/Kids [ ";
        for (const int page : node.Pages)
            pages += PdfInt(page) + " 0 R ";
        FPdf.WriteString(pages + "] ");
        FPdf.WriteString("/Count " + PdfInt(node.Pages.size()) + ' ');
        FPdf.WriteString("/Parent " + PdfInt(kRootPagesObject) + " 0 R >> ");
        FPdf.EndObject();
    }
    const int outlines = FBookmarks.isEmpty() ? 0 : FPdf.GetNextRefIndex();
    WriteBookmarks(outlines);
    WriteCatalog(outlines, info);
    QByteArray trailer = "/Root " + PdfInt(kCatalogObject) + " 0 R /Info " + PdfInt(kInfoObject) + " 0 R";
    if (FArchive) {
        // PDF/A wants an identifier: the digest of everything before it,
        // which changes whenever the file's content does. Both halves are
        // equal, as the file has never been changed.
        FPdf.Flush();
        const QByteArray id = '<' + FHash.result().toHex().toUpper() + '>';
        trailer += " /ID [" + id + ' ' + id + ']';
    }
    FPdf.WriteXrefAndTrailer(trailer);
}

void TPdfDocument::AddBookmark(const QString& title, int page, double leftPixels, double topPixels)
{
    if (page < 0 || page >= FPageRefs.size())
        return;
    const TPageRef& ref = FPageRefs[page];
    FBookmarks.append({title, ref.Object, leftPixels * kPdfUnitsPerPixel, (ref.Height - topPixels) * kPdfUnitsPerPixel});
}

void TPdfDocument::WriteBookmarks(int outlinesObject)
{
    // A flat list: every item a child of the outline root, linked to its
    // neighbours, its destination the page with the point at the window's
    // top left at the viewer's zoom (null).
    if (FBookmarks.isEmpty())
        return;
    const int first = FPdf.NextObject();
    const int count = int(FBookmarks.size());
    for (int i = 0; i < count; ++i) {
        const TBookmark& mark = FBookmarks[i];
        const int object = FPdf.GetNextRefIndex();
        FPdf.BeginObject(object);
        FPdf.WriteString("<< /Title " + PdfTextString(mark.Title));
        FPdf.WriteString("/Parent " + PdfInt(outlinesObject) + " 0 R");
        if (i > 0)
            FPdf.WriteString("/Prev " + PdfInt(object - 1) + " 0 R");
        if (i + 1 < count)
            FPdf.WriteString("/Next " + PdfInt(object + 1) + " 0 R");
        FPdf.WriteString("/Dest [" + PdfInt(mark.PageObject) + " 0 R /XYZ " + PdfReal(mark.Left) + ' '
            + PdfReal(mark.Top) + " null] >>");
        FPdf.EndObject();
    }
    FPdf.BeginObject(outlinesObject);
    FPdf.WriteString("<< /Type /Outlines /First " + PdfInt(first) + " 0 R /Last " + PdfInt(first + count - 1)
        + " 0 R /Count " + PdfInt(count) + " >>");
    FPdf.EndObject();
}

void TPdfDocument::WriteCatalog(int outlinesObject, const TPdfInfo& info)
{
    QByteArray archive;
    if (FArchive) {
        // XMP stays uncompressed, so that tools that do not read PDF can
        // still find it.
        const int metadata = FPdf.GetNextRefIndex();
        FPdf.WriteStreamObject(metadata, "/Type /Metadata /Subtype /XML", PdfAMetadata(info));
        const int profile = FPdf.GetNextRefIndex();
        FPdf.WriteStreamObject(profile, "/N 3", FArchive->ColorProfile);
        const QByteArray condition = PdfLiteralString(kPdfSrgbCondition);
        archive = "/Metadata " + PdfInt(metadata) + " 0 R /OutputIntents [<< /Type /OutputIntent /S /GTS_PDFA1 "
            + "/OutputConditionIdentifier " + condition + " /Info " + condition + " /DestOutputProfile "
            + PdfInt(profile) + " 0 R >>] ";
    }
    FPdf.BeginObject(kCatalogObject);
    FPdf.WriteString("<< /Type /Catalog ");
    if (outlinesObject > 0)
        FPdf.WriteString("/Outlines " + PdfInt(outlinesObject) + " 0 R /PageMode /UseOutlines ");
    if (!archive.isEmpty())
        FPdf.WriteString(archive);
    FPdf.WriteString("/Pages " + PdfInt(kRootPagesObject) + " 0 R >> ");
    FPdf.EndObject();
}

} // namespace vorel
