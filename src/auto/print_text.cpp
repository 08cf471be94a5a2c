// TKVPrintText: a text file printed line by line.

#include "auto/print_text.h"

#include "foundation/locale/code_page.h"
#include "foundation/values/errors.h"
#include "graphics/metafile_canvas.h"

#include <QFile>
#include <QStringDecoder>

namespace vorel {

namespace {
constexpr int kTextPropertyMissing = 2076; // "Property %s wasn't specified."

// The DOS code page beside a Windows one.
int OemCodePage(int windowsCodePage)
{
    switch (windowsCodePage) {
    case 1251: return 866;
    case 1250: return 852;
    default: return 437;
    }
}

// Where the next bar continues a line that shows from `start` on this one:
// at the first character that does not end within the printable width
// (drawn again whole there), at least one character further on so that
// every bar makes progress. The line's length when the rest fits.
qsizetype NextBarStart(TCanvas& canvas, QStringView line, qsizetype start, int width)
{
    int used = 0;
    for (qsizetype i = start; i < line.size(); ++i) {
        used += canvas.TextWidth(line.mid(i, 1));
        if (used > width)
            return std::max(i, start + 1);
    }
    return line.size();
}
} // namespace

QString TKVPrintText::ReadText() const
{
    QFile file(FFileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EKVXError(QStringLiteral("%1: cannot open the text file: %2").arg(FFileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EKVXError(QStringLiteral("%1: cannot read the text file: %2").arg(FFileName, file.errorString()));
    const int windows = EffectiveCodePage(GetLanguageShift());
    if (FCodePage == cpASCII)
        return DecodeCodePage(bytes, OemCodePage(windows));
    // Text files on this system are UTF-8; one that is not valid UTF-8 was
    // written in the Windows code page of the report's language.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = DecodeCodePage(bytes, windows);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

void TKVPrintText::PrintLine(const QString& text)
{
    TCanvas& canvas = *MFCanvas();
    const unsigned flags = DT_NOPREFIX | DT_EXPANDTABS | DT_LEFT | (WordWrap() ? DT_WORDBREAK : 0);
    const QString& shown = text.isEmpty() ? QStringLiteral(" ") : text;
    const TRect area{PageLeft(), intCurHeight, PageLeft() + PrintableWidth(), intMaxPageHeight};
    // Measured first: a line (wrapped into several) that does not fit what
    // is left of the page moves to the next page whole.
    int height = canvas.TextHeight(shown);
    if (WordWrap()) {
        TRect r = area;
        height = canvas.DrawText(shown, r, flags | DT_CALCRECT);
    }
    if (intCurHeight + height > intMaxPageHeight && FLinesOnPage > 0) {
        NewPage(false); // a new page has a canvas of its own
        MFCanvas()->SetFont(Font());
    }
    TRect r{PageLeft(), intCurHeight, PageLeft() + PrintableWidth(), intMaxPageHeight};
    KVXDrawText(*MFCanvas(), shown, flags, r);
    intCurHeight += height;
    ++FLinesOnPage;
}

void TKVPrintText::NewPage(bool newBar)
{
    TKVAutoPrint::NewPage(newBar);
    FLinesOnPage = 0;
}

void TKVPrintText::PrepareReport()
{
    TKVAutoPrint::PrepareReport();
    if (FFileName.isEmpty()) {
        QString chosen;
        if (!OnSelectFile)
            throw EKVXError(FormatText(GetString(GetLanguageShift(), kTextPropertyMissing), {QStringLiteral("FileName")}));
        if (!OnSelectFile(chosen) || chosen.isEmpty())
            return;
        FFileName = chosen;
    }
    // Read before the first page: a file that cannot be read leaves no
    // half-made report behind.
    const QString text = ReadText();
    QStringList lines = text.split(u'\n');
    if (text.endsWith(u'\n'))
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);

    BeginDoc();
    NewPage(false);
    const int width = PrintableWidth();
    if (width < 1)
        throw EKVXError(QStringLiteral("%1: the page leaves no printable width (%2 report pixels between the "
                                       "margins)")
                            .arg(FFileName)
                            .arg(width));
    // Where each line continues on the current bar (character index).
    std::vector<qsizetype> starts(size_t(lines.size()), 0);
    for (;;) {
        bool anotherBar = false;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (CancelPending()) {
                EndDoc();
                return;
            }
            MFCanvas()->SetFont(Font());
            const QString& line = lines[i];
            if (WordWrap()) {
                PrintLine(line);
                continue;
            }
            const qsizetype start = starts[size_t(i)];
            const QString shown = start < line.size() ? line.mid(start) : QString();
            // Another bar only while some line is still wider than the bars so far.
            const qsizetype next = NextBarStart(*MFCanvas(), line, start, width);
            if (next < line.size())
                anotherBar = true;
            starts[size_t(i)] = next;
            PrintLine(shown);
        }
        if (!anotherBar)
            break;
        NewPage(true);
    }
    EndDoc();
    intCurPage = 0;
    intCurBar = 0;
}

} // namespace vorel
