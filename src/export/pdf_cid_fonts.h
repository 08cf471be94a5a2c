#pragma once
// The embedded Unicode fonts of a PDF file: Type 0 fonts (Identity-H
// encoding, a CIDFontType2 descendant) of each face the pages draw glyphs
// from, the report's faces and the fallback faces alike, one per size. Each glyph gets a CID on
// first use (1, 2, ... in that order); the embedded TrueType subset holds
// exactly those glyphs under the same numbers (CIDToGIDMap /Identity), its
// widths are the face's own, and a ToUnicode map gives each CID the text it
// shows, so the PDF's text copies and searches.
//
// Faces with TrueType outlines are subset from their own tables (outlines
// and hinting as they are); faces with other outlines (OpenType CFF, as the
// CJK faces have) are embedded as TrueType built from their glyph outlines.
// BaseFont is the subset tag and the face's PostScript name
// ("ABCDEF+DejaVuSans").

#include "export/pdf_filters.h"

#include <QByteArray>
#include <QHash>
#include <QRawFont>
#include <QString>
#include <QStringView>
#include <cmath>
#include <memory>
#include <vector>

namespace vorel {

class TPdfWriter;

class TPdfCidFonts {
public:
    TPdfCidFonts();
    TPdfCidFonts(const TPdfCidFonts&) = delete;
    TPdfCidFonts& operator=(const TPdfCidFonts&) = delete;
    ~TPdfCidFonts();

    // The index of the font for font at an em of em pixels, made when there
    // is none (its font object takes pdf's next object number). font is held
    // by a face and stays at one address while the face lives; -1 for an
    // invalid font. Each size has its own font object whose widths are the
    // face's advances rounded to whole pixels at that size, as the report
    // measures them, so text at the report's advances needs no adjustment;
    // all sizes of a face share one CID numbering, font file and ToUnicode
    // map. em 0: the face's own widths, for every size (files whose fonts
    // must state exactly the widths of their font programs).
    int FontFor(TPdfWriter& pdf, const QRawFont* font, double em);
    // The CID of glyph in the font's face, given on first use together with
    // the text it shows (ignored after that).
    std::uint16_t Cid(int index, std::uint32_t glyph, QStringView unicode)
    {
        TEntry& e = *FFonts[std::size_t(FSized[std::size_t(index)].Face)];
        if (glyph < e.CidOfGlyph.size() && e.CidOfGlyph[glyph] != 0)
            return e.CidOfGlyph[glyph];
        return NewCid(e, glyph, unicode);
    }
    // The advance of a CID as the font's /W states it, in pixels at an em
    // of em pixels: whole pixels for a font of that size.
    double PixelAdvance(int index, std::uint16_t cid, double em) const
    {
        const TSized& sized = FSized[std::size_t(index)];
        const TEntry& e = *FFonts[std::size_t(sized.Face)];
        if (cid >= e.AdvanceOfCid.size())
            return 0;
        return sized.Em > 0 ? std::round(e.AdvanceOfCid[cid] * sized.Em / 1000)
                            : std::round(e.AdvanceOfCid[cid]) * em / 1000;
    }
    int Reference(int index) const;
    // The horizontal shear of the font's glyphs (x += Shear * y): non-zero
    // for a face the font engine slants itself (italic asked of a face
    // without italic outlines).
    double Shear(int index) const { return FFonts[std::size_t(FSized[std::size_t(index)].Face)]->Shear; }

    // Writes every font: the Type 0 font, its CIDFont, descriptor, font
    // file and ToUnicode objects. compression encodes the font files and maps.
    void WriteFonts(TPdfWriter& pdf, TKVXECompression compression, TKVXECompressionMethod method) const;

private:
    struct TEntry {
        QRawFont Font; // at an em of 1000 pixels: advances are /W widths
        QString Identity;
        int GlyphCount = 0;
        int Sizes = 0; // sized fonts with their own widths
        double Shear = 0;
        std::vector<std::uint16_t> CidOfGlyph; // 0: not used yet
        std::vector<std::uint32_t> GlyphOfCid{0}; // CID 0 is .notdef
        std::vector<double> AdvanceOfCid{0}; // 1/1000 em, unrounded
        std::vector<QString> TextOfCid{QString()};
        // Written with the fonts: shared by every size.
        mutable int Descriptor = 0;
        mutable int ToUnicode = 0;
        mutable QByteArray BaseFont;
    };
    std::uint16_t NewCid(TEntry& face, std::uint32_t glyph, QStringView unicode);
    struct TSized {
        int Face = 0; // index into FFonts
        double Em = 0; // pixels; 0: the face's own widths
        int Reference = 0;
    };
    int FaceFor(const QRawFont* font);
    void WriteFace(TPdfWriter& pdf, const TEntry& face, TKVXECompression compression,
        TKVXECompressionMethod method) const;
    std::vector<std::unique_ptr<TEntry>> FFonts;
    std::vector<TSized> FSized;
    QHash<const QRawFont*, int> FByAddress; // face entries
    QHash<QString, int> FByIdentity;
    QHash<std::pair<int, double>, int> FBySize; // face entry and em: sized font
    const QRawFont* FLastAddress = nullptr;
    double FLastEm = -1;
    int FLast = -1;
};

// A face's PostScript name from its name table (name 6), else its family and
// style; only the characters a PDF name keeps plainly.
QByteArray FacePostScriptName(const QRawFont& font);

} // namespace vorel
