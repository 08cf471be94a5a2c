#pragma once
// The library-wide Windows code page: the 8-bit character set of the formats
// that store one byte per character (prepared-report streams, BIFF, WK1/WQ1,
// PDF WinAnsi text, RTF). Text formats (TXT, CSV, HTML, XML) are UTF-8 and do
// not use it.
//
// Unless an application sets one, the code page follows the report language:
// 1252 for Western languages, 1251 for Russian and Ukrainian, 1250 for Czech.
// Conversion is table driven (each table is built once through iconv), so
// encoding a cell text costs no more than a lookup per character.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace vorel {

// The code page an application set, or 0 when it follows the language.
int LibraryCodePage();
// 0 returns to following the language. Raises EKVXError naming the code
// page when the system cannot convert it.
void SetLibraryCodePage(int codePage);
// The default code page of a language index (lnEnglish .. lnDutch).
int CodePageForLanguage(int lang);
// LibraryCodePage() when set, else CodePageForLanguage(lang).
int EffectiveCodePage(int lang);
// Whether the system converts this Windows code page ("CP<n>" for iconv).
bool IsSupportedCodePage(int codePage);

// One byte per UTF-16 unit; characters the code page cannot hold (and
// surrogate halves) become '?', as the platform's default character.
QByteArray EncodeCodePage(QStringView text, int codePage);
// The same, appended to out: writers that encode cell after cell into one
// reused buffer allocate nothing per cell.
void AppendCodePage(QByteArray& out, QStringView text, int codePage);
// Bytes the code page leaves undefined decode to the same code point
// (0x81 -> U+0081), so any byte string survives a round trip.
QString DecodeCodePage(QByteArrayView bytes, int codePage);

} // namespace vorel
