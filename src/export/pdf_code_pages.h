#pragma once
// The single-byte code pages of the PDF writer's simple fonts. A font's text
// is written as bytes of the code page of its character set; the font's
// encoding is WinAnsi with the /Differences of that code page, so a viewer
// maps each byte to the right glyph name and, through the glyph name, to the
// character (which is also what text extraction returns).
//
// Text may hold characters its font's code page lacks (a Russian text in a
// font of the default character set under a Western code page): such text is
// split into runs, each in a code page that has its characters.

#include "foundation/records/font.h"

#include <QByteArray>
#include <QList>
#include <QStringView>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace vorel {

struct TPdfDifference {
    std::uint8_t Code;
    const char* Name; // Adobe Glyph List name
};

// The differences from WinAnsi of code pages 1250, 1251, 1253, 1254, 1255,
// 1256 and 1257; empty for any other.
std::span<const TPdfDifference> PdfDifferences(int codePage);

// The code page of a character set (the classic charset numbers); 1252 for
// ANSI and for sets without a single-byte code page, 0 for the symbol set.
int CharsetCodePage(TFontCharset charset);
// The character set of a Windows code page, as the classic font mapper
// resolves the default character set: 874 -> 222, 932 -> 128, 936 -> 134,
// 950 -> 136, 1250 -> 238, 1251 -> 204, 1252 -> 0, 1253 -> 161,
// 1254 -> 162, 1255 -> 177, 1256 -> 178, 1257 -> 186, 1258 -> 163, else 0.
TFontCharset CodePageCharset(int codePage);
// Code pages whose text a WinAnsi-based encoding shows: 1252 and the seven
// with differences.
bool IsPdfCodePage(int codePage);

// One code page's bytes and characters, built once per code page.
class TPdfCodePage {
public:
    // codePage must satisfy IsPdfCodePage; others give 1252.
    static const TPdfCodePage& Get(int codePage);

    int CodePage() const { return FCodePage; }
    // The character at a byte, 0 when the code page leaves it undefined.
    char16_t Decode(std::uint8_t byte) const { return FDecode[byte]; }
    // The byte of a character, -1 when the code page lacks it.
    int Encode(char16_t c) const
    {
        if (c < 0x80)
            return c;
        return EncodeHigh(c);
    }
    bool CanEncode(char16_t c) const { return Encode(c) >= 0; }

private:
    explicit TPdfCodePage(int codePage);
    int EncodeHigh(char16_t c) const;

    int FCodePage = 1252;
    char16_t FDecode[256] = {};
    std::vector<std::pair<char16_t, std::uint8_t>> FHigh; // sorted by character
};

// A piece of a text in one code page.
struct TPdfTextRun {
    int CodePage = 1252;
    QByteArray Bytes; // the characters as bytes of CodePage
};

// Splits text into runs: one run in the preferred code page when it has
// every character, else in the first code page that has them all (1252,
// 1251, 1250, 1253, 1254, 1257, 1255, 1256); a text no code page holds
// alone changes code page where the current one lacks the next character
// (to the preferred one when it has it, else the first in that order).
// A character no code page has becomes '?' in the current run. A
// preferredCodePage of 0 (symbol fonts) takes each character's low byte.
QList<TPdfTextRun> SplitIntoCodePageRuns(QStringView text, int preferredCodePage);

} // namespace vorel
