#include "graphics/emf_enumerator.h"

#include "graphics/emf_interpreter.h"
#include "graphics/metafile.h"
#include "foundation/values/limits.h"

#include <QtMath>
#include <cmath>

namespace vorel {

namespace {

// Depth of saved device contexts a metafile may pile up; hostile files
// with millions of EMR_SAVEDC records do not grow memory past this.
constexpr std::size_t kMaxSaveDepth = 4096;
// Handles are 16-bit counts in the header; no table grows past that.
constexpr std::uint32_t kMaxHandles = limits::kEmfHandles;
// Largest picture a DIB record may decode to, in pixels.
constexpr std::uint64_t kMaxDibPixels = limits::kDibPixels;

TGdiPen StockPen(std::uint32_t index)
{
    TGdiPen pen;
    if (index == WHITE_PEN)
        pen.Color = 0xFFFFFF;
    else if (index == NULL_PEN)
        pen.Style = PS_NULL;
    return pen;
}

TGdiBrush StockBrush(std::uint32_t index)
{
    TGdiBrush brush;
    static constexpr std::uint32_t kGreys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    if (index <= BLACK_BRUSH)
        brush.Color = kGreys[index];
    else
        brush.Style = BS_NULL;
    return brush;
}

TLogFont StockFont()
{
    TLogFont lf;
    lf.Height = -11;
    lf.FaceName = QStringLiteral("MS Sans Serif");
    return lf;
}

} // namespace

QTransform TEmfReplayState::PageTransform(qreal pxPerMmX, qreal pxPerMmY) const
{
    qreal sx = 1;
    qreal sy = 1;
    switch (MapMode) {
    case 2: sx = (0.1) * pxPerMmX; sy = -(0.1) * pxPerMmY; break; // MM_LOMETRIC
    case 3: sx = (0.01) * pxPerMmX; sy = -(0.01) * pxPerMmY; break; // MM_HIMETRIC
    case 4: sx = (0.254) * pxPerMmX; sy = -(0.254) * pxPerMmY; break; // MM_LOENGLISH
    case 5: sx = (0.0254) * pxPerMmX; sy = -(0.0254) * pxPerMmY; break; // MM_HIENGLISH
    case 6: sx = (25.4 / 1440) * pxPerMmX; sy = -(25.4 / 1440) * pxPerMmY; break; // MM_TWIPS
    case 7: // MM_ISOTROPIC: the smaller scale in both directions
    case 8: { // MM_ANISOTROPIC
        const qreal wx = WindowExt.width() != 0 ? WindowExt.width() : 1;
        const qreal wy = WindowExt.height() != 0 ? WindowExt.height() : 1;
        sx = ViewportExt.width() / wx;
        sy = ViewportExt.height() / wy;
        if (MapMode == 7) {
            const qreal m = std::min(std::abs(sx), std::abs(sy));
            sx = sx < 0 ? -m : m;
            sy = sy < 0 ? -m : m;
        }
        break;
    }
    default: break;
    }
    QTransform page;
    page.translate(ViewportOrg.x(), ViewportOrg.y());
    page.scale(sx, sy);
    page.translate(-WindowOrg.x(), -WindowOrg.y());
    return World * page;
}

TEmfEnumerator::TEmfEnumerator(ByteView bytes, const TEmfHeader& header)
    : FBytes(bytes), FHeader(header), FNext(0)
{
    FHandles.resize(std::max<std::size_t>(1, header.Handles));
    FState.Font = StockFont();
    FState.Pen = StockPen(BLACK_PEN);
    FState.Brush = StockBrush(WHITE_BRUSH);
    if (FHeader.Bytes > FBytes.Size())
        FDone = true; // never happens for validated bytes
}

TEmfEnumerator::TEmfEnumerator(const TMetafile& metafile)
    : TEmfEnumerator(ByteView(metafile.Bytes()), metafile.Header())
{
    if (metafile.Empty())
        FDone = true;
}

qreal TEmfEnumerator::DevicePixelsPerMmX() const
{
    return FHeader.DeviceX > 0 && FHeader.MillimetresX > 0 ? qreal(FHeader.DeviceX) / FHeader.MillimetresX
                                                           : 96.0 / 25.4;
}

qreal TEmfEnumerator::DevicePixelsPerMmY() const
{
    return FHeader.DeviceY > 0 && FHeader.MillimetresY > 0 ? qreal(FHeader.DeviceY) / FHeader.MillimetresY
                                                           : 96.0 / 25.4;
}

const TEmfObject* TEmfEnumerator::Object(std::uint32_t handle) const
{
    if (handle >= FHandles.size() || FHandles[handle].ObjectKind == TEmfObject::None)
        return nullptr;
    return &FHandles[handle];
}

std::uint32_t TEmfEnumerator::MinimumSize(std::uint32_t type)
{
    switch (type) {
    case EMR_HEADER: return kEmfHeaderMinSize;
    case EMR_SAVEDC: case EMR_REALIZEPALETTE: case EMR_BEGINPATH: case EMR_ENDPATH: case EMR_CLOSEFIGURE:
    case EMR_FILLPATH: case EMR_STROKEANDFILLPATH: case EMR_STROKEPATH: case EMR_FLATTENPATH:
    case EMR_WIDENPATH: case EMR_ABORTPATH: case EMR_SETMETARGN:
        return 8;
    case EMR_SETMAPPERFLAGS: case EMR_SETMAPMODE: case EMR_SETBKMODE: case EMR_SETPOLYFILLMODE: case EMR_SETROP2:
    case EMR_SETSTRETCHBLTMODE: case EMR_SETTEXTALIGN: case EMR_SETTEXTCOLOR: case EMR_SETBKCOLOR:
    case EMR_RESTOREDC: case EMR_SELECTOBJECT: case EMR_DELETEOBJECT: case EMR_SELECTPALETTE:
    case EMR_SETARCDIRECTION: case EMR_SETMITERLIMIT: case EMR_SELECTCLIPPATH: case EMR_SETICMMODE:
    case EMR_SETLAYOUT:
        return 12;
    case EMR_SETWINDOWEXTEX: case EMR_SETWINDOWORGEX: case EMR_SETVIEWPORTEXTEX: case EMR_SETVIEWPORTORGEX:
    case EMR_SETBRUSHORGEX: case EMR_MOVETOEX: case EMR_LINETO: case EMR_OFFSETCLIPRGN: case EMR_EXTSELECTCLIPRGN:
        return 16;
    case EMR_EOF: case EMR_SETPIXELV: return 20;
    case EMR_CREATEBRUSHINDIRECT: case EMR_SCALEVIEWPORTEXTEX: case EMR_SCALEWINDOWEXTEX: case EMR_ELLIPSE:
    case EMR_RECTANGLE: case EMR_INTERSECTCLIPRECT: case EMR_EXCLUDECLIPRECT:
        return 24;
    case EMR_CREATEPEN: case EMR_ANGLEARC: case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16: case EMR_POLYLINETO16: case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE:
    case EMR_POLYBEZIERTO: case EMR_POLYLINETO: case EMR_PAINTRGN: case EMR_INVERTRGN:
        return 28;
    case EMR_SETWORLDTRANSFORM: case EMR_ROUNDRECT: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16:
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON: case EMR_CREATEMONOBRUSH: case EMR_CREATEDIBPATTERNBRUSHPT:
    case EMR_FILLRGN:
        return 32;
    case EMR_MODIFYWORLDTRANSFORM: return 36;
    case EMR_ARC: case EMR_CHORD: case EMR_PIE: case EMR_ARCTO: return 40;
    case EMR_EXTCREATEPEN: return 52;
    case EMR_SMALLTEXTOUT: return 36;
    case EMR_EXTTEXTOUTA: case EMR_EXTTEXTOUTW: return 76;
    case EMR_SETDIBITSTODEVICE: return 76;
    case EMR_STRETCHDIBITS: return 80;
    case EMR_BITBLT: return 100;
    case EMR_STRETCHBLT: case EMR_ALPHABLEND: case EMR_TRANSPARENTBLT: return 108;
    case EMR_EXTCREATEFONTINDIRECTW: return 12 + TLogFont::kSize;
    default: return 8;
    }
}

int TEmfEnumerator::RestoreTarget(int depth, int arg)
{
    // Negative: relative to the current depth; positive: the absolute
    // number of the saved state (the first save is 1).
    const int target = arg < 0 ? depth + arg : arg - 1;
    if (arg == 0 || target < 0 || target >= depth)
        return -1;
    return target;
}

bool TEmfEnumerator::Next()
{
    if (FDone || FNext + 8 > FHeader.Bytes) {
        FDone = true;
        return false;
    }
    FRecord.Offset = FNext;
    FRecord.Type = FBytes.u32le(FNext);
    FRecord.Size = FBytes.u32le(FNext + 4);
    if (FRecord.Size < 8 || FRecord.Size > FHeader.Bytes - FNext) {
        FDone = true; // cannot happen after validation; never read past it
        return false;
    }
    FRecord.Bytes = FBytes.Sub(FNext, FRecord.Size);
    FNext += FRecord.Size;
    FValid = FRecord.Size >= MinimumSize(FRecord.Type);
    FPositionBefore = FState.CurrentPosition;
    FSelectedKind = TEmfObject::None;
    if (FValid)
        Apply();
    if (FRecord.Type == EMR_EOF)
        FDone = true;
    return true;
}

void TEmfEnumerator::CreateObject(std::uint32_t handle, TEmfObject object)
{
    // Index 0 is the metafile itself; huge indexes are refused rather than
    // growing the table.
    if (handle == 0 || handle >= kMaxHandles) {
        FValid = false;
        return;
    }
    if (handle >= FHandles.size())
        FHandles.resize(handle + 1);
    FHandles[handle] = std::move(object);
}

void TEmfEnumerator::Select(std::uint32_t handle)
{
    if (handle & kStockObject) {
        const std::uint32_t index = handle & ~kStockObject;
        if (index <= NULL_BRUSH) {
            FState.Brush = StockBrush(index);
            FSelectedKind = TEmfObject::Brush;
        } else if (index <= NULL_PEN) {
            FState.Pen = StockPen(index);
            FSelectedKind = TEmfObject::Pen;
        } else if (index >= 10 && index <= 17 && index != 15) {
            FState.Font = StockFont();
            FSelectedKind = TEmfObject::Font;
        } else if (index == 18) { // DC_BRUSH: white until set otherwise
            FState.Brush = StockBrush(WHITE_BRUSH);
            FSelectedKind = TEmfObject::Brush;
        } else if (index == 19) { // DC_PEN
            FState.Pen = StockPen(BLACK_PEN);
            FSelectedKind = TEmfObject::Pen;
        }
        return;
    }
    const TEmfObject* object = Object(handle);
    if (!object) {
        FValid = false;
        return;
    }
    FSelectedKind = object->ObjectKind;
    switch (object->ObjectKind) {
    case TEmfObject::Pen: FState.Pen = object->PenValue; break;
    case TEmfObject::Brush: FState.Brush = object->BrushValue; break;
    case TEmfObject::Font: FState.Font = object->FontValue; break;
    default: break;
    }
}

void TEmfEnumerator::Apply()
{
    const ByteView& r = FRecord.Bytes;
    switch (FRecord.Type) {
    case EMR_SETBKMODE: FState.BkMode = int(r.u32le(8)); break;
    case EMR_SETBKCOLOR: FState.BkColor = r.u32le(8) & 0xFFFFFF; break;
    case EMR_SETTEXTCOLOR: FState.TextColor = r.u32le(8) & 0xFFFFFF; break;
    case EMR_SETTEXTALIGN: FState.TextAlign = r.u32le(8); break;
    case EMR_SETROP2: FState.Rop2 = int(r.u32le(8)); break;
    case EMR_SETPOLYFILLMODE: FState.PolyFillMode = int(r.u32le(8)); break;
    case EMR_SETSTRETCHBLTMODE: FState.StretchMode = int(r.u32le(8)); break;
    case EMR_SETMITERLIMIT: FState.MiterLimit = r.u32le(8); break;
    case EMR_SETMAPMODE: {
        const int mode = int(r.u32le(8));
        if (mode >= 1 && mode <= 8)
            FState.MapMode = mode;
        break;
    }
    case EMR_SETWINDOWEXTEX:
        if (r.i32le(8) != 0 && r.i32le(12) != 0)
            FState.WindowExt = QSizeF(r.i32le(8), r.i32le(12));
        break;
    case EMR_SETWINDOWORGEX: FState.WindowOrg = QPointF(r.i32le(8), r.i32le(12)); break;
    case EMR_SETVIEWPORTEXTEX:
        if (r.i32le(8) != 0 && r.i32le(12) != 0)
            FState.ViewportExt = QSizeF(r.i32le(8), r.i32le(12));
        break;
    case EMR_SETVIEWPORTORGEX: FState.ViewportOrg = QPointF(r.i32le(8), r.i32le(12)); break;
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
        const qint64 xNum = r.i32le(8), xDen = r.i32le(12), yNum = r.i32le(16), yDen = r.i32le(20);
        if (xDen == 0 || yDen == 0 || xNum == 0 || yNum == 0)
            break;
        QSizeF& ext = FRecord.Type == EMR_SCALEVIEWPORTEXTEX ? FState.ViewportExt : FState.WindowExt;
        ext = QSizeF(ext.width() * xNum / xDen, ext.height() * yNum / yDen);
        break;
    }
    case EMR_SETWORLDTRANSFORM:
        FState.World = QTransform(r.f32le(8), r.f32le(12), r.f32le(16), r.f32le(20), r.f32le(24), r.f32le(28));
        break;
    case EMR_MODIFYWORLDTRANSFORM: {
        const QTransform t(r.f32le(8), r.f32le(12), r.f32le(16), r.f32le(20), r.f32le(24), r.f32le(28));
        switch (r.u32le(32)) {
        case 1: FState.World = QTransform(); break; // MWT_IDENTITY
        case 2: FState.World = t * FState.World; break; // MWT_LEFTMULTIPLY
        case 3: FState.World = FState.World * t; break; // MWT_RIGHTMULTIPLY
        case 4: FState.World = t; break; // MWT_SET
        default: FValid = false; break;
        }
        break;
    }
    case EMR_MOVETOEX: FState.CurrentPosition = {r.i32le(8), r.i32le(12)}; break;
    case EMR_LINETO: FState.CurrentPosition = {r.i32le(8), r.i32le(12)}; break;
    case EMR_ARCTO: {
        // The current position moves to the arc's end on the ellipse, not
        // to the end radial's point.
        const QPointF end = EmfArcPoint(
            QRectF(QPointF(r.i32le(8), r.i32le(12)), QPointF(r.i32le(16), r.i32le(20))), QPointF(r.i32le(32), r.i32le(36)));
        FState.CurrentPosition = {int(std::lround(end.x())), int(std::lround(end.y()))};
        break;
    }
    case EMR_ANGLEARC: {
        const double radius = r.u32le(16), angle = double(r.f32le(20)) + double(r.f32le(24));
        if (std::isfinite(angle) && radius <= 1e7) {
            const double a = qDegreesToRadians(std::fmod(angle, 360.0));
            FState.CurrentPosition = {int(std::lround(r.i32le(8) + radius * std::cos(a))),
                int(std::lround(r.i32le(12) - radius * std::sin(a)))};
        }
        break;
    }
    case EMR_POLYLINETO16:
    case EMR_POLYBEZIERTO16: {
        const std::uint32_t n = r.u32le(24);
        if (n > 0 && r.Fits(28, std::uint64_t(n) * 4))
            FState.CurrentPosition = {r.i16le(28 + 4 * (n - 1)), r.i16le(30 + 4 * (n - 1))};
        break;
    }
    case EMR_POLYLINETO:
    case EMR_POLYBEZIERTO: {
        const std::uint32_t n = r.u32le(24);
        if (n > 0 && r.Fits(28, std::uint64_t(n) * 8))
            FState.CurrentPosition = {r.i32le(28 + 8 * (n - 1)), r.i32le(32 + 8 * (n - 1))};
        break;
    }
    case EMR_SAVEDC:
        if (FSaved.size() < kMaxSaveDepth)
            FSaved.push_back(FState);
        else
            FValid = false;
        break;
    case EMR_RESTOREDC: {
        const int target = RestoreTarget(int(FSaved.size()), r.i32le(8));
        if (target < 0) {
            FValid = false;
            break;
        }
        FState = FSaved[std::size_t(target)];
        FSaved.resize(std::size_t(target));
        break;
    }
    case EMR_CREATEPEN: {
        TEmfObject o;
        o.ObjectKind = TEmfObject::Pen;
        o.PenValue.Style = int(r.u32le(12));
        o.PenValue.Width = r.i32le(16);
        o.PenValue.Color = r.u32le(24) & 0xFFFFFF;
        CreateObject(r.u32le(8), o);
        break;
    }
    case EMR_EXTCREATEPEN: {
        TEmfObject o;
        o.ObjectKind = TEmfObject::Pen;
        const std::uint32_t style = r.u32le(28);
        o.PenValue.Style = int(style);
        // A cosmetic extended pen is one pixel whatever width it states.
        o.PenValue.Width = (style & PS_GEOMETRIC) ? int(r.u32le(32)) : 0;
        o.PenValue.Color = r.u32le(40) & 0xFFFFFF;
        if (r.u32le(36) == BS_NULL)
            o.PenValue.Style = PS_NULL;
        CreateObject(r.u32le(8), o);
        break;
    }
    case EMR_CREATEBRUSHINDIRECT: {
        TEmfObject o;
        o.ObjectKind = TEmfObject::Brush;
        o.BrushValue.Style = int(r.u32le(12));
        o.BrushValue.Color = r.u32le(16) & 0xFFFFFF;
        o.BrushValue.Hatch = int(r.u32le(20));
        if (o.BrushValue.Style != BS_SOLID && o.BrushValue.Style != BS_NULL && o.BrushValue.Style != BS_HATCHED)
            o.BrushValue.Style = BS_SOLID;
        CreateObject(r.u32le(8), o);
        break;
    }
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT: {
        TEmfObject o;
        o.ObjectKind = TEmfObject::Brush;
        o.BrushValue.Style = BS_DIBPATTERN;
        const std::uint32_t offBmi = r.u32le(16), cbBmi = r.u32le(20), offBits = r.u32le(24), cbBits = r.u32le(28);
        if (r.Fits(offBmi, cbBmi) && r.Fits(offBits, cbBits))
            o.BrushValue.Pattern = DibToImage(r.Sub(offBmi, cbBmi), r.Sub(offBits, cbBits));
        if (o.BrushValue.Pattern.isNull())
            o.BrushValue.Style = BS_SOLID, o.BrushValue.Color = 0x808080;
        CreateObject(r.u32le(8), o);
        break;
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
        TEmfObject o;
        o.ObjectKind = TEmfObject::Font;
        o.FontValue = TLogFont::Read(r, 12);
        CreateObject(r.u32le(8), o);
        break;
    }
    case EMR_CREATEPALETTE: {
        TEmfObject o;
        o.ObjectKind = TEmfObject::Palette;
        CreateObject(r.u32le(8), o);
        break;
    }
    case EMR_CREATECOLORSPACE: {
        TEmfObject o;
        o.ObjectKind = TEmfObject::Other;
        if (r.Size() >= 12)
            CreateObject(r.u32le(8), o);
        break;
    }
    case EMR_SELECTOBJECT: Select(r.u32le(8)); break;
    case EMR_DELETEOBJECT: {
        const std::uint32_t handle = r.u32le(8);
        if (handle > 0 && handle < FHandles.size())
            FHandles[handle] = TEmfObject();
        break;
    }
    default: break;
    }
}

// --- DIBs --------------------------------------------------------------------------

std::optional<QRect> DibSourceRect(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height)
{
    constexpr std::int64_t kFar = std::int64_t(1) << 29; // beyond limits::kDibPixels in any direction
    const std::int64_t right = left + width - 1, bottom = top + height - 1;
    for (const std::int64_t edge : {left, top, right, bottom})
        if (edge < -kFar || edge > kFar)
            return std::nullopt;
    return QRect(int(left), int(top), int(width), int(height));
}

QImage DibToImage(ByteView info, ByteView bits)
{
    const std::uint32_t headerSize = info.u32le(0);
    std::int64_t width, height;
    int bitCount;
    std::uint32_t compression = 0, colorsUsed = 0;
    std::size_t paletteOffset;
    int paletteEntrySize = 4;
    if (headerSize == 12 && info.Fits(0, 12)) { // BITMAPCOREHEADER
        width = info.u16le(4);
        height = info.i16le(6);
        bitCount = info.u16le(10);
        paletteOffset = 12;
        paletteEntrySize = 3;
    } else if (headerSize >= 40 && info.Fits(0, headerSize)) {
        width = info.i32le(4);
        height = info.i32le(8);
        bitCount = info.u16le(14);
        compression = info.u32le(16);
        colorsUsed = info.u32le(32);
        paletteOffset = headerSize;
    } else {
        return {};
    }
    const bool topDown = height < 0;
    height = std::abs(height);
    if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > kMaxDibPixels)
        return {};

    if (compression == 4 || compression == 5) { // BI_JPEG, BI_PNG
        QImage img;
        img.loadFromData(bits.Data(), int(std::min<std::size_t>(bits.Size(), 0x7FFFFFFF)));
        return img.isNull() ? QImage() : img.convertToFormat(QImage::Format_RGB32);
    }
    if (compression != 0 && compression != 3) // RLE and others: not drawn
        return {};

    QList<QRgb> palette;
    if (bitCount <= 8) {
        const std::uint32_t entries = colorsUsed && colorsUsed <= (1u << bitCount) ? colorsUsed : (1u << bitCount);
        if (!info.Fits(paletteOffset, std::uint64_t(entries) * paletteEntrySize))
            return {};
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::size_t o = paletteOffset + std::size_t(i) * paletteEntrySize;
            palette.append(qRgb(info.u8(o + 2), info.u8(o + 1), info.u8(o)));
        }
    }
    std::uint32_t rMask = 0x00FF0000, gMask = 0x0000FF00, bMask = 0x000000FF;
    if (bitCount == 16)
        rMask = 0x7C00, gMask = 0x03E0, bMask = 0x001F;
    if (compression == 3) { // BI_BITFIELDS: masks after a 40-byte header
        const std::size_t o = headerSize == 40 ? 40 : 40;
        if (!info.Fits(o, 12))
            return {};
        rMask = info.u32le(o), gMask = info.u32le(o + 4), bMask = info.u32le(o + 8);
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return {};
    const std::uint64_t stride = ((std::uint64_t(width) * bitCount + 31) / 32) * 4;
    if (!bits.Fits(0, stride * std::uint64_t(height)))
        return {};

    auto channel = [](std::uint32_t v, std::uint32_t mask) -> int {
        if (mask == 0)
            return 0;
        int shift = 0;
        while (!((mask >> shift) & 1))
            ++shift;
        const std::uint32_t max = mask >> shift;
        return int(((v & mask) >> shift) * 255 / max);
    };

    QImage img(int(width), int(height), QImage::Format_RGB32);
    for (std::int64_t y = 0; y < height; ++y) {
        const std::size_t row = std::size_t((topDown ? y : height - 1 - y) * std::int64_t(stride));
        QRgb* out = reinterpret_cast<QRgb*>(img.scanLine(int(y)));
        const std::uint8_t* in = bits.Data() + row;
        for (std::int64_t x = 0; x < width; ++x) {
            QRgb c = 0;
            switch (bitCount) {
            case 1: {
                const int idx = (in[x >> 3] >> (7 - (x & 7))) & 1;
                c = idx < palette.size() ? palette[idx] : 0;
                break;
            }
            case 4: {
                const int idx = (in[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
                c = idx < palette.size() ? palette[idx] : 0;
                break;
            }
            case 8: c = in[x] < palette.size() ? palette[in[x]] : 0; break;
            case 16: {
                const std::uint32_t v = std::uint32_t(in[2 * x] | (in[2 * x + 1] << 8));
                c = qRgb(channel(v, rMask), channel(v, gMask), channel(v, bMask));
                break;
            }
            case 24: c = qRgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]); break;
            case 32: {
                const std::uint32_t v = std::uint32_t(in[4 * x]) | (std::uint32_t(in[4 * x + 1]) << 8)
                    | (std::uint32_t(in[4 * x + 2]) << 16) | (std::uint32_t(in[4 * x + 3]) << 24);
                c = qRgb(channel(v, rMask), channel(v, gMask), channel(v, bMask));
                break;
            }
            }
            out[x] = c | 0xFF000000u;
        }
    }
    return img;
}

} // namespace vorel
