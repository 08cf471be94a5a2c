#include "export/pdf_font_subset.h"

#include "foundation/values/byte_io.h"
#include "graphics/sfnt.h"

#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <vector>

namespace vorel {

namespace {

// The post table cut to its version 3 header (no glyph names); empty when
// the face has none.
QByteArray NamelessPost(QByteArray post)
{
    if (post.size() < 32)
        return {};
    post.truncate(32);
    patchU32be(post, 0, 0x00030000);
    return post;
}

// Big-endian 16-bit overwrite; the TrueType counterpart of patchU32be.
void PatchU16be(QByteArray& out, qsizetype offset, std::uint16_t v)
{
    out[offset] = char(v >> 8);
    out[offset + 1] = char(v & 0xFF);
}


// Composite glyph flags.
constexpr std::uint16_t kArgsAreWords = 0x0001;
constexpr std::uint16_t kHaveScale = 0x0008;
constexpr std::uint16_t kMoreComponents = 0x0020;
constexpr std::uint16_t kHaveXYScale = 0x0040;
constexpr std::uint16_t kHaveTwoByTwo = 0x0080;

// Calls visit(offset of the component's glyph index) for each component of
// a composite glyph; false when the glyph's data ends inside a component.
template <typename Visit>
bool ForEachComponent(ByteView glyph, Visit visit)
{
    std::size_t pos = 10; // after numberOfContours and the bounding box
    for (;;) {
        if (!glyph.Fits(pos, 4))
            return false;
        const std::uint16_t flags = glyph.u16be(pos);
        visit(pos + 2);
        pos += 4 + ((flags & kArgsAreWords) ? 4 : 2);
        if (flags & kHaveScale)
            pos += 2;
        else if (flags & kHaveXYScale)
            pos += 4;
        else if (flags & kHaveTwoByTwo)
            pos += 8;
        if (!(flags & kMoreComponents))
            return glyph.Fits(0, pos);
    }
}

// A format 4 cmap subtable: one segment per run of characters whose glyph
// numbers rise with them, then the closing 0xFFFF segment.
QByteArray Format4(const std::vector<std::pair<char16_t, std::uint16_t>>& map)
{
    struct Segment {
        std::uint16_t Start, End;
        std::int16_t Delta;
    };
    std::vector<Segment> segments;
    for (const auto& [c, g] : map) {
        if (c == 0xFFFF)
            continue;
        const auto delta = std::int16_t(std::uint16_t(g - c));
        if (!segments.empty() && segments.back().End + 1 == c && segments.back().Delta == delta)
            segments.back().End = c;
        else
            segments.push_back({c, c, delta});
    }
    segments.push_back({0xFFFF, 0xFFFF, 1});
    const auto count = std::uint16_t(segments.size());
    std::uint16_t searchRange = 2, entrySelector = 0;
    while (searchRange * 2 <= count * 2) {
        searchRange = std::uint16_t(searchRange * 2);
        ++entrySelector;
    }
    QByteArray out;
    writeU16be(out, 4); // format
    writeU16be(out, std::uint16_t(16 + 8 * count)); // length in bytes
    writeU16be(out, 0); // language
    writeU16be(out, std::uint16_t(count * 2));
    writeU16be(out, searchRange);
    writeU16be(out, entrySelector);
    writeU16be(out, std::uint16_t(count * 2 - searchRange));
    for (const Segment& s : segments)
        writeU16be(out, s.End);
    writeU16be(out, 0); // reservedPad
    for (const Segment& s : segments)
        writeU16be(out, s.Start);
    for (const Segment& s : segments)
        writeU16be(out, std::uint16_t(s.Delta));
    for (std::size_t i = 0; i < segments.size(); ++i)
        writeU16be(out, 0); // idRangeOffset: the delta alone maps
    return out;
}

// A Windows Unicode cmap of the characters, each with its glyph's new
// number (newGlyph returns -1 for glyphs not kept).
template <typename NewGlyph>
QByteArray UnicodeCmap(const QList<TPdfGlyphChar>& chars, NewGlyph newGlyph)
{
    std::vector<std::pair<char16_t, std::uint16_t>> map;
    for (const TPdfGlyphChar& c : chars) {
        const int g = c.Glyph != 0 ? newGlyph(c.Glyph) : -1;
        if (g >= 0 && c.Char != 0)
            map.emplace_back(c.Char, std::uint16_t(g));
    }
    std::sort(map.begin(), map.end());
    map.erase(std::unique(map.begin(), map.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
        map.end());
    QByteArray cmap;
    writeU16be(cmap, 0); // version
    writeU16be(cmap, 1); // one subtable
    writeU16be(cmap, 3); // Windows
    writeU16be(cmap, 1); // Unicode BMP
    writeU32be(cmap, 12);
    cmap.append(Format4(map));
    return cmap;
}


} // namespace

QByteArray SubsetTrueTypeTables(const std::function<QByteArray(const char* tag)>& table,
    const QList<TPdfGlyphChar>& chars)
{
    QByteArray head = table("head");
    QByteArray hhea = table("hhea");
    QByteArray maxp = table("maxp");
    const QByteArray loca = table("loca");
    const QByteArray glyf = table("glyf");
    const QByteArray hmtx = table("hmtx");
    if (head.size() < 54 || hhea.size() < 36 || maxp.size() < 6 || loca.isEmpty() || glyf.isEmpty())
        return {};
    const ByteView headView(head);
    const ByteView locaView(loca);
    const ByteView hmtxView(hmtx);
    const bool longLoca = headView.i16be(50) != 0;
    const int numGlyphs = ByteView(maxp).u16be(4);
    const int metrics = ByteView(hhea).u16be(34); // numberOfHMetrics
    if (numGlyphs == 0 || metrics == 0 || metrics > numGlyphs)
        return {};
    if (!hmtxView.Fits(0, std::uint64_t(metrics) * 4 + std::uint64_t(numGlyphs - metrics) * 2))
        return {};
    if (!locaView.Fits(0, std::uint64_t(numGlyphs + 1) * (longLoca ? 4 : 2)))
        return {};
    std::vector<std::uint32_t> offsets(std::size_t(numGlyphs) + 1);
    for (int i = 0; i <= numGlyphs; ++i) {
        offsets[std::size_t(i)] = longLoca ? locaView.u32be(std::size_t(i) * 4) : locaView.u16be(std::size_t(i) * 2) * 2u;
        if (offsets[std::size_t(i)] > std::uint32_t(glyf.size()) || (i > 0 && offsets[std::size_t(i)] < offsets[std::size_t(i) - 1]))
            return {};
    }
    const ByteView glyfView(glyf);
    auto glyphData = [&](std::uint32_t g) {
        return glyfView.Sub(offsets[g], offsets[g + 1] - offsets[g]);
    };

    // The glyphs to keep, in their new order: .notdef, the characters'
    // glyphs, then the components composite glyphs are built from.
    std::vector<int> newIndex(std::size_t(numGlyphs), -1);
    std::vector<std::uint32_t> order;
    auto keep = [&](std::uint32_t g) {
        if (g < std::uint32_t(numGlyphs) && newIndex[g] < 0) {
            newIndex[g] = int(order.size());
            order.push_back(g);
        }
    };
    keep(0);
    for (const TPdfGlyphChar& c : chars)
        keep(c.Glyph);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const ByteView g = glyphData(order[i]);
        if (g.Size() >= 10 && g.i16be(0) < 0) {
            if (!ForEachComponent(g, [&](std::size_t at) { keep(g.u16be(at)); }))
                return {};
        }
    }

    QByteArray newGlyf;
    QByteArray newLoca;
    QByteArray newHmtx;
    for (const std::uint32_t g : order) {
        writeU32be(newLoca, std::uint32_t(newGlyf.size()));
        const ByteView data = glyphData(g);
        const qsizetype start = newGlyf.size();
        newGlyf.append(reinterpret_cast<const char*>(data.Data()), qsizetype(data.Size()));
        if (data.Size() >= 10 && data.i16be(0) < 0) {
            ForEachComponent(data, [&](std::size_t at) {
                PatchU16be(newGlyf, start + qsizetype(at), std::uint16_t(newIndex[data.u16be(at)]));
            });
        }
        newGlyf.append((4 - newGlyf.size() % 4) % 4, '\0');
        const std::size_t m = std::min<std::size_t>(g, std::size_t(metrics) - 1);
        writeU16be(newHmtx, hmtxView.u16be(m * 4));
        const std::int16_t lsb = g < std::uint32_t(metrics)
            ? hmtxView.i16be(std::size_t(g) * 4 + 2)
            : hmtxView.i16be(std::size_t(metrics) * 4 + (g - std::size_t(metrics)) * 2);
        writeU16be(newHmtx, std::uint16_t(lsb));
    }
    writeU32be(newLoca, std::uint32_t(newGlyf.size()));

    PatchU16be(head, 50, 1); // long loca offsets
    PatchU16be(maxp, 4, std::uint16_t(order.size()));
    PatchU16be(hhea, 34, std::uint16_t(order.size()));

    const QByteArray cmap = UnicodeCmap(chars, [&](std::uint32_t g) {
        return g < std::uint32_t(numGlyphs) ? newIndex[g] : -1;
    });

    const QByteArray post = NamelessPost(table("post"));

    std::map<std::uint32_t, QByteArray> tables;
    tables[SfntTag("head")] = head;
    tables[SfntTag("hhea")] = hhea;
    tables[SfntTag("maxp")] = maxp;
    tables[SfntTag("loca")] = newLoca;
    tables[SfntTag("glyf")] = newGlyf;
    tables[SfntTag("hmtx")] = newHmtx;
    tables[SfntTag("cmap")] = cmap;
    if (!post.isEmpty())
        tables[SfntTag("post")] = post;
    for (const char* tag : {"OS/2", "cvt ", "fpgm", "prep", "name"}) {
        QByteArray data = table(tag);
        if (!data.isEmpty())
            tables[SfntTag(tag)] = data;
    }

    return AssembleSfnt(std::move(tables));
}

QByteArray SubsetTrueTypeFont(const QRawFont& face, const QList<TPdfGlyphChar>& chars)
{
    if (!face.isValid())
        return {};
    return SubsetTrueTypeTables([&face](const char* tag) { return face.fontTable(tag); }, chars);
}

namespace {

// One contour point of a TrueType outline, in font units (y up).
struct TOutlinePoint {
    int X = 0;
    int Y = 0;
    bool OnCurve = true;
};

// A cubic Bézier as quadratic pieces: each piece's control point is where
// the cubic's two tangents would meet on average; a piece is split until it
// lies within a font unit of the cubic.
void CubicToQuadratics(QPointF p0, QPointF p1, QPointF p2, QPointF p3, int depth,
    const std::function<void(QPointF control, QPointF end)>& output)
{
    const QPointF bend = p3 - 3 * p2 + 3 * p1 - p0;
    const double error = std::hypot(bend.x(), bend.y()) * std::sqrt(3.0) / 36;
    if (error <= 1 || depth >= 6) {
        output((3 * (p1 + p2) - p0 - p3) / 4, p3);
        return;
    }
    const QPointF a = (p0 + p1) / 2, b = (p1 + p2) / 2, c = (p2 + p3) / 2;
    const QPointF ab = (a + b) / 2, bc = (b + c) / 2, mid = (ab + bc) / 2;
    CubicToQuadratics(p0, a, ab, mid, depth + 1, output);
    CubicToQuadratics(mid, bc, c, p3, depth + 1, output);
}

// The contours of a glyph path (pixels at an em of unitsPerEm, y down).
std::vector<std::vector<TOutlinePoint>> Contours(const QPainterPath& path)
{
    std::vector<std::vector<TOutlinePoint>> contours;
    auto point = [](QPointF p, bool on) { return TOutlinePoint{int(std::lround(p.x())), int(std::lround(-p.y())), on}; };
    QPointF last;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.type == QPainterPath::MoveToElement) {
            contours.emplace_back();
            contours.back().push_back(point(e, true));
            last = e;
        } else if (e.type == QPainterPath::LineToElement) {
            if (contours.empty())
                contours.emplace_back();
            contours.back().push_back(point(e, true));
            last = e;
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < path.elementCount()) {
            if (contours.empty())
                contours.emplace_back();
            const QPointF c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            CubicToQuadratics(last, e, c2, end, 0, [&](QPointF control, QPointF to) {
                contours.back().push_back(point(control, false));
                contours.back().push_back(point(to, true));
            });
            last = end;
            i += 2;
        }
    }
    for (auto& contour : contours) {
        // A closed figure repeats its first point at its end.
        if (contour.size() > 1 && contour.back().OnCurve && contour.back().X == contour.front().X
            && contour.back().Y == contour.front().Y)
            contour.pop_back();
    }
    std::erase_if(contours, [](const auto& contour) { return contour.size() < 2; });
    return contours;
}

} // namespace

QByteArray TrueTypeFromOutlines(const QRawFont& face, const QList<TPdfGlyphChar>& chars)
{
    if (!face.isValid())
        return {};
    QRawFont font = face;
    const int unitsPerEm = std::max(16, int(std::lround(face.unitsPerEm())));
    font.setPixelSize(unitsPerEm);
    QByteArray head = face.fontTable("head");
    QByteArray hhea = face.fontTable("hhea");
    if (head.size() < 54 || hhea.size() < 36)
        return {};

    std::vector<std::uint32_t> order{0};
    for (const TPdfGlyphChar& c : chars)
        order.push_back(c.Glyph);
    if (order.size() > 0xFFFF)
        return {};

    QByteArray glyf, loca, hmtx;
    int xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    bool anyBox = false;
    std::size_t maxPoints = 0, maxContours = 0;
    int advanceMax = 0;
    for (const std::uint32_t g : order) {
        writeU32be(loca, std::uint32_t(glyf.size()));
        const quint32 glyph = g;
        QPointF advance;
        font.advancesForGlyphIndexes(&glyph, &advance, 1, QRawFont::UseDesignMetrics);
        const int width = std::max(0, int(std::lround(advance.x())));
        advanceMax = std::max(advanceMax, width);
        const auto contours = Contours(font.pathForGlyph(glyph));
        int left = 0;
        if (!contours.empty()) {
            int x0 = contours[0][0].X, y0 = contours[0][0].Y, x1 = x0, y1 = y0;
            std::size_t points = 0;
            for (const auto& contour : contours)
                for (const TOutlinePoint& p : contour) {
                    x0 = std::min(x0, p.X), x1 = std::max(x1, p.X), y0 = std::min(y0, p.Y), y1 = std::max(y1, p.Y);
                    ++points;
                }
            maxPoints = std::max(maxPoints, points);
            maxContours = std::max(maxContours, contours.size());
            if (points > 0xFFFF)
                return {};
            left = x0;
            writeU16be(glyf, std::uint16_t(contours.size()));
            for (const int v : {x0, y0, x1, y1})
                writeU16be(glyf, std::uint16_t(std::int16_t(v)));
            std::size_t end = 0;
            for (const auto& contour : contours) {
                end += contour.size();
                writeU16be(glyf, std::uint16_t(end - 1));
            }
            writeU16be(glyf, 0); // no instructions
            for (const auto& contour : contours)
                for (const TOutlinePoint& p : contour)
                    glyf.append(char(p.OnCurve ? 1 : 0));
            // Coordinates as 16-bit steps from the point before.
            int x = 0;
            for (const auto& contour : contours)
                for (const TOutlinePoint& p : contour) {
                    writeU16be(glyf, std::uint16_t(std::int16_t(p.X - x)));
                    x = p.X;
                }
            int y = 0;
            for (const auto& contour : contours)
                for (const TOutlinePoint& p : contour) {
                    writeU16be(glyf, std::uint16_t(std::int16_t(p.Y - y)));
                    y = p.Y;
                }
            glyf.append((4 - glyf.size() % 4) % 4, '\0');
            if (!anyBox)
                xMin = x0, yMin = y0, xMax = x1, yMax = y1;
            xMin = std::min(xMin, x0), yMin = std::min(yMin, y0), xMax = std::max(xMax, x1), yMax = std::max(yMax, y1);
            anyBox = true;
        }
        writeU16be(hmtx, std::uint16_t(width));
        writeU16be(hmtx, std::uint16_t(std::int16_t(left)));
    }
    writeU32be(loca, std::uint32_t(glyf.size()));

    PatchU16be(head, 18, std::uint16_t(unitsPerEm));
    PatchU16be(head, 36, std::uint16_t(std::int16_t(xMin)));
    PatchU16be(head, 38, std::uint16_t(std::int16_t(yMin)));
    PatchU16be(head, 40, std::uint16_t(std::int16_t(xMax)));
    PatchU16be(head, 42, std::uint16_t(std::int16_t(yMax)));
    PatchU16be(head, 50, 1); // long loca offsets
    PatchU16be(head, 52, 0); // glyph data format
    PatchU16be(hhea, 10, std::uint16_t(advanceMax));
    PatchU16be(hhea, 34, std::uint16_t(order.size()));

    QByteArray maxp;
    writeU32be(maxp, 0x00010000); // version 1.0: TrueType outlines
    writeU16be(maxp, std::uint16_t(order.size()));
    writeU16be(maxp, std::uint16_t(maxPoints));
    writeU16be(maxp, std::uint16_t(maxContours));
    writeU16be(maxp, 0); // maxCompositePoints
    writeU16be(maxp, 0); // maxCompositeContours
    writeU16be(maxp, 2); // maxZones
    for (int i = 0; i < 6; ++i) // twilight points, storage, function and instruction defs, stack, instructions
        writeU16be(maxp, 0);
    writeU16be(maxp, 0); // maxComponentElements
    writeU16be(maxp, 0); // maxComponentDepth

    QByteArray post = NamelessPost(face.fontTable("post"));
    if (post.isEmpty())
        post = NamelessPost(QByteArray(32, '\0'));

    std::map<std::uint32_t, QByteArray> tables;
    tables[SfntTag("head")] = head;
    tables[SfntTag("hhea")] = hhea;
    tables[SfntTag("maxp")] = maxp;
    tables[SfntTag("loca")] = loca;
    tables[SfntTag("glyf")] = glyf;
    tables[SfntTag("hmtx")] = hmtx;
    tables[SfntTag("post")] = post;
    std::unordered_map<std::uint32_t, int> newIndex;
    for (std::size_t i = order.size(); i-- > 1;)
        newIndex[order[i]] = int(i);
    tables[SfntTag("cmap")] = UnicodeCmap(chars, [&](std::uint32_t g) {
        const auto at = newIndex.find(g);
        return at == newIndex.end() ? -1 : at->second;
    });
    for (const char* tag : {"OS/2", "name"}) {
        QByteArray data = face.fontTable(tag);
        if (!data.isEmpty())
            tables[SfntTag(tag)] = data;
    }
    return AssembleSfnt(std::move(tables));
}

} // namespace vorel
