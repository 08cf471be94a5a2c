#include "export/rtf_export.h"

#include "export/export_file.h"
#include "foundation/locale/code_page.h"
#include "graphics/emf_format.h"
#include "graphics/picture.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace vorel {

namespace {

void AppendInt(QByteArray& out, long long value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

// A control word with its number: "\fs" 20 -> "\fs20".
void AppendControl(QByteArray& out, const char* word, long long value)
{
    out.append(word);
    AppendInt(out, value);
}

// Appends the table entries, starting a new line before an entry that
// would make a line of 255 characters or more (old readers take lines of
// at most 255).
class TTableLines {
public:
    TTableLines(QByteArray& out, const char* start) : FOut(out) { FLine = start; }
    void Add(const QByteArray& entry)
    {
        if (FLine.size() + entry.size() >= 255) {
            FOut += FLine + "\r\n";
            FLine.clear();
        }
        FLine += entry;
    }
    void Finish() { FOut += FLine + "}\r\n"; }

private:
    QByteArray& FOut;
    QByteArray FLine;
};

} // namespace

TKVXExportToRTF::TKVXExportToRTF(QObject* owner) : TKVXExportToSpreadsheet(owner)
{
    RecordKinds = {rkText, rkLine, rkRectangle, rkEllipse};
}

bool TKVXExportToRTF::ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record)
{
    // A rectangle without a pen is a fill (a band's background, a barcode
    // bar): it has no place in a table and would only add empty cells.
    if (record.Type == EMR_RECTANGLE && dc.State().Pen.IsNull())
        return TKVXExport::ExportEMFRecord(dc, record);
    return TKVXExportToSpreadsheet::ExportEMFRecord(dc, record);
}

QString TKVXExportToRTF::DateTimeToRTF(const QDateTime& dateTime)
{
    const QDate d = dateTime.date();
    QString s = QStringLiteral("yr%1\\mo%2\\dy%3").arg(d.year()).arg(d.month()).arg(d.day());
    const QTime t = dateTime.time();
    if (t.msecsSinceStartOfDay() != 0)
        s += QStringLiteral("\\hr%1\\min%2").arg(t.hour()).arg(t.minute());
    return s;
}

const char* TKVXExportToRTF::GetAlignment(TAlignment alignment)
{
    switch (alignment) {
    case taRightJustify: return "\\qr";
    case taCenter: return "\\qc";
    default: return "";
    }
}

const char* TKVXExportToRTF::GetFontStyle(TFontStyles style)
{
    static const char* const kStyles[8] = {"", "\\i", "\\b", "\\i\\b", "\\ul", "\\i\\ul", "\\b\\ul", "\\i\\b\\ul"};
    return kStyles[((style & fsItalic) ? 1 : 0) | ((style & fsBold) ? 2 : 0) | ((style & fsUnderline) ? 4 : 0)];
}

void TKVXExportToRTF::AppendText(QByteArray& out, QStringView text, int codePage)
{
    // Encoded at the end of out first, then replaced by the escaped form:
    // the one buffer serves both, nothing is allocated per text once it has grown.
    const qsizetype at = out.size();
    AppendCodePage(out, text, codePage);
    const qsizetype encodedEnd = out.size();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        const char byte = out[at + i];
        if (u == u'\\' || u == u'{' || u == u'}') {
            out += '\\';
            out += char(u);
        } else if (u == u'\n') {
            out += "\\line ";
        } else if (u == u'\t') {
            out += "\\tab ";
        } else if (u < 0x20) {
            // other control characters (a carriage return before a line feed) have no place in a text
        } else if (u < 0x80) {
            out += char(u);
        } else if (byte != '?') {
            static const char hex[] = "0123456789abcdef";
            out += "\\'";
            out += hex[std::uint8_t(byte) >> 4];
            out += hex[std::uint8_t(byte) & 15];
        } else {
            // \uc1: one replacement character follows for readers without Unicode.
            AppendControl(out, "\\u", std::int16_t(u));
            out += '?';
        }
    }
    out.remove(at, encodedEnd - at);
}

void TKVXExportToRTF::WriteFileBegin()
{
    // The tables in the order the walk meets the texts: every text item,
    // its font and (unless white, which stays automatic) its colour.
    // One walk over the cells before the first byte: the tables, and for
    // WriteDimensions the margins and each row's top and bottom.
    FFontTable.clear();
    FColorTable.clear();
    const int width = std::max(TotalWidth, 1);
    const int height = std::max(PageHeight, 1);
    FItemsLeft = width;
    FItemsRight = 0;
    FItemsTop = height;
    FItemsBottom = 0;
    FRowTops.assign(std::size_t(std::max(RowCount, 0)), std::numeric_limits<int>::max());
    FRowBottoms.assign(std::size_t(std::max(RowCount, 0)), std::numeric_limits<int>::min());
    ForEachCell([&](const TKVXMFERecord& item) {
        FItemsLeft = std::min(FItemsLeft, item.Left);
        FItemsRight = std::max(FItemsRight, item.Left + item.Width);
        const int pageTop = std::max(item.Top, 0) / height * height;
        FItemsTop = std::min(FItemsTop, item.Top - pageTop);
        FItemsBottom = std::max(FItemsBottom, item.Top + item.Height - pageTop);
        if (item.Row >= 0 && item.Row < RowCount) {
            FRowTops[std::size_t(item.Row)] = std::min(FRowTops[std::size_t(item.Row)], item.Top);
            if (item.Kind == rkText || item.Kind == rkPicture)
                FRowBottoms[std::size_t(item.Row)] = std::max(FRowBottoms[std::size_t(item.Row)], item.Top + item.Height);
        }
        if (item.Kind != rkText || !item.Font || IsBlankText(item.Text))
            return;
        if (!FFontTable.contains(item.Font->Name()))
            FFontTable.append(item.Font->Name());
        const std::uint32_t rgb = ColorToRGB(item.Font->Color());
        if (rgb != 0xFFFFFF && !FColorTable.contains(rgb))
            FColorTable.append(rgb);
    });
    FTable = false;
    FRowIndex = 0;
    FTableRow = 0;
    FGroupFirst = -1;

    QByteArray out;
    out += "{\\rtf1\\ansi\\ansicpg";
    AppendInt(out, CodePage);
    out += "\\uc1\\deff0\r\n";
    if (!FFontTable.isEmpty()) {
        TTableLines lines(out, "{\\fonttbl");
        for (qsizetype i = 0; i < FFontTable.size(); ++i) {
            QByteArray entry;
            AppendControl(entry, "{\\f", i);
            entry += ' ';
            AppendText(entry, FFontTable[i], CodePage);
            entry += ";}";
            lines.Add(entry);
        }
        lines.Finish();
    }
    if (!FColorTable.isEmpty()) {
        TTableLines lines(out, "{\\colortbl;");
        for (std::uint32_t rgb : FColorTable) {
            QByteArray entry;
            AppendControl(entry, "\\red", rgb & 255);
            AppendControl(entry, "\\green", (rgb >> 8) & 255);
            AppendControl(entry, "\\blue", (rgb >> 16) & 255);
            entry += ';';
            lines.Add(entry);
        }
        lines.Finish();
    }
    const TKVProperty& p = *Properties();
    out += "{\\*\\generator Vorel Designer;}{\\info{\\operator ";
    AppendText(out, GetProductKey(), CodePage);
    out += "}{\\*\\company Tarnwick Software}{\\creatim\\";
    out += DateTimeToRTF(QDateTime::currentDateTime()).toLatin1();
    out += '}';
    if (!p.Title().isEmpty()) {
        out += "{\\title ";
        AppendText(out, p.Title(), CodePage);
        out += '}';
    }
    if (!p.Author().isEmpty()) {
        out += "{\\author ";
        AppendText(out, p.Author(), CodePage);
        out += '}';
    }
    out += "}\r\n";
    WriteBytes(out);
}

void TKVXExportToRTF::WriteDimensions(quint16, quint16)
{
    // Page formatting comes before the first paragraph: the paper of one
    // page (the bars side by side), and the margins the items leave on
    // their pages (each at most a quarter of the page).
    const int width = std::max(TotalWidth, 1);
    const int height = std::max(PageHeight, 1);
    const int left = FItemsLeft, right = FItemsRight, top = FItemsTop, bottom = FItemsBottom;
    FLeft = std::clamp(left, 0, width / 4);
    FRight = std::clamp(std::max(right, width - FLeft), FLeft + 1, width);
    QByteArray out;
    AppendControl(out, "\\paperw", PixelsToTwips(width));
    AppendControl(out, "\\paperh", PixelsToTwips(height));
    AppendControl(out, "\\margl", PixelsToTwips(FLeft));
    AppendControl(out, "\\margr", PixelsToTwips(width - FRight));
    const int topMargin = std::clamp(top, 0, height / 4);
    AppendControl(out, "\\margt", PixelsToTwips(topMargin));
    // The title's page header stands in the upper part of the top margin:
    // at the readers' default half inch it would reach below a narrow margin
    // and push every page's body down, and page footers onto the next page.
    AppendControl(out, "\\headery", PixelsToTwips(topMargin / 4));
    AppendControl(out, "\\margb", PixelsToTwips(std::clamp(height - bottom, 0, height / 4)));
    out += "\r\n";
    const QString title = Properties()->Title();
    if (!title.isEmpty()) {
        out += "{\\header \\pard\\plain {";
        AppendText(out, title, CodePage);
        out += " \\par }}\r\n";
    }
    WriteBytes(out);
    FTable = ColCount > 0;
}

void TKVXExportToRTF::WriteRowStart()
{
    // An open group collects the cells of its next grid row too.
    if (FGroupFirst >= 0)
        return;
    FCells.clear();
    FRowText.resize(0);
}

void TKVXExportToRTF::WriteData(TSpreadsheetCellType, const TKVXMFERecord* rec, int, int, const QString& value,
                                TAlignment alignment, TColor)
{
    // Without columns there is no table: items that are no text have no cell.
    if (!FTable)
        return;
    const qsizetype start = FRowText.size();
    if (rec && rec->Kind == rkText && !IsBlankText(value)) {
        FRowText += GetAlignment(alignment);
        FRowText += '{';
        if (rec->Font) {
            const TFont& font = *rec->Font;
            AppendControl(FRowText, "\\f", FFontTable.indexOf(font.Name()));
            AppendControl(FRowText, "\\fs", std::max(font.Size(), 1) * 2);
            FRowText += GetFontStyle(font.Style());
            const std::uint32_t rgb = ColorToRGB(font.Color());
            if (rgb != 0xFFFFFF)
                AppendControl(FRowText, "\\cf", FColorTable.indexOf(rgb) + 1);
        }
        FRowText += ' ';
        AppendText(FRowText, value, CodePage);
        FRowText += '}';
    } else if (rec && rec->Kind == rkPicture && rec->Bitmap && !rec->Bitmap->Empty()) {
        // Only when an application adds rkPicture to RecordKinds.
        WriteBitmap(FRowText, *rec->Bitmap, rec->Width, rec->Height);
    }
    const bool filled = FRowText.size() > start;
    FCells.push_back({filled, alignment, start, FRowText.size(), filled ? rec->Left : 0,
                      filled ? rec->Left + rec->Width : 0, filled ? rec->Top : 0});
}

void TKVXExportToRTF::StackCells()
{
    // Items of a group that overlap side by side (a product's name and the
    // line below it) share one cell, top to bottom, a line each.
    FOrder.clear();
    for (int k = 0; k < int(FCells.size()); ++k)
        if (FCells[std::size_t(k)].Filled)
            FOrder.push_back(k);
    std::stable_sort(FOrder.begin(), FOrder.end(),
                     [&](int a, int b) { return FCells[std::size_t(a)].Left < FCells[std::size_t(b)].Left; });
    for (std::size_t i = 0; i < FOrder.size();) {
        std::size_t j = i + 1;
        int right = FCells[std::size_t(FOrder[i])].Right;
        while (j < FOrder.size() && FCells[std::size_t(FOrder[j])].Left < right) {
            right = std::max(right, FCells[std::size_t(FOrder[j])].Right);
            ++j;
        }
        if (j - i > 1) {
            std::stable_sort(FOrder.begin() + qsizetype(i), FOrder.begin() + qsizetype(j), [&](int a, int b) {
                return FCells[std::size_t(a)].Top < FCells[std::size_t(b)].Top;
            });
            TCell& first = FCells[std::size_t(FOrder[i])];
            const qsizetype start = FRowText.size();
            for (std::size_t k = i; k < j; ++k) {
                TCell& cell = FCells[std::size_t(FOrder[k])];
                if (k > i)
                    FRowText += "\\line ";
                FRowText.append(FRowText.constData() + cell.ContentStart, cell.ContentEnd - cell.ContentStart);
                first.Left = std::min(first.Left, cell.Left);
                first.Right = std::max(first.Right, cell.Right);
                if (k > i)
                    cell.Filled = false;
            }
            first.ContentStart = start;
            first.ContentEnd = FRowText.size();
        }
        i = j;
    }
}

void TKVXExportToRTF::LayOutRow()
{
    // The row's cells are laid out from its own items, not from the grid's
    // columns: columns mix texts of every alignment (the captions of a
    // totals block share a column with right-aligned prices), so no single
    // edge per column fits every row. Each item keeps the place it has on
    // the page: a left-aligned text starts at its left edge, a right-aligned
    // one ends at its right edge, a centred one is centred on its box; a
    // cell reaches to where the next one starts, and the space before a
    // text that starts further right is an empty cell of its own.
    constexpr int kGap = 4; // report pixels: a smaller gap is no cell of its own
    constexpr int kCentrePad = 8; // report pixels either side of a centred text
    FEdges.clear();
    const auto add = [&](int edge, int owner) {
        const int last = FEdges.empty() ? FLeft : FEdges.back().first;
        FEdges.push_back({std::max(edge, last + 1), owner});
    };
    const auto startsAtLeft = [](const TCell& c) { return c.Alignment != taRightJustify; };
    const auto endsAtRight = [](const TCell& c) { return c.Alignment != taLeftJustify; };
    const auto leftOf = [](const TCell& c) { return c.Left - (c.Alignment == taCenter ? kCentrePad : 0); };
    const auto rightOf = [](const TCell& c) { return c.Right + (c.Alignment == taCenter ? kCentrePad : 0); };
    // Left to right as they stand on the page: the grid orders its columns
    // by their texts' median left edge, which puts a narrow right-aligned
    // column before a wider one that ends left of it.
    FOrder.clear();
    for (int k = 0; k < int(FCells.size()); ++k)
        if (FCells[std::size_t(k)].Filled)
            FOrder.push_back(k);
    std::stable_sort(FOrder.begin(), FOrder.end(), [&](int a, int b) {
        const TCell& p = FCells[std::size_t(a)];
        const TCell& q = FCells[std::size_t(b)];
        return p.Left + p.Right < q.Left + q.Right;
    });
    int filled = -1; // the last cell with an item
    for (int k : FOrder) {
        const TCell& cell = FCells[std::size_t(k)];
        const int x = FEdges.empty() ? FLeft : FEdges.back().first;
        if (filled >= 0) {
            // The edge between the last item and this one.
            const TCell& prev = FCells[std::size_t(filled)];
            if (endsAtRight(prev))
                add(rightOf(prev), filled);
            else if (startsAtLeft(cell))
                add(leftOf(cell), filled);
            else
                add((rightOf(prev) + leftOf(cell)) / 2, filled);
        } else if (startsAtLeft(cell) && leftOf(cell) - x > kGap) {
            add(leftOf(cell), -1);
        }
        const int now = FEdges.empty() ? FLeft : FEdges.back().first;
        if (filled >= 0 && startsAtLeft(cell) && leftOf(cell) - now > kGap)
            add(leftOf(cell), -1);
        filled = k;
    }
    if (filled < 0) {
        add(FRight, -1);
        return;
    }
    const TCell& last = FCells[std::size_t(filled)];
    if (endsAtRight(last) && FRight - rightOf(last) > kGap) {
        add(rightOf(last), filled);
        add(FRight, -1);
    } else {
        add(std::max(FRight, rightOf(last)), filled);
    }
}

void TKVXExportToRTF::WriteRowEnd()
{
    if (!FTable || FCells.empty())
        return;
    const int row = FRowIndex++;
    const int height = std::max(PageHeight, 1);
    const auto pageOf = [&](int r) { return std::max(FRowTops[std::size_t(r)], 0) / height; };
    if (FGroupFirst < 0) {
        FGroupFirst = row;
        FGroupBottom = std::numeric_limits<int>::min();
    }
    FGroupBottom = std::max(FGroupBottom, FRowBottoms[std::size_t(row)]);
    const int next = row + 1;
    // Each grid row as a table row of its own would be at least a line high
    // in the reader, so texts that overlap on the page would run over more
    // paper than the report has: the next row joins the group instead.
    if (next < RowCount && pageOf(next) == pageOf(row) && FRowTops[std::size_t(next)] < FGroupBottom)
        return;
    const int first = FGroupFirst;
    FGroupFirst = -1;
    StackCells();
    LayOutRow();
    const bool lastOfPage = next >= RowCount || pageOf(next) != pageOf(first);
    const bool firstOfPage = first > 0 && pageOf(first) != pageOf(first - 1);

    // Every row states its own cells.
    FLine.resize(0);
    AppendControl(FLine, "\\trowd\\irow", FTableRow++);
    FLine += "\\trautofit1\\trql\\trgaph0\\trleft0";
    if (!lastOfPage) // at least the distance to the next row, as on the page
        AppendControl(FLine, "\\trrh",
                      PixelsToTwips(std::max(FRowTops[std::size_t(next)] - FRowTops[std::size_t(first)], 1)));
    FLine += "\r\n";
    for (const auto& [edge, owner] : FEdges) {
        FLine += "\\clbrdrl\\brdrth \\clbrdrr\\brdrth \\clbrdrt\\brdrth \\clbrdrb\\brdrth ";
        AppendControl(FLine, "\\cellx", PixelsToTwips(edge - FLeft));
        FLine += "\r\n";
    }
    bool pageBreak = firstOfPage; // a page of the report starts a page of the document
    for (const auto& [edge, owner] : FEdges) {
        FLine += "\\pard\\intbl\\li30\\ri30";
        if (pageBreak)
            FLine += "\\pagebb";
        pageBreak = false;
        if (owner >= 0) {
            const TCell& cell = FCells[std::size_t(owner)];
            FLine.append(FRowText.constData() + cell.ContentStart, cell.ContentEnd - cell.ContentStart);
        }
        // The cell's own paragraph mark is tiny, so an empty cell (a rule
        // between rows) or a small text is no taller than on the page.
        FLine += "\\fs2\\cell ";
    }
    FLine += "\\row\r\n";
    WriteBytes(FLine);
}

void TKVXExportToRTF::WriteBitmap(QByteArray& out, const TBitmap& bitmap, int widthPx, int heightPx)
{
    // The device-independent bitmap (the BMP file without its 14-byte file
    // header), with its size in pixels and the size it shows at in twips:
    // without them a reader has to guess, and shows nothing or a dot.
    const QByteArray bmp = bitmap.SaveToBytes();
    AppendControl(out, "{\\pict\\dibitmap0\\picw", bitmap.Width());
    AppendControl(out, "\\pich", bitmap.Height());
    AppendControl(out, "\\picwgoal", PixelsToTwips(widthPx));
    AppendControl(out, "\\pichgoal", PixelsToTwips(heightPx));
    out += "\r\n";
    out += bmp.mid(14).toHex();
    out += "}";
}

void TKVXExportToRTF::WriteFileEnd()
{
    // Closes the group opened by {\rtf1.
    // A table ends with a paragraph of its own; a tiny one, so that it fits
    // below a page footer that ends at the bottom margin.
    WriteBytes("\\pard\\fs2\\sl-20\\par}");
    FFontTable.clear();
    FColorTable.clear();
    FRowTops = {};
    FRowBottoms = {};
    FGroupFirst = -1;
    FTableRow = 0;
    FEdges = {};
    FOrder = {};
    FCells = {};
}

} // namespace vorel
