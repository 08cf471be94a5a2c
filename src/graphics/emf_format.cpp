#include "graphics/emf_format.h"

#include "graphics/picture.h"

#include <cstring>
#include <QTransform>

namespace vorel {

namespace {

int Pad4(int n) { return (n + 3) & ~3; }

} // namespace

// --- TLogFont ----------------------------------------------------------------------

TLogFont TLogFont::FromFont(const TFont& font)
{
    TLogFont lf;
    lf.Height = font.Height();
    lf.Escapement = font.Orientation();
    lf.Orientation = font.Orientation();
    lf.Weight = font.Style().testFlag(fsBold) ? 700 : 400;
    lf.Italic = font.Style().testFlag(fsItalic) ? 1 : 0;
    lf.Underline = font.Style().testFlag(fsUnderline) ? 1 : 0;
    lf.StrikeOut = font.Style().testFlag(fsStrikeOut) ? 1 : 0;
    lf.CharSet = font.Charset();
    // The low four bits of the pitch-and-family byte: 1 fixed, 2 variable.
    lf.PitchAndFamily = font.Pitch() == fpFixed ? 1 : font.Pitch() == fpVariable ? 2 : 0;
    lf.FaceName = font.Name().left(31);
    return lf;
}

TLogFont TLogFont::Read(ByteView b, std::size_t o)
{
    TLogFont lf;
    lf.Height = b.i32le(o);
    lf.Width = b.i32le(o + 4);
    lf.Escapement = b.i32le(o + 8);
    lf.Orientation = b.i32le(o + 12);
    lf.Weight = b.i32le(o + 16);
    lf.Italic = b.u8(o + 20);
    lf.Underline = b.u8(o + 21);
    lf.StrikeOut = b.u8(o + 22);
    lf.CharSet = b.u8(o + 23);
    lf.OutPrecision = b.u8(o + 24);
    lf.ClipPrecision = b.u8(o + 25);
    lf.Quality = b.u8(o + 26);
    lf.PitchAndFamily = b.u8(o + 27);
    QString name;
    for (int i = 0; i < 32; ++i) {
        const char16_t c = b.u16le(o + 28 + 2 * i);
        if (c == 0)
            break;
        name.append(QChar(c));
    }
    lf.FaceName = name;
    return lf;
}

void TLogFont::Write(LeWriter& w) const
{
    w.i32(Height);
    w.i32(Width);
    w.i32(Escapement);
    w.i32(Orientation);
    w.i32(Weight);
    w.u8(Italic);
    w.u8(Underline);
    w.u8(StrikeOut);
    w.u8(CharSet);
    w.u8(OutPrecision);
    w.u8(ClipPrecision);
    w.u8(Quality);
    w.u8(PitchAndFamily);
    const QString name = FaceName.left(31);
    for (int i = 0; i < 32; ++i)
        w.u16(i < name.size() ? name[i].unicode() : 0);
}

void TEmfBounds::Unite(const TEmfBounds& b)
{
    if (b.IsEmpty())
        return;
    if (IsEmpty()) {
        *this = b;
        return;
    }
    Left = std::min(Left, b.Left);
    Top = std::min(Top, b.Top);
    Right = std::max(Right, b.Right);
    Bottom = std::max(Bottom, b.Bottom);
}

// --- TEmfWriter ----------------------------------------------------------------------

TEmfWriter::TEmfWriter() { FBody.reserve(16 * 1024); }

LeWriter TEmfWriter::Begin(std::uint32_t type, int size)
{
    const qsizetype start = FBody.size();
    FBody.resize(start + size);
    LeWriter w(FBody.data() + start);
    w.u32(type);
    w.u32(std::uint32_t(size));
    ++FRecords;
    return w;
}

void TEmfWriter::Bounds(LeWriter& w, const TEmfBounds& b)
{
    w.i32(b.Left);
    w.i32(b.Top);
    w.i32(b.Right);
    w.i32(b.Bottom);
}

void TEmfWriter::Simple(std::uint32_t type, std::uint32_t value)
{
    auto w = Begin(type, 12);
    w.u32(value);
}

void TEmfWriter::GdiComment(QByteArrayView data)
{
    const int padded = int((data.size() + 3) & ~qsizetype(3));
    auto w = Begin(EMR_GDICOMMENT, 12 + padded);
    w.u32(std::uint32_t(data.size()));
    if (!data.isEmpty())
        std::memcpy(FBody.data() + FBody.size() - padded, data.data(), size_t(data.size()));
    std::memset(FBody.data() + FBody.size() - padded + data.size(), 0, size_t(padded - data.size()));
}

void TEmfWriter::SaveDC() { Begin(EMR_SAVEDC, 8); }

void TEmfWriter::RestoreDC(int relative)
{
    auto w = Begin(EMR_RESTOREDC, 12);
    w.i32(relative);
}

void TEmfWriter::MoveToEx(int x, int y)
{
    auto w = Begin(EMR_MOVETOEX, 16);
    w.i32(x);
    w.i32(y);
}

void TEmfWriter::LineTo(int x, int y, const TEmfBounds&)
{
    // EMR_LINETO carries no bounds; the header's bounds take them.
    auto w = Begin(EMR_LINETO, 16);
    w.i32(x);
    w.i32(y);
}

void TEmfWriter::Polyline16(const QList<TPoint>& points, const TEmfBounds& bounds)
{
    const int n = int(points.size());
    auto w = Begin(EMR_POLYLINE16, 28 + 4 * n);
    Bounds(w, bounds);
    w.u32(std::uint32_t(n));
    for (const TPoint& p : points) {
        w.i16(std::int16_t(std::clamp(p.X, -32768, 32767)));
        w.i16(std::int16_t(std::clamp(p.Y, -32768, 32767)));
    }
}

void TEmfWriter::Rectangle(const TRect& box, const TEmfBounds&)
{
    auto w = Begin(EMR_RECTANGLE, 24);
    w.i32(box.Left);
    w.i32(box.Top);
    w.i32(box.Right);
    w.i32(box.Bottom);
}

void TEmfWriter::Ellipse(const TRect& box, const TEmfBounds&)
{
    auto w = Begin(EMR_ELLIPSE, 24);
    w.i32(box.Left);
    w.i32(box.Top);
    w.i32(box.Right);
    w.i32(box.Bottom);
}

void TEmfWriter::RoundRect(const TRect& box, int cornerWidth, int cornerHeight, const TEmfBounds&)
{
    auto w = Begin(EMR_ROUNDRECT, 32);
    w.i32(box.Left);
    w.i32(box.Top);
    w.i32(box.Right);
    w.i32(box.Bottom);
    w.i32(cornerWidth);
    w.i32(cornerHeight);
}

void TEmfWriter::CreatePen(std::uint32_t handle, int style, int width, std::uint32_t colorRef)
{
    auto w = Begin(EMR_CREATEPEN, 28);
    w.u32(handle);
    w.u32(std::uint32_t(style));
    w.i32(width); // the x of the width point; y is unused
    w.i32(0);
    w.u32(colorRef);
}

void TEmfWriter::CreateBrushIndirect(std::uint32_t handle, int style, std::uint32_t colorRef, int hatch)
{
    auto w = Begin(EMR_CREATEBRUSHINDIRECT, 24);
    w.u32(handle);
    w.u32(std::uint32_t(style));
    w.u32(colorRef);
    w.u32(std::uint32_t(hatch));
}

void TEmfWriter::ExtCreateFontIndirectW(std::uint32_t handle, const TLogFont& font)
{
    // The logical font alone (92 bytes): readers treat a record this short
    // as a plain LOGFONTW.
    auto w = Begin(EMR_EXTCREATEFONTINDIRECTW, 12 + TLogFont::kSize);
    w.u32(handle);
    font.Write(w);
}

void TEmfWriter::ExtTextOutW(const TEmfBounds& bounds, int x, int y, unsigned options, const TRect& rect,
    QStringView text, const int* dx)
{
    const int n = int(text.size());
    const int stringBytes = Pad4(2 * n);
    const int offString = 76;
    const int offDx = offString + stringBytes;
    auto w = Begin(EMR_EXTTEXTOUTW, offDx + 4 * n);
    Bounds(w, bounds);
    w.u32(1); // GM_COMPATIBLE
    // Scale from page units to 0.01 mm at 96 dpi (2540 / 96).
    w.f32(26.458334f);
    w.f32(26.458334f);
    w.i32(x);
    w.i32(y);
    w.u32(std::uint32_t(n));
    w.u32(std::uint32_t(offString));
    w.u32(options);
    w.i32(rect.Left);
    w.i32(rect.Top);
    w.i32(rect.Right);
    w.i32(rect.Bottom);
    w.u32(std::uint32_t(offDx));
    for (int i = 0; i < n; ++i)
        w.u16(text[i].unicode());
    w.zeros(stringBytes - 2 * n);
    for (int i = 0; i < n; ++i)
        w.i32(dx[i]);
}

void TEmfWriter::StretchDIBits(const TEmfBounds& bounds, const TRect& dest, const QImage& image, const TRect& source)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const int width = rgb.width();
    const int h = rgb.height();
    const int stride = (width * 3 + 3) & ~3;
    const int bitsSize = stride * h;
    const int offBmi = 80;
    const int offBits = offBmi + 40;
    auto w = Begin(EMR_STRETCHDIBITS, offBits + bitsSize);
    Bounds(w, bounds);
    w.i32(dest.Left);
    w.i32(dest.Top);
    w.i32(source.Left);
    // The source rectangle's y counts from the bottom row of a bottom-up DIB.
    w.i32(h - source.Bottom);
    w.i32(source.Width());
    w.i32(source.Height());
    w.u32(offBmi);
    w.u32(40);
    w.u32(offBits);
    w.u32(std::uint32_t(bitsSize));
    w.u32(0); // DIB_RGB_COLORS
    w.u32(0x00CC0020); // SRCCOPY
    w.i32(dest.Width());
    w.i32(dest.Height());
    // BITMAPINFOHEADER
    w.u32(40);
    w.i32(width);
    w.i32(h); // positive: bottom-up rows
    w.u16(1);
    w.u16(24);
    w.u32(0); // BI_RGB
    w.u32(std::uint32_t(bitsSize));
    w.i32(3780); // 96 dpi in pixels per metre
    w.i32(3780);
    w.u32(0);
    w.u32(0);
    char* bits = w.Position();
    for (int y = 0; y < h; ++y) {
        const uchar* src = rgb.constScanLine(h - 1 - y);
        char* row = bits + y * stride;
        for (int x = 0; x < width; ++x) {
            row[3 * x] = char(src[3 * x + 2]); // blue, green, red
            row[3 * x + 1] = char(src[3 * x + 1]);
            row[3 * x + 2] = char(src[3 * x]);
        }
        std::memset(row + 3 * width, 0, std::size_t(stride - 3 * width));
    }
}

void TEmfWriter::IntersectClipRect(const TRect& r)
{
    auto w = Begin(EMR_INTERSECTCLIPRECT, 24);
    w.i32(r.Left);
    w.i32(r.Top);
    w.i32(r.Right);
    w.i32(r.Bottom);
}

void TEmfWriter::ResetClip()
{
    auto w = Begin(EMR_EXTSELECTCLIPRGN, 16);
    w.u32(0); // no region data
    w.u32(5); // RGN_COPY
}

void TEmfWriter::ModifyWorldTransform(const QTransform& t, int mode)
{
    auto w = Begin(EMR_MODIFYWORLDTRANSFORM, 36);
    w.f32(float(t.m11()));
    w.f32(float(t.m12()));
    w.f32(float(t.m21()));
    w.f32(float(t.m22()));
    w.f32(float(t.dx()));
    w.f32(float(t.dy()));
    w.u32(std::uint32_t(mode));
}

void TEmfWriter::Raw(ByteView record)
{
    FBody.append(reinterpret_cast<const char*>(record.Data()), qsizetype(record.Size()));
    ++FRecords;
}

QByteArray TEmfWriter::Finish(const TEmfBounds& bounds, const TRect& frame, int handleCount, const QString& creator,
    const QString& description)
{
    // EMR_EOF: no palette entries; nSizeLast repeats the record size so that
    // a reader can walk backwards.
    LeWriter w = Begin(EMR_EOF, 20);
    w.u32(0);
    w.u32(16);
    w.u32(20);

    // The description: creator, NUL, description, NUL, NUL.
    QString text = creator;
    text.append(QChar(0));
    text.append(description);
    text.append(QChar(0));
    text.append(QChar(0));
    const int descBytes = Pad4(2 * int(text.size()));
    const int headerSize = kEmfHeaderSize + descBytes;

    QByteArray out;
    out.reserve(headerSize + FBody.size());
    writeU32le(out, EMR_HEADER);
    writeU32le(out, std::uint32_t(headerSize));
    const TEmfBounds b = bounds.IsEmpty() ? TEmfBounds::Of(0, 0, -1, -1) : bounds;
    writeI32le(out, b.Left);
    writeI32le(out, b.Top);
    writeI32le(out, b.Right);
    writeI32le(out, b.Bottom);
    writeI32le(out, frame.Left);
    writeI32le(out, frame.Top);
    writeI32le(out, frame.Right);
    writeI32le(out, frame.Bottom);
    writeU32le(out, kEmfSignature);
    writeU32le(out, kEmfVersion);
    writeU32le(out, std::uint32_t(headerSize + FBody.size()));
    writeU32le(out, std::uint32_t(FRecords + 1)); // with the header
    writeU16le(out, std::uint16_t(std::clamp(handleCount, 1, 0xFFFF)));
    writeU16le(out, 0);
    writeU32le(out, std::uint32_t(text.size()));
    writeU32le(out, std::uint32_t(kEmfHeaderSize));
    writeU32le(out, 0); // no palette
    writeI32le(out, kRefDevicePixelsX);
    writeI32le(out, kRefDevicePixelsY);
    writeI32le(out, kRefDeviceMillimetresX);
    writeI32le(out, kRefDeviceMillimetresY);
    writeU32le(out, 0); // no pixel format
    writeU32le(out, 0);
    writeU32le(out, 0); // not OpenGL
    writeI32le(out, kRefDeviceMillimetresX * 1000);
    writeI32le(out, kRefDeviceMillimetresY * 1000);
    for (QChar c : text)
        writeU16le(out, c.unicode());
    writeZeros(out, descBytes - 2 * int(text.size()));
    out.append(FBody);
    return out;
}

// --- validation ------------------------------------------------------------------

TEmfHeader ValidateEmf(ByteView b, const QString& source)
{
    if (b.Size() < std::size_t(kEmfHeaderMinSize))
        RaiseInvalidImage(source, QStringLiteral("shorter than a metafile header"), qint64(b.Size()));
    if (b.u32le(0) != EMR_HEADER)
        RaiseInvalidImage(source, QStringLiteral("not a metafile header record"), 0);
    if (b.u32le(40) != kEmfSignature)
        RaiseInvalidImage(source, QStringLiteral("no enhanced metafile signature"), 40);
    TEmfHeader h;
    h.HeaderSize = b.u32le(4);
    h.Bytes = b.u32le(48);
    if (h.HeaderSize < std::uint32_t(kEmfHeaderMinSize) || h.HeaderSize % 4 != 0 || h.HeaderSize > h.Bytes)
        RaiseInvalidImage(source, QStringLiteral("header size %1 is impossible").arg(h.HeaderSize), 4);
    if (h.Bytes > b.Size())
        RaiseInvalidImage(source,
            QStringLiteral("metafile states %1 bytes but only %2 are present").arg(h.Bytes).arg(b.Size()), 48);
    h.Bounds = {b.i32le(8), b.i32le(12), b.i32le(16), b.i32le(20)};
    h.Frame = {b.i32le(24), b.i32le(28), b.i32le(32), b.i32le(36)};
    h.Records = b.u32le(52);
    h.Handles = b.u16le(56);
    h.DeviceX = b.i32le(72);
    h.DeviceY = b.i32le(76);
    h.MillimetresX = b.i32le(80);
    h.MillimetresY = b.i32le(84);
    const std::uint32_t nDesc = b.u32le(60);
    const std::uint32_t offDesc = b.u32le(64);
    if (nDesc > 0 && offDesc >= std::uint32_t(kEmfHeaderMinSize) && b.Fits(offDesc, std::uint64_t(nDesc) * 2)
        && std::uint64_t(offDesc) + std::uint64_t(nDesc) * 2 <= h.HeaderSize) {
        for (std::uint32_t i = 0; i < nDesc; ++i)
            h.Description.append(QChar(char16_t(b.u16le(offDesc + 2 * i))));
        while (h.Description.endsWith(QChar(0)))
            h.Description.chop(1);
    }

    // The record chain: every record inside the stated size.
    std::uint64_t offset = h.HeaderSize;
    while (offset < h.Bytes) {
        if (h.Bytes - offset < 8)
            RaiseInvalidImage(source, QStringLiteral("truncated record"), qint64(offset));
        const std::uint32_t type = b.u32le(offset);
        const std::uint32_t size = b.u32le(offset + 4);
        if (size < 8 || size % 4 != 0)
            RaiseInvalidImage(source, QStringLiteral("record of type %1 has size %2").arg(type).arg(size),
                qint64(offset));
        if (size > h.Bytes - offset)
            RaiseInvalidImage(source,
                QStringLiteral("record of type %1 (%2 bytes) runs past the end").arg(type).arg(size), qint64(offset));
        if (type == EMR_HEADER)
            RaiseInvalidImage(source, QStringLiteral("second header record"), qint64(offset));
        offset += size;
        if (type == EMR_EOF)
            break;
    }
    return h;
}

} // namespace vorel
