#pragma once
// The fonts of a PDF file. Each entry stands for one face in one character
// set; its index is its resource name number (/F0, /F1, ...).
//
// The base font name comes from the face name: the standard PDF fonts for
// the faces that match them (Arial and MS Sans Serif as Helvetica, Courier,
// Times, Symbol, ZapfDingbats and Wingdings), "Times-Roman" for any other.
// Only the plain standard names in the ANSI character set are written as
// standard fonts; every other entry gets an encoding (WinAnsi with the
// differences of its code page) and, for a TrueType face, its widths and a
// font descriptor. A TrueType face outside the ANSI character set whose
// licence allows it is embedded (a subset holding its code page's
// characters), so its letters show in any viewer.
//
// Metrics and outlines come from the face fontconfig resolves for the name
// (through the text measuring service of the graphics layer).

#include "export/pdf_filters.h"
#include "foundation/records/font.h"
#include "graphics/text_measure.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

namespace vorel {

class TPdfWriter;

class TKVXPDFFont {
public:
    int Reference = 0; // object number of the font object
    QString BaseName; // "Helvetica-Bold", "Times-Roman", ...
    QString FaceName; // the report's face name ("Arial")
    TFontCharset Charset = ANSI_CHARSET;
    TFontStyles Style;
    std::uint8_t TrueType = 0; // 1: the face has TrueType outlines
    std::uint8_t Embeddable = 0; // 1: its licence allows embedding
    int DescriptorFlags = 0;

    // BaseName with the character set's suffix ("-Russian", "-EastEurope",
    // ...; nothing for ANSI).
    QString GetFontName() const;
    // Only "Helvetica", "Courier", "Times", "Symbol" and "ZapfDingbats" in
    // the ANSI character set.
    bool IsStandardFont() const;
    // "StandardEncoding" for Symbol and ZapfDingbats faces and the symbol
    // set, "MacRomanEncoding" for the Mac set, else "WinAnsiEncoding".
    QString EncodingString() const;
    // Reads the TrueType flag, the descriptor flags and the embedding
    // permission of the face of font (its name and style).
    void FontParameters(const TFont& font);

    // The code page of the entry's strings (0 for the symbol set).
    int CodePage() const;
    // The face measured at an em of 1000 units (widths in glyph space).
    const TFontFacePtr& Face() const { return FFace; }
    // Whether this entry embeds its face: a TrueType face, not a standard
    // font, outside the ANSI set, with a licence that allows embedding.
    bool WillEmbed() const;

private:
    TFontFacePtr FFace;
};

class TKVXPDFFonts {
public:
    TKVXPDFFonts() = default;
    TKVXPDFFonts(const TKVXPDFFonts&) = delete;
    TKVXPDFFonts& operator=(const TKVXPDFFonts&) = delete;

    // The index of the entry for font in the given (already resolved)
    // character set, made when there is none; a new entry takes the next
    // object number of pdf.
    int FontFromTable(TPdfWriter& pdf, const TFont& font, TFontCharset charset);
    // The index of the entry with that base name, character set and face
    // (face and style only count for entries that are not standard fonts,
    // whose widths and outlines are the face's own), or -1.
    int GetItemByFont(const QString& baseName, TFontCharset charset, const QString& faceName = QString(),
        TFontStyles style = {}) const;
    TKVXPDFFont* GetFont(int index) const; // nullptr when out of range
    int Count() const { return int(FFonts.size()); }

    // The base font name of a face: "Helvetica" for Arial and MS Sans Serif,
    // "Courier", "Times-...", "Symbol", "ZapfDingbats", else "Times-Roman";
    // the classic names of the far-eastern character sets.
    static QString FontFamily(const TFont& font, TFontCharset charset);
    // charset itself, or for the default set the set of ansiCodePage.
    static TFontCharset GetFontCharset(TFontCharset charset, int ansiCodePage);

    // Writes every font with its encoding, descriptor and font file objects.
    // compression encodes the font files (seDCT as Flate).
    void WriteFonts(TPdfWriter& pdf, TKVXECompression compression, TKVXECompressionMethod method) const;
    // "/Differences [ ... ]" of the entry's code page, one line per code;
    // nothing for code pages without a table.
    static void WriteFontDifferences(TPdfWriter& pdf, const TKVXPDFFont& font);
    void Clear() { FFonts.clear(); }

private:
    void WriteWidths(TPdfWriter& pdf, const TKVXPDFFont& font) const;
    void WriteDescriptor(TPdfWriter& pdf, const TKVXPDFFont& font, int descriptor, int file) const;
    void WriteFontFile(TPdfWriter& pdf, const TKVXPDFFont& font, int file, const QByteArray& data,
        TKVXECompression compression, TKVXECompressionMethod method) const;
    QByteArray SubsetFor(const TKVXPDFFont& font) const;
    QString SubsetTag(int index) const;

    std::vector<std::unique_ptr<TKVXPDFFont>> FFonts;
};

// Six capitals naming a font subset, the same for the same key on every run.
QByteArray PdfSubsetTag(QByteArrayView key);
// A TrueType font file object (/FontFile2) holding data, encoded by compression.
void WritePdfFontFile(TPdfWriter& pdf, int file, const QByteArray& data, TKVXECompression compression,
    TKVXECompressionMethod method);

// The characters of the width table of every non-standard font: codes 32 to
// 255 of its code page.
constexpr int kPdfFirstChar = 32;
constexpr int kPdfLastChar = 255;

} // namespace vorel
