#pragma once
// The published Enhanced Metafile format: record type numbers, the fixed
// layouts Vorel writes and reads, and the record writer. Every byte goes
// through the helpers of byte_io.h.

#include "foundation/values/byte_io.h"
#include "graphics/graphics_types.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringView>
#include <cstdint>

namespace vorel {

enum EmfRecordType : std::uint32_t {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_SETBRUSHORGEX = 13,
    EMR_EOF = 14,
    EMR_SETPIXELV = 15,
    EMR_SETMAPPERFLAGS = 16,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETROP2 = 20,
    EMR_SETSTRETCHBLTMODE = 21,
    EMR_SETTEXTALIGN = 22,
    EMR_SETCOLORADJUSTMENT = 23,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_OFFSETCLIPRGN = 26,
    EMR_MOVETOEX = 27,
    EMR_SETMETARGN = 28,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SCALEVIEWPORTEXTEX = 31,
    EMR_SCALEWINDOWEXTEX = 32,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ANGLEARC = 41,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_ARC = 45,
    EMR_CHORD = 46,
    EMR_PIE = 47,
    EMR_SELECTPALETTE = 48,
    EMR_CREATEPALETTE = 49,
    EMR_SETPALETTEENTRIES = 50,
    EMR_RESIZEPALETTE = 51,
    EMR_REALIZEPALETTE = 52,
    EMR_EXTFLOODFILL = 53,
    EMR_LINETO = 54,
    EMR_ARCTO = 55,
    EMR_POLYDRAW = 56,
    EMR_SETARCDIRECTION = 57,
    EMR_SETMITERLIMIT = 58,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_CLOSEFIGURE = 61,
    EMR_FILLPATH = 62,
    EMR_STROKEANDFILLPATH = 63,
    EMR_STROKEPATH = 64,
    EMR_FLATTENPATH = 65,
    EMR_WIDENPATH = 66,
    EMR_SELECTCLIPPATH = 67,
    EMR_ABORTPATH = 68,
    EMR_GDICOMMENT = 70,
    EMR_FILLRGN = 71,
    EMR_FRAMERGN = 72,
    EMR_INVERTRGN = 73,
    EMR_PAINTRGN = 74,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_MASKBLT = 78,
    EMR_PLGBLT = 79,
    EMR_SETDIBITSTODEVICE = 80,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_POLYDRAW16 = 92,
    EMR_CREATEMONOBRUSH = 93,
    EMR_CREATEDIBPATTERNBRUSHPT = 94,
    EMR_EXTCREATEPEN = 95,
    EMR_POLYTEXTOUTA = 96,
    EMR_POLYTEXTOUTW = 97,
    EMR_SETICMMODE = 98,
    EMR_CREATECOLORSPACE = 99,
    EMR_SETCOLORSPACE = 100,
    EMR_DELETECOLORSPACE = 101,
    EMR_SMALLTEXTOUT = 108,
    EMR_ALPHABLEND = 114,
    EMR_SETLAYOUT = 115,
    EMR_TRANSPARENTBLT = 116,
    EMR_GRADIENTFILL = 118,
};

constexpr std::uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr std::uint32_t kEmfVersion = 0x00010000;
constexpr int kEmfHeaderMinSize = 88; // the header without its extensions
constexpr int kEmfHeaderSize = 108; // with both extensions, as Vorel writes it
// Stock objects are selected by index with the top bit set.
constexpr std::uint32_t kStockObject = 0x80000000u;
constexpr std::uint32_t WHITE_BRUSH = 0;
constexpr std::uint32_t BLACK_BRUSH = 4;
constexpr std::uint32_t NULL_BRUSH = 5;
constexpr std::uint32_t WHITE_PEN = 6;
constexpr std::uint32_t BLACK_PEN = 7;
constexpr std::uint32_t NULL_PEN = 8;
constexpr std::uint32_t DEFAULT_GUI_FONT = 17;

// The reference device Vorel records on: a 96 dpi screen of 20 x 15 inches,
// so that device pixels per millimetre come out exactly.
constexpr int kRefDevicePixelsX = 1920;
constexpr int kRefDevicePixelsY = 1440;
constexpr int kRefDeviceMillimetresX = 508;
constexpr int kRefDeviceMillimetresY = 381;

// The logical font record (LOGFONTW) of EMR_EXTCREATEFONTINDIRECTW.
struct TLogFont {
    std::int32_t Height = 0; // logical units; negative = character height
    std::int32_t Width = 0;
    std::int32_t Escapement = 0; // tenths of a degree
    std::int32_t Orientation = 0;
    std::int32_t Weight = 400;
    std::uint8_t Italic = 0;
    std::uint8_t Underline = 0;
    std::uint8_t StrikeOut = 0;
    std::uint8_t CharSet = 1;
    std::uint8_t OutPrecision = 0;
    std::uint8_t ClipPrecision = 0;
    std::uint8_t Quality = 0;
    std::uint8_t PitchAndFamily = 0;
    QString FaceName; // at most 31 characters are stored

    static constexpr int kSize = 92; // bytes
    static TLogFont FromFont(const TFont& font);
    static TLogFont Read(ByteView bytes, std::size_t offset); // needs kSize bytes
    void Write(LeWriter& w) const; // kSize bytes
    friend bool operator==(const TLogFont&, const TLogFont&) = default;
};

// Bounds in device units, inclusive on all sides, as EMF records carry them.
struct TEmfBounds {
    int Left = 0, Top = 0, Right = -1, Bottom = -1; // empty
    bool IsEmpty() const { return Right < Left || Bottom < Top; }
    void Unite(const TEmfBounds& b);
    static TEmfBounds Of(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
};

// Appends records to a metafile under construction. Each method writes one
// complete record; sizes are computed here, never by callers.
class TEmfWriter {
public:
    TEmfWriter();

    void SetBkMode(int mode) { Simple(EMR_SETBKMODE, std::uint32_t(mode)); }
    void SetBkColor(std::uint32_t colorRef) { Simple(EMR_SETBKCOLOR, colorRef); }
    void SetTextColor(std::uint32_t colorRef) { Simple(EMR_SETTEXTCOLOR, colorRef); }
    void SetTextAlign(unsigned align) { Simple(EMR_SETTEXTALIGN, align); }
    void SetRop2(int rop2) { Simple(EMR_SETROP2, std::uint32_t(rop2)); }
    void SetPolyFillMode(int mode) { Simple(EMR_SETPOLYFILLMODE, std::uint32_t(mode)); }
    void SetStretchBltMode(int mode) { Simple(EMR_SETSTRETCHBLTMODE, std::uint32_t(mode)); }
    void SetMapMode(int mode) { Simple(EMR_SETMAPMODE, std::uint32_t(mode)); }
    void SelectObject(std::uint32_t handle) { Simple(EMR_SELECTOBJECT, handle); }
    void DeleteObject(std::uint32_t handle) { Simple(EMR_DELETEOBJECT, handle); }
    // EMR_GDICOMMENT: private data that players and exports ignore unless
    // they know it (cbData, the data, zeros to a multiple of four).
    void GdiComment(QByteArrayView data);
    void SaveDC();
    void RestoreDC(int relative = -1);
    void MoveToEx(int x, int y);
    void LineTo(int x, int y, const TEmfBounds& bounds);
    void Polyline16(const QList<TPoint>& points, const TEmfBounds& bounds);
    void Rectangle(const TRect& box, const TEmfBounds& bounds);
    void Ellipse(const TRect& box, const TEmfBounds& bounds);
    void RoundRect(const TRect& box, int cornerWidth, int cornerHeight, const TEmfBounds& bounds);
    void CreatePen(std::uint32_t handle, int style, int width, std::uint32_t colorRef);
    void CreateBrushIndirect(std::uint32_t handle, int style, std::uint32_t colorRef, int hatch);
    void ExtCreateFontIndirectW(std::uint32_t handle, const TLogFont& font);
    void ExtTextOutW(const TEmfBounds& bounds, int x, int y, unsigned options, const TRect& rect, QStringView text,
        const int* dx);
    // 24-bit bottom-up DIB of the source part of image, into dest.
    void StretchDIBits(const TEmfBounds& bounds, const TRect& dest, const QImage& image, const TRect& source);
    void IntersectClipRect(const TRect& r);
    void ResetClip(); // EMR_EXTSELECTCLIPRGN with no region: clipping off
    void ModifyWorldTransform(const QTransform& t, int mode); // 1 identity, 2 left-, 3 right-multiply
    // A record copied as it stands (already validated by the caller).
    void Raw(ByteView record);
    void Raw(const QByteArray& record) { Raw(ByteView(record)); }

    // Closes the metafile: the end-of-file record, then the header with the
    // given bounds and frame (0.01 mm), the handle count and description.
    QByteArray Finish(const TEmfBounds& bounds, const TRect& frame, int handleCount, const QString& creator,
        const QString& description);

    int RecordCount() const { return FRecords; }

private:
    void Simple(std::uint32_t type, std::uint32_t value);
    // Appends a record of size bytes, writes its type and size, and returns
    // a writer for the rest.
    LeWriter Begin(std::uint32_t type, int size);
    static void Bounds(LeWriter& w, const TEmfBounds& b);

    QByteArray FBody; // every record after the header
    int FRecords = 0;
};

// --- reading --------------------------------------------------------------------

struct TEmfHeader {
    TEmfBounds Bounds;
    TRect Frame; // 0.01 mm, as stored (inclusive-exclusive is the writer's business)
    std::uint32_t HeaderSize = 0;
    std::uint32_t Bytes = 0;
    std::uint32_t Records = 0;
    std::uint16_t Handles = 0;
    int DeviceX = 0, DeviceY = 0; // reference device pixels
    int MillimetresX = 0, MillimetresY = 0;
    QString Description; // creator, NUL, description
};

// Checks bytes as an EMF: header, signature, sizes and the chain of records
// (each at least 8 bytes, a multiple of 4, inside the stated size). Throws
// EInvalidGraphic naming source and the byte offset of the fault. Returns
// the header; bytes past the header's stated size are ignored.
TEmfHeader ValidateEmf(ByteView bytes, const QString& source);

} // namespace vorel
