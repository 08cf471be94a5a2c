#include "export/html_export.h"

#include "export/markup_text.h"
#include "foundation/values/errors.h"
#include "foundation/values/file_write.h"
#include "foundation/values/text_utils.h"
#include "graphics/picture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vorel {

TKVXExportToHTML::TKVXExportToHTML(QObject* owner) : TKVXExportToSpreadsheet(owner)
{
    RecordKinds = {rkText, rkPicture};
}

void TKVXExportToHTML::SaveToFile(const QString& fileName)
{
    FPictureFiles.clear();
    TKVXExportToSpreadsheet::SaveToFile(fileName);
}

QString TKVXExportToHTML::GetHTMLColor(TColor color, bool background)
{
    const std::uint32_t rgb = ColorToRGB(color);
    if (rgb == 0)
        return QString();
    const auto hex = [](int v) { return QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper(); };
    return QString::fromLatin1(background ? "bgcolor" : "color") + QStringLiteral("=\"#") + hex(GetRValue(rgb))
        + hex(GetGValue(rgb)) + hex(GetBValue(rgb)) + u'"';
}

QString TKVXExportToHTML::GetHTMLFontSize(int points)
{
    if (points >= 6 && points <= 7)
        return QStringLiteral("1");
    if (points >= 8 && points <= 9)
        return QStringLiteral("2");
    if (points >= 10 && points <= 13)
        return QStringLiteral("3");
    if (points >= 14 && points <= 17)
        return QStringLiteral("4");
    if (points >= 18 && points <= 23)
        return QStringLiteral("5");
    if (points >= 24 && points <= 35)
        return QStringLiteral("6");
    return QStringLiteral("-1");
}

QString TKVXExportToHTML::GetHTMLTextWithFont(const QString& text, const TFont& font)
{
    QString inner = text;
    if (font.Style() & fsUnderline)
        inner = QStringLiteral("<u>") + inner + QStringLiteral("</u>");
    if (font.Style() & fsItalic)
        inner = QStringLiteral("<i>") + inner + QStringLiteral("</i>");
    if (font.Style() & fsBold)
        inner = QStringLiteral("<b>") + inner + QStringLiteral("</b>");
    QString result = QStringLiteral("<font ");
    if (font.Name() != QLatin1String("MS Sans Serif"))
        result += QStringLiteral("face=\"") + HtmlEscape(font.Name()) + QStringLiteral("\" ");
    const QString size = GetHTMLFontSize(font.Size());
    if (size != QLatin1String("-1"))
        result += QStringLiteral("size=") + size;
    const QString color = GetHTMLColor(font.Color(), false);
    if (!color.isEmpty())
        result += u' ' + color + u'>';
    else
        result += u'>';
    return result + inner + QStringLiteral("</font>");
}

void TKVXExportToHTML::WriteFileBegin()
{
    // The page is white: the background state is only what the last
    // drawing left behind (a coloured label's brush, say), not the page's.
    PageColor = clWhite;
    const TKVProperty& p = *Properties();
    WriteUtf8(QStringLiteral("<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\"\r\n"
                             "content=\"text/html; charset=utf-8\">\r\n")
              + QStringLiteral("<meta name=\"AUTHOR\" content=\"") + HtmlEscape(p.Author()) + QStringLiteral("\">\r\n")
              + QStringLiteral("<meta name=\"KEYWORDS\" content=\"") + HtmlEscape(p.Keywords())
              + QStringLiteral("\">\r\n") + QStringLiteral("<meta name=\"GENERATOR\" content=\"Tarnwick Vorel\">\r\n")
              + QStringLiteral("<title>") + HtmlEscape(p.Title()) + QStringLiteral("</title>\r\n")
              + QStringLiteral("</head>\r\n\r\n") + QStringLiteral("<body ") + GetHTMLColor(PageColor, true)
              + QStringLiteral(">\r\n") + QStringLiteral("<table border=1>\r\n"));
}

void TKVXExportToHTML::WriteFileEnd()
{
    WriteUtf8(QStringLiteral("</table>\r\n</body>\r\n</html>\r\n"));
}

void TKVXExportToHTML::WriteRowStart()
{
    WriteUtf8(QStringLiteral("  <TR>\r\n"));
}

void TKVXExportToHTML::WriteRowEnd()
{
    WriteUtf8(QStringLiteral("  </TR>\r\n"));
}

QString TKVXExportToHTML::SavePicture(const TBitmap& bitmap)
{
    // A name unique in the temporary folder, used in the HTML file's own
    // folder; a file of that name already there is never overwritten.
    const QDir folder = QFileInfo(FileName()).absoluteDir();
    QString name;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = QFileInfo(GetUniqueFileName(QStringLiteral(".jpg"))).fileName();
        if (!folder.exists(name))
            break;
        name.clear();
    }
    if (name.isEmpty())
        throw EStreamError(FormatText(QStringLiteral("Cannot create a picture file in %s"), {folder.path()}));
    const QString path = folder.filePath(name);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        throw EStreamError(FormatText(QStringLiteral("Cannot create file \"%s\". %s"), {path, out.errorString()}));
    FPictureFiles.append(path);
    const QByteArray jpeg = bitmap.SaveToJpeg();
    QString reason;
    if (!WriteFully(out, jpeg))
        reason = out.errorString();
    else
        reason = FinishWriting(out);
    if (!reason.isEmpty())
        throw EStreamError(FormatText(QStringLiteral("Cannot write file \"%s\". %s"), {path, reason}));
    return name;
}

void TKVXExportToHTML::WriteData(TSpreadsheetCellType cellType, const TKVXMFERecord* rec, int row, int col,
                                 const QString& value, TAlignment alignment, TColor color)
{
    Q_UNUSED(cellType);
    Q_UNUSED(row);
    Q_UNUSED(col);
    Q_UNUSED(color);
    QString attributes;
    // Only an opaque text carries a background; a transparent one has clNone.
    if (rec && rec->Kind == rkText && rec->Color != clNone && rec->Color != PageColor)
        attributes = u' ' + GetHTMLColor(rec->Color, true);
    QString content;
    if (!IsBlankText(value)) {
        // The lines of a wrapped text stay in their cell.
        content = HtmlEscape(value).replace(u'\n', QStringLiteral("<br>"));
        if (rec && rec->Kind == rkText && rec->Font)
            content = GetHTMLTextWithFont(content, *rec->Font);
        if (alignment == taRightJustify)
            attributes += QStringLiteral(" align=\"right\"");
        else if (alignment == taCenter)
            attributes += QStringLiteral(" align=\"center\"");
    } else if (rec && rec->Kind == rkPicture && rec->Bitmap && !rec->Bitmap->Empty()) {
        const QString name = SavePicture(*rec->Bitmap);
        content = QStringLiteral("<img src=\"") + HtmlEscape(name) + QStringLiteral("\" width=\"")
            + QString::number(rec->Bitmap->Width()) + QStringLiteral("\" height=\"")
            + QString::number(rec->Bitmap->Height()) + QStringLiteral("\">");
    } else {
        content = QStringLiteral("&nbsp;");
    }
    WriteUtf8(QStringLiteral("    <TD") + attributes + u'>' + content + QStringLiteral("</TD>\r\n"));
}

} // namespace vorel
