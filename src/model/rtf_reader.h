#pragma once
// Rich text content for the rich text control: RTF read into a
// QTextDocument (Qt reads no RTF), HTML through Qt's own reader, and plain
// text in the control's font. The document is what the rich text layout
// (rich_text_layout.h) measures and draws.
//
// How the reader stores what it reads, so that the layout (and anything
// else looking at the document) finds it:
// - characters: font family, point size, bold, italic, underline, strike-out,
//   foreground only for a colour-table colour (no foreground = the automatic
//   colour, which the drawing canvas's font colour supplies), background for
//   \cb, \highlight and \chcbpat, and the \fcharset of the font in the user
//   property kRichTextCharsetProperty;
// - paragraphs: alignment, left and right margins, first-line indent, space
//   before and after, tab stops, all in report pixels (1/96 inch, twips / 15),
//   line spacing as a QTextBlockFormat line height; the block's char format
//   is the formatting of its paragraph mark (it sizes an empty paragraph);
// - \line as U+2028 (line separator), \tab as a tab, pictures as image
//   fragments whose width and height are report pixels, the decoded QImage
//   held as the document's image resource of that name.
//
// The reader never fails: unknown control words are ignored, damaged or
// truncated input keeps what was read up to the damage, and every quantity
// is bounded (group depth, numbers, picture pixels), so hostile bytes cost
// time and memory in proportion to their size only.

#include "foundation/records/font.h"
#include "graphics/graphics_types.h"

#include <QByteArray>
#include <QString>
#include <QTextFormat>

class QTextDocument;

namespace vorel {

// The formatting a content without its own takes: plain text entirely,
// RTF only for what its font table does not say. The rich text control
// fills it from its font and alignment.
struct TRichTextDefaults {
    QString FontName = QStringLiteral("Arial");
    qreal PointSize = 10;
    TFontStyles Style;
    TAlignment Alignment = taLeftJustify;
    // The Windows code page of RTF text bytes when the RTF names none
    // (\ansicpg), and of plain text bytes that are not UTF-8.
    int CodePage = 1252;

    static TRichTextDefaults FromFont(const TFont& font, TAlignment alignment, int codePage = 1252);
};

enum class TRichTextKind { Rtf, Html, PlainText };

// The character set (\fcharset) of a run's font, on QTextCharFormat.
constexpr int kRichTextCharsetProperty = QTextFormat::UserProperty + 1;

// Groups nested deeper than this are read as skipped destinations: no
// document nests that deep, and the group stack stays bounded.
constexpr int kRtfMaxGroupDepth = 256;
// Pictures with more pixels than this are left out (about 200 MB decoded).
constexpr qint64 kRtfMaxPicturePixels = 50'000'000;
// Rich text files larger than this are not loaded.
constexpr qint64 kMaxRichTextFileBytes = 256LL * 1024 * 1024;

// What the bytes hold: "{\rtf" (after blanks and a UTF-8 byte order mark)
// is RTF, a leading "<" HTML, anything else plain text.
TRichTextKind DetectRichTextKind(const QByteArray& bytes);

// Replaces the document's content with the bytes, read as what they hold.
// Plain text bytes are UTF-8 when they are valid UTF-8 (or carry a UTF-16
// byte order mark), else the defaults' code page.
TRichTextKind LoadRichText(QTextDocument& doc, const QByteArray& bytes, const TRichTextDefaults& defaults);
// The same for text that is already Unicode (a field's text): RTF in it
// takes characters above 0x7F as themselves, not as code page bytes.
TRichTextKind LoadRichText(QTextDocument& doc, const QString& text, const TRichTextDefaults& defaults);
// Loads a file; false (and the document unchanged) when it cannot be read
// or is larger than kMaxRichTextFileBytes.
bool LoadRichTextFile(QTextDocument& doc, const QString& fileName, const TRichTextDefaults& defaults);

// Reads RTF into the document, replacing its content. Bytes without the
// "{\rtf" header are read as RTF all the same. highBytesAreUtf8: raw bytes
// above 0x7F (not \'hh escapes) are UTF-8 rather than code page bytes.
void ReadRtf(QTextDocument& doc, const QByteArray& rtf, const TRichTextDefaults& defaults,
    bool highBytesAreUtf8 = false);

// Plain text into the document in the defaults' font and alignment: each
// line (CR LF, CR or LF) a paragraph; a final line break adds no empty one.
void SetPlainRichText(QTextDocument& doc, const QString& text, const TRichTextDefaults& defaults);

// The code page whose bytes a font of the character set (\fcharset) holds;
// 0 for the ANSI, default and symbol sets, which take the document's.
int CharsetCodePage(int charset);
bool IsMultiByteCodePage(int codePage); // 932, 936, 949, 950, 1361, 65001
// Sets the distance of the default tab stops (RTF's default: 720 twips).
void SetRichTextDefaultTab(QTextDocument& doc, int twips);

// Bytes of a Windows code page (1250..1258, 874, 932, 936, 949, 950, 437,
// 850, 10000 ...) as text; bytes the code page does not define become
// U+FFFD, an unknown code page reads as 1252.
QString DecodeCodePage(int codePage, const char* bytes, qsizetype length);

} // namespace vorel
