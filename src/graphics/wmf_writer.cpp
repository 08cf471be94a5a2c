#include "graphics/wmf_writer.h"

#include "graphics/canvas.h"
#include "graphics/emf_enumerator.h"
#include "graphics/emf_player.h"
#include "graphics/metafile.h"

#include <unordered_map>

namespace vorel {

namespace {

// WMF record functions.
enum : std::uint16_t {
    META_EOF = 0x0000,
    META_SAVEDC = 0x001E,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETROP2 = 0x0104,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETSTRETCHBLTMODE = 0x0107,
    META_RESTOREDC = 0x0127,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_DELETEOBJECT = 0x01F0,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_RECTANGLE = 0x041B,
    META_ROUNDRECT = 0x061C,
    META_EXTTEXTOUT = 0x0A32,
    META_STRETCHDIB = 0x0F43,
};

// Unicode of the Windows-1252 codes 0x80..0x9F (0: unused code).
constexpr char16_t kCp1252High[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
    0x0160, 0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122,
    0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

char ToCp1252(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return char(u);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == u && u != 0)
            return char(0x80 + i);
    return '?';
}

std::int16_t Clamp16(qreal v) { return std::int16_t(std::clamp<qreal>(std::round(v), -32768, 32767)); }

class WmfBuilder {
public:
    explicit WmfBuilder(const TMetafile& mf) : E(mf)
    {
        FWidth = std::max(1, mf.Width());
        FHeight = std::max(1, mf.Height());
        // Whole-factor reduction so that every coordinate fits 16 bits; the
        // factor divides 96 so that units per inch stay whole.
        static constexpr int kFactors[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 96};
        for (int f : kFactors) {
            FScale = f;
            if (std::max(FWidth, FHeight) / f <= 32000)
                break;
        }
        const QRectF frame = FrameInDevicePixels(mf.Header());
        FDeviceToPage = QTransform::fromTranslate(-frame.x(), -frame.y())
            * QTransform::fromScale(qreal(FWidth) / frame.width() / FScale, qreal(FHeight) / frame.height() / FScale);
    }

    QByteArray Build()
    {
        Record(META_SETMAPMODE, {8}); // MM_ANISOTROPIC
        Record(META_SETWINDOWORG, {0, 0});
        Record(META_SETWINDOWEXT, {Clamp16(FHeight / FScale), Clamp16(FWidth / FScale)});
        while (E.Next())
            if (E.RecordValid())
                Convert();
        Record(META_EOF, {});
        return Finish();
    }

private:
    QTransform Map() const { return E.State().PageTransform(E.DevicePixelsPerMmX(), E.DevicePixelsPerMmY()) * FDeviceToPage; }
    qreal ScaleX() const { const QTransform t = Map(); return std::hypot(t.m11(), t.m12()); }
    qreal ScaleY() const { const QTransform t = Map(); return std::hypot(t.m21(), t.m22()); }
    QPointF Pt(std::size_t o) const { return Map().map(QPointF(R().i32le(o), R().i32le(o + 4))); }
    QRectF Box(std::size_t o) const
    {
        return Map().mapRect(QRectF(QPointF(R().i32le(o), R().i32le(o + 4)), QPointF(R().i32le(o + 8), R().i32le(o + 12))));
    }
    const ByteView& R() const { return E.Record().Bytes; }

    void Record(std::uint16_t function, std::initializer_list<std::int16_t> params)
    {
        const std::uint32_t words = 3 + std::uint32_t(params.size());
        writeU32le(FBody, words);
        writeU16le(FBody, function);
        for (std::int16_t p : params)
            writeI16le(FBody, p);
        Count(words);
    }
    void Count(std::uint32_t words)
    {
        FMaxRecord = std::max(FMaxRecord, words);
    }
    void Begin(std::uint16_t function, std::uint32_t words)
    {
        writeU32le(FBody, words);
        writeU16le(FBody, function);
        Count(words);
    }

    int AllocSlot()
    {
        for (std::size_t i = 0; i < FSlots.size(); ++i)
            if (!FSlots[i]) {
                FSlots[i] = true;
                return int(i);
            }
        FSlots.push_back(true);
        return int(FSlots.size() - 1);
    }

    void CreatePen(int style, int width, std::uint32_t color)
    {
        Begin(META_CREATEPENINDIRECT, 8);
        writeU16le(FBody, std::uint16_t(style & 0xFF));
        writeI16le(FBody, Clamp16(width));
        writeI16le(FBody, 0);
        writeU32le(FBody, color);
    }
    void CreateBrush(int style, std::uint32_t color, int hatch)
    {
        Begin(META_CREATEBRUSHINDIRECT, 7);
        writeU16le(FBody, std::uint16_t(style));
        writeU32le(FBody, color);
        writeU16le(FBody, std::uint16_t(hatch));
    }

    // Stock objects have no WMF form: an equivalent object is created once.
    void SelectStock(std::uint32_t index)
    {
        auto it = FStock.find(index);
        if (it == FStock.end()) {
            if (index == NULL_PEN)
                CreatePen(5, 0, 0);
            else if (index == WHITE_PEN || index == BLACK_PEN)
                CreatePen(0, 0, index == WHITE_PEN ? 0xFFFFFF : 0);
            else if (index <= NULL_BRUSH) {
                static constexpr std::uint32_t kGreys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
                CreateBrush(index == NULL_BRUSH ? 1 : 0, index < NULL_BRUSH ? kGreys[index] : 0, 0);
            } else {
                return; // stock fonts and palettes: the reader's default stays
            }
            it = FStock.emplace(index, AllocSlot()).first;
        }
        Record(META_SELECTOBJECT, {std::int16_t(it->second)});
    }

    void Convert()
    {
        const ByteView& r = R();
        switch (E.Record().Type) {
        case EMR_SETBKMODE: Record(META_SETBKMODE, {std::int16_t(r.u32le(8))}); break;
        case EMR_SETROP2: Record(META_SETROP2, {std::int16_t(r.u32le(8))}); break;
        case EMR_SETPOLYFILLMODE: Record(META_SETPOLYFILLMODE, {std::int16_t(r.u32le(8))}); break;
        case EMR_SETSTRETCHBLTMODE: Record(META_SETSTRETCHBLTMODE, {std::int16_t(r.u32le(8))}); break;
        case EMR_SETTEXTALIGN: Record(META_SETTEXTALIGN, {std::int16_t(r.u32le(8))}); break;
        case EMR_SETBKCOLOR:
        case EMR_SETTEXTCOLOR: {
            const std::uint32_t c = r.u32le(8);
            Record(E.Record().Type == EMR_SETBKCOLOR ? META_SETBKCOLOR : META_SETTEXTCOLOR,
                {std::int16_t(c & 0xFFFF), std::int16_t(c >> 16)});
            break;
        }
        case EMR_CREATEPEN:
        case EMR_EXTCREATEPEN: {
            const TEmfObject* o = E.Object(r.u32le(8));
            if (!o)
                break;
            const int width = o->PenValue.Width <= 1 ? o->PenValue.Width : int(std::lround(o->PenValue.Width * ScaleX()));
            CreatePen(o->PenValue.Style, width, o->PenValue.Color);
            FHandles[r.u32le(8)] = AllocSlot();
            break;
        }
        case EMR_CREATEBRUSHINDIRECT:
        case EMR_CREATEMONOBRUSH:
        case EMR_CREATEDIBPATTERNBRUSHPT: {
            const TEmfObject* o = E.Object(r.u32le(8));
            if (!o)
                break;
            const int style = o->BrushValue.Style == BS_NULL || o->BrushValue.Style == BS_HATCHED ? o->BrushValue.Style : 0;
            CreateBrush(style, o->BrushValue.Color, o->BrushValue.Hatch);
            FHandles[r.u32le(8)] = AllocSlot();
            break;
        }
        case EMR_EXTCREATEFONTINDIRECTW: {
            const TEmfObject* o = E.Object(r.u32le(8));
            if (!o)
                break;
            const TLogFont& lf = o->FontValue;
            Begin(META_CREATEFONTINDIRECT, 3 + 9 + 16);
            writeI16le(FBody, Clamp16(lf.Height * ScaleY()));
            writeI16le(FBody, Clamp16(lf.Width * ScaleX()));
            writeI16le(FBody, Clamp16(lf.Escapement));
            writeI16le(FBody, Clamp16(lf.Orientation));
            writeI16le(FBody, Clamp16(lf.Weight));
            for (std::uint8_t b : {lf.Italic, lf.Underline, lf.StrikeOut, lf.CharSet, lf.OutPrecision,
                     lf.ClipPrecision, lf.Quality, lf.PitchAndFamily})
                writeU8(FBody, b);
            QByteArray name(32, '\0');
            for (int i = 0; i < std::min<qsizetype>(31, lf.FaceName.size()); ++i)
                name[i] = ToCp1252(lf.FaceName[i]);
            FBody.append(name);
            FHandles[r.u32le(8)] = AllocSlot();
            break;
        }
        case EMR_SELECTOBJECT: {
            const std::uint32_t h = r.u32le(8);
            if (h & kStockObject) {
                SelectStock(h & ~kStockObject);
                break;
            }
            auto it = FHandles.find(h);
            if (it != FHandles.end())
                Record(META_SELECTOBJECT, {std::int16_t(it->second)});
            break;
        }
        case EMR_DELETEOBJECT: {
            auto it = FHandles.find(r.u32le(8));
            if (it == FHandles.end())
                break;
            Record(META_DELETEOBJECT, {std::int16_t(it->second)});
            FSlots[std::size_t(it->second)] = false;
            FHandles.erase(it);
            break;
        }
        case EMR_SAVEDC: Record(META_SAVEDC, {}); break;
        case EMR_RESTOREDC: Record(META_RESTOREDC, {std::int16_t(std::clamp(r.i32le(8), -32768, 32767))}); break;
        case EMR_MOVETOEX:
        case EMR_LINETO: {
            const QPointF p = Pt(8);
            Record(E.Record().Type == EMR_MOVETOEX ? META_MOVETO : META_LINETO, {Clamp16(p.y()), Clamp16(p.x())});
            break;
        }
        case EMR_RECTANGLE:
        case EMR_ELLIPSE:
        case EMR_INTERSECTCLIPRECT: {
            const QRectF b = Box(8);
            const std::uint16_t f = E.Record().Type == EMR_RECTANGLE ? META_RECTANGLE
                : E.Record().Type == EMR_ELLIPSE                     ? META_ELLIPSE
                                                                     : META_INTERSECTCLIPRECT;
            Record(f, {Clamp16(b.bottom()), Clamp16(b.right()), Clamp16(b.top()), Clamp16(b.left())});
            break;
        }
        case EMR_ROUNDRECT: {
            const QRectF b = Box(8);
            Record(META_ROUNDRECT, {Clamp16(r.i32le(28) * ScaleY()), Clamp16(r.i32le(24) * ScaleX()),
                                       Clamp16(b.bottom()), Clamp16(b.right()), Clamp16(b.top()), Clamp16(b.left())});
            break;
        }
        case EMR_POLYLINE16: case EMR_POLYGON16: case EMR_POLYLINE: case EMR_POLYGON: {
            const bool small = E.Record().Type == EMR_POLYLINE16 || E.Record().Type == EMR_POLYGON16;
            const std::uint32_t n = r.u32le(24);
            if (n > 16000 || !r.Fits(28, std::uint64_t(n) * (small ? 4 : 8)))
                break;
            const bool closed = E.Record().Type == EMR_POLYGON16 || E.Record().Type == EMR_POLYGON;
            Begin(closed ? META_POLYGON : META_POLYLINE, 4 + 2 * n);
            writeI16le(FBody, std::int16_t(n));
            const QTransform t = Map();
            for (std::uint32_t i = 0; i < n; ++i) {
                const QPointF p = small ? t.map(QPointF(r.i16le(28 + 4 * i), r.i16le(30 + 4 * i)))
                                        : t.map(QPointF(r.i32le(28 + 8 * i), r.i32le(32 + 8 * i)));
                writeI16le(FBody, Clamp16(p.x()));
                writeI16le(FBody, Clamp16(p.y()));
            }
            break;
        }
        case EMR_EXTTEXTOUTW: TextOut(); break;
        case EMR_STRETCHDIBITS: StretchDib(); break;
        default: break;
        }
    }

    void TextOut()
    {
        const ByteView& r = R();
        const std::uint32_t n = r.u32le(44), offString = r.u32le(48), options = r.u32le(52), offDx = r.u32le(72);
        if (n > 8000 || !r.Fits(offString, std::uint64_t(n) * 2))
            return;
        const bool hasDx = offDx != 0 && r.Fits(offDx, std::uint64_t(n) * 4);
        const bool hasRect = options & (ETO_OPAQUE | ETO_CLIPPED);
        const QPointF p = Pt(36);
        const std::uint32_t words = 3 + 4 + (hasRect ? 4 : 0) + (n + 1) / 2 + (hasDx ? n : 0);
        Begin(META_EXTTEXTOUT, words);
        writeI16le(FBody, Clamp16(p.y()));
        writeI16le(FBody, Clamp16(p.x()));
        writeI16le(FBody, std::int16_t(n));
        writeU16le(FBody, std::uint16_t(options & 0xFFFF));
        if (hasRect) {
            const QRectF b = Box(56);
            writeI16le(FBody, Clamp16(b.left()));
            writeI16le(FBody, Clamp16(b.top()));
            writeI16le(FBody, Clamp16(b.right()));
            writeI16le(FBody, Clamp16(b.bottom()));
        }
        for (std::uint32_t i = 0; i < n; ++i)
            FBody.append(ToCp1252(QChar(char16_t(r.u16le(offString + 2 * i)))));
        if (n % 2)
            FBody.append('\0');
        if (hasDx) {
            // Advances accumulate so that rounding does not drift the text.
            const qreal sx = ScaleX();
            qreal exact = 0;
            int written = 0;
            for (std::uint32_t i = 0; i < n; ++i) {
                exact += r.i32le(offDx + 4 * i) * sx;
                const int next = int(std::lround(exact));
                writeI16le(FBody, Clamp16(next - written));
                written = next;
            }
        }
    }

    void StretchDib()
    {
        const ByteView& r = R();
        const std::uint32_t offBmi = r.u32le(48), cbBmi = r.u32le(52), offBits = r.u32le(56), cbBits = r.u32le(60);
        if (cbBmi == 0 || !r.Fits(offBmi, cbBmi) || !r.Fits(offBits, cbBits))
            return;
        const QRectF dest = Map().mapRect(QRectF(r.i32le(24), r.i32le(28), r.i32le(72), r.i32le(76)));
        const std::uint32_t dibBytes = cbBmi + cbBits;
        Begin(META_STRETCHDIB, 3 + 2 + 1 + 8 + (dibBytes + 1) / 2);
        writeU32le(FBody, r.u32le(68)); // raster operation
        writeU16le(FBody, std::uint16_t(r.u32le(64))); // colour usage
        writeI16le(FBody, Clamp16(r.i32le(44))); // source height, width, y, x
        writeI16le(FBody, Clamp16(r.i32le(40)));
        writeI16le(FBody, Clamp16(r.i32le(36)));
        writeI16le(FBody, Clamp16(r.i32le(32)));
        writeI16le(FBody, Clamp16(dest.height())); // destination height, width, y, x
        writeI16le(FBody, Clamp16(dest.width()));
        writeI16le(FBody, Clamp16(dest.top()));
        writeI16le(FBody, Clamp16(dest.left()));
        FBody.append(reinterpret_cast<const char*>(r.Data() + offBmi), qsizetype(cbBmi));
        FBody.append(reinterpret_cast<const char*>(r.Data() + offBits), qsizetype(cbBits));
        if (dibBytes % 2)
            FBody.append('\0');
    }

    QByteArray Finish()
    {
        QByteArray out;
        // The placeable header: key, handle, bounding box, units per inch,
        // reserved, checksum (XOR of the ten words before it).
        writeU32le(out, 0x9AC6CDD7u);
        writeU16le(out, 0);
        writeI16le(out, 0);
        writeI16le(out, 0);
        writeI16le(out, Clamp16(FWidth / FScale));
        writeI16le(out, Clamp16(FHeight / FScale));
        writeU16le(out, std::uint16_t(kScreenPixelsPerInch / FScale));
        writeU32le(out, 0);
        const ByteView v(out);
        std::uint16_t sum = 0;
        for (int i = 0; i < 10; ++i)
            sum ^= v.u16le(2 * std::size_t(i));
        writeU16le(out, sum);
        // META_HEADER: memory metafile, 9-word header, version 3.
        const std::uint32_t totalWords = 9 + std::uint32_t(FBody.size() / 2);
        writeU16le(out, 1);
        writeU16le(out, 9);
        writeU16le(out, 0x0300);
        writeU32le(out, totalWords);
        writeU16le(out, std::uint16_t(std::max<std::size_t>(1, FSlots.size())));
        writeU32le(out, FMaxRecord);
        writeU16le(out, 0);
        out.append(FBody);
        return out;
    }

    TEmfEnumerator E;
    int FWidth = 1, FHeight = 1, FScale = 1;
    QTransform FDeviceToPage;
    QByteArray FBody;
    std::uint32_t FMaxRecord = 3;
    std::vector<bool> FSlots;
    std::unordered_map<std::uint32_t, int> FHandles; // EMF handle -> WMF slot
    std::unordered_map<std::uint32_t, int> FStock; // stock index -> WMF slot
};

} // namespace

QByteArray MetafileToWmf(const TMetafile& metafile)
{
    if (metafile.Empty())
        return {};
    return WmfBuilder(metafile).Build();
}

} // namespace vorel
