#pragma once
// Walks the records of a metafile in order, keeping the handle table and the
// replay state a device context would have after each record: the objects
// created and selected (the logical font now selected, pen, brush), text and
// background colours, background mode, text alignment, current position,
// mapping and world transform. The record dispatch of that state lives here
// once; the player and the export filters react to the records it yields.
//
// Tolerant by design: a record whose layout does not fit its size is
// reported (RecordValid() false) and changes nothing; unknown records pass.

#include "graphics/emf_format.h"
#include "graphics/gdi_paint.h"

#include <QRect>
#include <QTransform>
#include <cstdint>
#include <optional>
#include <vector>

namespace vorel {

class TMetafile;

struct TEmfObject {
    enum Kind { None, Pen, Brush, Font, Palette, Other };
    Kind ObjectKind = None;
    TGdiPen PenValue;
    TGdiBrush BrushValue;
    TLogFont FontValue;
};

struct TEmfReplayState {
    TLogFont Font; // the logical font now selected
    TGdiPen Pen;
    TGdiBrush Brush;
    std::uint32_t TextColor = 0; // 0x00BBGGRR
    std::uint32_t BkColor = 0xFFFFFF;
    int BkMode = OPAQUE_MODE;
    unsigned TextAlign = 0;
    TPoint CurrentPosition;
    int Rop2 = 13;
    int PolyFillMode = ALTERNATE_FILL;
    int StretchMode = 3;
    int MapMode = 1; // MM_TEXT
    QPointF WindowOrg, ViewportOrg;
    QSizeF WindowExt{1, 1}, ViewportExt{1, 1};
    QTransform World;
    qreal MiterLimit = 10;
    // Logical units to reference-device pixels: the world transform, then
    // the window-to-viewport mapping of the map mode.
    QTransform PageTransform(qreal devicePixelsPerMmX, qreal devicePixelsPerMmY) const;
};

struct TEmfRecord {
    std::uint32_t Type = 0;
    std::uint32_t Size = 0; // bytes, including type and size
    std::uint64_t Offset = 0; // from the start of the metafile
    ByteView Bytes; // the whole record
};

class TEmfEnumerator {
public:
    // bytes must have passed ValidateEmf (TMetafile keeps only such bytes).
    TEmfEnumerator(ByteView bytes, const TEmfHeader& header);
    explicit TEmfEnumerator(const TMetafile& metafile);

    // Moves to the next record (the header first) and applies it to the state; false after the
    // last record (EMR_EOF or the stated end).
    bool Next();
    const TEmfRecord& Record() const { return FRecord; }
    // False when the record's fields do not fit its size; it was skipped.
    bool RecordValid() const { return FValid; }
    const TEmfReplayState& State() const { return FState; }
    // The current position before this record (a line starts there).
    TPoint PositionBefore() const { return FPositionBefore; }
    // For EMR_SELECTOBJECT: the kind of the object just selected.
    TEmfObject::Kind SelectedKind() const { return FSelectedKind; }
    const TEmfObject* Object(std::uint32_t handle) const;
    const TEmfHeader& Header() const { return FHeader; }
    int SaveDepth() const { return int(FSaved.size()); }

    // Device pixels per millimetre of the reference device the metafile was
    // recorded on (3.78 for 96 dpi).
    qreal DevicePixelsPerMmX() const;
    qreal DevicePixelsPerMmY() const;

    // The fixed part each record type needs, in bytes (8 for types without
    // fields or unknown ones).
    static std::uint32_t MinimumSize(std::uint32_t type);
    // The save depth after RESTOREDC(arg) at the given depth, or -1 when the
    // argument names no saved state.
    static int RestoreTarget(int depth, int arg);

private:
    void Apply();
    void CreateObject(std::uint32_t handle, TEmfObject object);
    void Select(std::uint32_t handle);

    ByteView FBytes;
    TEmfHeader FHeader;
    std::uint64_t FNext = 0;
    bool FDone = false;
    TEmfRecord FRecord;
    bool FValid = true;
    TEmfReplayState FState;
    TPoint FPositionBefore;
    TEmfObject::Kind FSelectedKind = TEmfObject::None;
    std::vector<TEmfObject> FHandles;
    std::vector<TEmfReplayState> FSaved;
};

// A DIB (BITMAPINFO followed by bits) as an image; null when the header or
// the bits do not fit the views. usage 1 (palette indices) uses greys.
QImage DibToImage(ByteView info, ByteView bits);

// The source rectangle of a bitmap record (origin and extent as stored, in
// bitmap pixels), or none when it lies beyond any bitmap Vorel decodes: the
// record is then skipped. QRect keeps the far edge as left + width - 1 and
// gives the width back as right - left + 1, both in int, which the fields
// of a hostile record would make overflow.
std::optional<QRect> DibSourceRect(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height);

} // namespace vorel
