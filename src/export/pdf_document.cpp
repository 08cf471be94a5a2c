#include "export/pdf_document.h"

#include "export/pdf_code_pages.h"
#include "export/pdf_images.h"
#include "graphics/text_measure.h"

#include <cmath>

namespace vorel {

namespace {

constexpr int kPagesPerNode = 10;
// Object numbers fixed by the layout.
constexpr int kCatalogObject = 1;
constexpr int kInfoObject = 2;
constexpr int kRootPagesObject = 3;

std::size_t ImageHash(const QImage& image)
{
    // Pictures repeat (a logo in every page header); hashing the pixels
    // finds the repeats without comparing every pair.
    std::size_t h = std::size_t(image.width()) * 31u + std::size_t(image.height());
    for (int y = 0; y < image.height(); ++y)
        h = h * 1000003u ^ qHashBits(image.constScanLine(y), std::size_t(image.width()) * 3, 0);
    return h;
}

bool SamePixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), std::size_t(a.width()) * 3) != 0)
            return false;
    }
    return true;
}

} // namespace

TPdfDocument::TPdfDocument(TPdfSink sink, TKVXECompression compression, TKVXECompressionMethod method,
    int ansiCodePage)
    : FPdf(std::move(sink)), FCompression(compression), FMethod(method), FAnsiCodePage(ansiCodePage)
{
    FPdf.ReserveUpTo(kRootPagesObject);
    FPdf.WriteString("%PDF-1.2");
    // A comment of bytes above 127 tells file tools that the file is binary.
    FPdf.WriteString("%\xE2\xE3\xCF\xD3");
    FPdf.BeginObject(kCatalogObject);
    FPdf.WriteString("<< /Type /Catalog ");
    FPdf.WriteString("/Pages " + PdfInt(kRootPagesObject) + " 0 R >> ");
    FPdf.EndObject();
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
    FPageImages.clear();
    FPdf.SetInContent(true);
    FPageOpen = true;
}

void TPdfDocument::EndPage()
{
    SetClip(std::nullopt);
    FPdf.SetInContent(false);
    FPageOpen = false;
    QByteArray resources = "<<";
    if (!FPageFonts.isEmpty()) {
        resources += "/Font << ";
        for (const int i : std::as_const(FPageFonts))
            resources += "/F" + PdfInt(i) + ' ' + PdfInt(FFonts.GetFont(i)->Reference) + " 0 R ";
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

    const QByteArray content = FPdf.TakeContent();
    // Content is text already; only the compressing filters pay off on it.
    QByteArray dict;
    QByteArray data;
    switch (FCompression) {
    case seLZW:
        dict = "/Filter /LZWDecode";
        data = EncodeLZW(content);
        break;
    case seFlate:
    case seDCT:
        dict = "/Filter /FlateDecode";
        data = EncodeFlate(content, FMethod);
        break;
    default:
        data = content;
        break;
    }
    FPdf.WriteStreamObject(FContents, dict, data, FLength);
    FPdf.BeginObject(FProcSet);
    FPdf.WriteString(FPageImages.isEmpty() ? "[ /PDF /Text ] " : "[ /PDF /Text /ImageC ] ");
    FPdf.EndObject();
}

QByteArray TPdfDocument::FontSize(const TFont& font) const
{
    return PdfReal(TTextMeasurer::Face(font)->EmPixels() * kPdfUnitsPerPixel);
}

void TPdfDocument::WriteText(const TFont& font, QStringView text, int left, int top)
{
    if (!FPageOpen)
        StartPage(0, 0);
    const TFontFacePtr face = TTextMeasurer::Face(font);
    // The baseline lies the face's ascent below the cell's top.
    ShowText(font, *face, text, PdfReal(X(left)) + ' ' + PdfReal(Y(top + face->Ascent())) + " Td ");
}

void TPdfDocument::ShowText(const TFont& font, const TFontFace& face, QStringView text, const QByteArray& position)
{
    const TFontCharset charset = TKVXPDFFonts::GetFontCharset(font.Charset(), FAnsiCodePage);
    const QString family = TKVXPDFFonts::FontFamily(font, charset);
    const bool symbol = charset == SYMBOL_CHARSET || family == QLatin1String("Symbol")
        || family == QLatin1String("ZapfDingbats");
    const QList<TPdfTextRun> runs = SplitIntoCodePageRuns(text, symbol ? 0 : CharsetCodePage(charset));

    const QByteArray size = FontSize(font);
    FPdf.WriteString("BT");
    FPdf.WriteString(PdfRgb(ColorToRGB(font.Color())) + " rg");
    QByteArray show;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const TPdfTextRun& run = runs[i];
        const TFontCharset runCharset = symbol ? charset : CodePageCharset(run.CodePage);
        const int index = FFonts.FontFromTable(FPdf, font, runCharset);
        if (!FPageFonts.contains(index))
            FPageFonts.append(index);
        const QByteArray select = "/F" + PdfInt(index) + ' ' + size + " Tf";
        if (i == 0) {
            FPdf.WriteString(select);
            FPdf.WriteString(PdfReal(face.EmPixels() * kPdfUnitsPerPixel + 2) + " TL");
            show = position;
        } else {
            show += select + ' ';
        }
        show += PdfLiteralString(run.Bytes) + " Tj ";
    }
    FPdf.WriteString(show);
    FPdf.WriteString("0.000 0.000 0.000 RG");
    FPdf.WriteString("ET");
}

void TPdfDocument::WritePicture(const QImage& picture, const QTransform& unitToPage)
{
    if (picture.isNull() || picture.width() == 0 || picture.height() == 0)
        return;
    if (!FPageOpen)
        StartPage(0, 0);
    const QImage image =
        picture.format() == QImage::Format_RGB888 ? picture : picture.convertToFormat(QImage::Format_RGB888);
    const std::size_t hash = ImageHash(image);
    int index = -1;
    for (auto it = FImageByHash.constFind(hash); it != FImageByHash.cend() && it.key() == hash; ++it) {
        if (SamePixels(FImages[it.value()].Image, image)) {
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
    for (qsizetype i = 0; i < FImages.size(); ++i)
        WritePdfImage(FPdf, int(i), FImages[i].Object, FImages[i].Image, FCompression, FMethod);

    FPdf.BeginObject(kInfoObject);
    FPdf.WriteString("<< /Creator " + PdfTextString(info.Creator));
    FPdf.WriteString("/CreationDate (D:" + info.Created.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() + ")");
    FPdf.WriteString("/Title " + PdfTextString(info.Title));
    FPdf.WriteString("/Author " + PdfTextString(info.Author));
    FPdf.WriteString("/Producer (Tarnwick Vorel)");
    FPdf.WriteString("/Keywords " + PdfTextString(info.Keywords));
    FPdf.WriteString("/Subject " + PdfTextString(info.Subject) + " >>");
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
    FPdf.WriteXrefAndTrailer("/Root " + PdfInt(kCatalogObject) + " 0 R /Info " + PdfInt(kInfoObject) + " 0 R");
}

} // namespace vorel
