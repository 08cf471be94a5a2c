#pragma once
// A TrueType subset for embedding as /FontFile2: the glyphs of the given
// characters (and the glyphs their composite glyphs are built from), renumbered
// from 1 after the .notdef glyph, with a Windows Unicode (3,1) cmap for
// exactly those characters. Hinting programs, OS/2 and name stay as they are;
// post is cut to its version 3 header (no glyph names). Layout tables
// (GSUB, GPOS, kern, ...) are left out: a PDF simple font draws one glyph
// per byte.
//
// A subset of the 224 characters of a code page is a few tens of kilobytes,
// where the whole face is several hundred.

#include <QByteArray>
#include <QList>
#include <QRawFont>
#include <cstdint>
#include <functional>

namespace vorel {

struct TPdfGlyphChar {
    char16_t Char = 0;
    std::uint32_t Glyph = 0; // in the face; 0 when the face lacks the character
};

// Builds the subset from the face's tables. Returns an empty array when the
// face has no TrueType outlines (no glyf table) or its tables do not fit
// together (then the font is not embedded).
QByteArray SubsetTrueTypeFont(const QRawFont& face, const QList<TPdfGlyphChar>& chars);

// The same from tables given by tag ("head", "glyf", ...), for faces that do
// not come from a QRawFont.
QByteArray SubsetTrueTypeTables(const std::function<QByteArray(const char* tag)>& table,
    const QList<TPdfGlyphChar>& chars);

// A TrueType font built from the glyph outlines of any face Qt can load
// (OpenType CFF faces among them: PDF's CID fonts take TrueType outlines
// most widely): the glyphs of chars in their order after .notdef, cubic
// curves as quadratic ones within a font unit, no hinting. Empty when the
// face has no head or hhea table or too many glyphs.
QByteArray TrueTypeFromOutlines(const QRawFont& face, const QList<TPdfGlyphChar>& chars);

} // namespace vorel
