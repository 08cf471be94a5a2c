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
    FFontTable.clear();
    FColorTable.clear();
    for (const TKVXMFERecord& item : Records()) {
        if (item.Kind != rkText || !item.Font || IsBlankText(item.Text))
            continue;
        if (!FFontTable.contains(item.Font->Name()))
            FFontTable.append(item.Font->Name());
        const std::uint32_t rgb = ColorToRGB(item.Font->Color());
        if (rgb != 0xFFFFFF && !FColorTable.contains(rgb))
            FColorTable.append(rgb);
    }
    FTable = false;
    FRowIndex = 0;

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
    // page (the bars side by side), and the margins the items leave.
    const int width = std::max(TotalWidth, 1);
    const int height = std::max(PageHeight, 1);
    int left = width, right = 0;
    for (const TKVXMFERecord& item : Records()) {
        left = std::min(left, item.Left);
        right = std::max(right, item.Left + item.Width);
    }
    left = std::clamp(left, 0, width / 4);
    right = std::clamp(std::max(right, width - left), left + 1, width);
    QByteArray out;
    AppendControl(out, "\\paperw", PixelsToTwips(width));
    AppendControl(out, "\\paperh", PixelsToTwips(height));
    AppendControl(out, "\\margl", PixelsToTwips(left));
    AppendControl(out, "\\margr", PixelsToTwips(width - right));
    // The report's own margin stands for the top and bottom ones too.
    AppendControl(out, "\\margt", PixelsToTwips(std::min(left, height / 4)));
    AppendControl(out, "\\margb", PixelsToTwips(std::min(left, height / 4)));
    out += "\r\n";
    const QString title = Properties()->Title();
    if (!title.isEmpty()) {
        out += "{\\header \\pard\\plain {";
        AppendText(out, title, CodePage);
        out += " \\par }}\r\n";
    }
    WriteBytes(out);

    // The cell boundaries, relative to the left margin: each column ends
    // where the next begins, the last at the right margin; every cell at
    // least a pixel wide, whatever the column positions.
    FTable = ColCount > 0;
    FRowDefinition = "\\trautofit1\\trql\\trgaph0\\trleft0\r\n";
    const std::vector<int>& columns = Columns();
    int previous = 0;
    for (int c = 0; c < ColCount; ++c) {
        int edge = (c + 1 < ColCount ? columns[std::size_t(c + 1)] : right) - left;
        edge = std::max(edge, previous + 1);
        previous = edge;
        FRowDefinition += "\\clbrdrl\\brdrth \\clbrdrr\\brdrth \\clbrdrt\\brdrth \\clbrdrb\\brdrth ";
        AppendControl(FRowDefinition, "\\cellx", PixelsToTwips(edge));
        FRowDefinition += "\r\n";
    }
}

void TKVXExportToRTF::WriteRowStart()
{
    if (!FTable)
        return;
    // Every row states its definition: readers that do not carry the
    // last one over (or that start a table at any \trowd) read each row alike.
    FLine.resize(0);
    AppendControl(FLine, "\\trowd\\irow", FRowIndex++);
    FLine += FRowDefinition;
    WriteBytes(FLine);
}

void TKVXExportToRTF::WriteRowEnd()
{
    if (FTable)
        WriteBytes("\\row\r\n");
}

void TKVXExportToRTF::WriteData(TSpreadsheetCellType, const TKVXMFERecord* rec, int, int, const QString& value,
                                TAlignment alignment, TColor)
{
    // Without columns there is no table: items that are no text have no cell.
    if (!FTable)
        return;
    FLine.resize(0);
    FLine += "\\pard\\intbl\\li30\\ri30";
    if (rec && rec->Kind == rkText && !IsBlankText(value)) {
        FLine += GetAlignment(alignment);
        FLine += '{';
        if (rec->Font) {
            const TFont& font = *rec->Font;
            AppendControl(FLine, "\\f", FFontTable.indexOf(font.Name()));
            AppendControl(FLine, "\\fs", std::max(font.Size(), 1) * 2);
            FLine += GetFontStyle(font.Style());
            const std::uint32_t rgb = ColorToRGB(font.Color());
            if (rgb != 0xFFFFFF)
                AppendControl(FLine, "\\cf", FColorTable.indexOf(rgb) + 1);
        }
        FLine += ' ';
        AppendText(FLine, value, CodePage);
        FLine += '}';
    } else if (rec && rec->Kind == rkPicture && rec->Bitmap && !rec->Bitmap->Empty()) {
        // Only when an application adds rkPicture to RecordKinds.
        WriteBytes(FLine);
        FLine.resize(0);
        WriteBitmap(*rec->Bitmap, rec->Width, rec->Height);
    }
    FLine += "\\cell ";
    WriteBytes(FLine);
}

void TKVXExportToRTF::WriteBitmap(const TBitmap& bitmap, int widthPx, int heightPx)
{
    // The device-independent bitmap (the BMP file without its 14-byte file
    // header), with its size in pixels and the size it shows at in twips:
    // without them a reader has to guess, and shows nothing or a dot.
    const QByteArray bmp = bitmap.SaveToBytes();
    QByteArray out;
    AppendControl(out, "{\\pict\\dibitmap0\\picw", bitmap.Width());
    AppendControl(out, "\\pich", bitmap.Height());
    AppendControl(out, "\\picwgoal", PixelsToTwips(widthPx));
    AppendControl(out, "\\pichgoal", PixelsToTwips(heightPx));
    out += "\r\n";
    out += bmp.mid(14).toHex();
    out += "}";
    WriteBytes(out);
}

void TKVXExportToRTF::WriteFileEnd()
{
    // Closes the group opened by {\rtf1.
    WriteBytes("\\pard\\par}");
    FFontTable.clear();
    FColorTable.clear();
    FRowDefinition.clear();
}

} // namespace vorel
