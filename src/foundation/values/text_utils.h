#pragma once
// Small text helpers shared by aggregates and the exports.

#include <QChar>
#include <QString>

namespace vorel {

// The text as a float with the locale's decimal separator; the default when
// the text is empty after trimming blanks and control characters, or when it
// does not parse. Never throws.
double StrToFloatDef(const QString& text, double defaultValue);
// The text with every oldChar replaced by newChar.
QString ReplaceChr(const QString& text, QChar oldChar, QChar newChar);
// Right-aligns the text in widthInChars by adding blanks on the left; a
// longer text is returned whole.
QString PadLSpace(const QString& text, int widthInChars);
// Left-aligns the text in widthInChars by adding blanks on the right.
QString PadRSpace(const QString& text, int widthInChars);
// "Orders.Amount" -> "Amount"; "A.B.C" -> "B.C"; no dot -> "".
QString GetFieldName(const QString& qualifiedName);
// "Orders" + "Amount" -> "Orders.Amount"; with either part empty the two are
// simply joined.
QString SetDSExpression(const QString& dataSetName, const QString& fieldName);
// Replaces markup characters by entity references for the HTML and XML
// exports. The references for | ± ° ¶ have no closing semicolon, as the
// files this library has always written have them.
QString ReplaceSystemChars(const QString& text);
// A full path in the temporary folder that no file has at the time of the
// call: a file "KVX<number>.tmp" is created there and deleted again, and its
// path is returned with the extension replaced (".pdf" and "pdf" both work).
// Raises EStreamError when the folder does not accept a new file.
QString GetUniqueFileName(const QString& extension);
// True when the file exists and is no regular file (a device such as
// /dev/null, a pipe): outputs are written into it, never written aside and
// renamed over it, which would replace the device with a plain file.
bool IsSpecialFile(const QString& fileName);
// The text with every character that would steer a terminal rather than
// show written out: C0 controls (ESC, NUL, CR, ...), DEL, the C1 controls
// and the bidirectional overrides become "\x1b", "\x00", "\u202e". Tabs
// stay, and line breaks when `keepLineBreaks`. Every message the tool
// prints passes through it, since messages quote names and texts from the
// files they are about.
QString EscapeControlCharacters(QStringView text, bool keepLineBreaks = false);
// Exact equality, answered at once for two copies of one shared text (the
// usual case for the names and expressions caches compare on every record).
inline bool SameString(const QString& a, const QString& b)
{
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

} // namespace vorel
