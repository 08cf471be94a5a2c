#include "graphics/emf_format.h"

#include "graphics/picture.h"

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

void TLogFont::Write(QByteArray& out) const
{
    writeI32le(out, Height);
    writeI32le(out, Width);
    writeI32le(out, Escapement);
    writeI32le(out, Orientation);
    writeI32le(out, Weight);
    writeU8(out, Italic);
    writeU8(out, Underline);
    writeU8(out, StrikeOut);
    writeU8(out, CharSet);
    writeU8(out, OutPrecision);
    writeU8(out, ClipPrecision);
    writeU8(out, Quality);
    writeU8(out, PitchAndFamily);
    const QString name = FaceName.left(31);
    for (int i = 0; i < 32; ++i)
        writeU16le(out, i < name.size() ? name[i].unicode() : 0);
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

void TEmfWriter::Begin(std::uint32_t type, int size)
{
    writeU32le(FBody, type);
    writeU32le(FBody, std::uint32_t(size));
    ++FRecords;
}

void TEmfWriter::Bounds(QByteArray& out, const TEmfBounds& b)
{
    writeI32le(out, b.Left);
    writeI32le(out, b.Top);
    writeI32le(out, b.Right);
    writeI32le(out, b.Bottom);
}

void TEmfWriter::Simple(std::uint32_t type, std::uint32_t value)
{
    Begin(type, 12);
    writeU32le(FBody, value);
}

void TEmfWriter::SaveDC() { Begin(EMR_SAVEDC, 8); }

void TEmfWriter::RestoreDC(int relative)
{
    Begin(EMR_RESTOREDC, 12);
    writeI32le(FBody, relative);
}

void TEmfWriter::MoveToEx(int x, int y)
{
    Begin(EMR_MOVETOEX, 16);
    writeI32le(FBody, x);
    writeI32le(FBody, y);
}

void TEmfWriter::LineTo(int x, int y, const TEmfBounds&)
{
    // EMR_LINETO carries no bounds; the header's bounds take them.
    Begin(EMR_LINETO, 16);
    writeI32le(FBody, x);
    writeI32le(FBody, y);
}

void TEmfWriter::Polyline16(const QList<TPoint>& points, const TEmfBounds& bounds)
{
    const int n = int(points.size());
    Begin(EMR_POLYLINE16, 28 + 4 * n);
    Bounds(FBody, bounds);
    writeU32le(FBody, std::uint32_t(n));
    for (const TPoint& p : points) {
        writeI16le(FBody, std::int16_t(std::clamp(p.X, -32768, 32767)));
        writeI16le(FBody, std::int16_t(std::clamp(p.Y, -32768, 32767)));
    }
}

void TEmfWriter::Rectangle(const TRect& box, const TEmfBounds&)
{
    Begin(EMR_RECTANGLE, 24);
    writeI32le(FBody, box.Left);
    writeI32le(FBody, box.Top);
    writeI32le(FBody, box.Right);
    writeI32le(FBody, box.Bottom);
}

void TEmfWriter::Ellipse(const TRect& box, const TEmfBounds&)
{
    Begin(EMR_ELLIPSE, 24);
    writeI32le(FBody, box.Left);
    writeI32le(FBody, box.Top);
    writeI32le(FBody, box.Right);
    writeI32le(FBody, box.Bottom);
}

void TEmfWriter::RoundRect(const TRect& box, int cornerWidth, int cornerHeight, const TEmfBounds&)
{
    Begin(EMR_ROUNDRECT, 32);
    writeI32le(FBody, box.Left);
    writeI32le(FBody, box.Top);
    writeI32le(FBody, box.Right);
    writeI32le(FBody, box.Bottom);
    writeI32le(FBody, cornerWidth);
    writeI32le(FBody, cornerHeight);
}

void TEmfWriter::CreatePen(std::uint32_t handle, int style, int width, std::uint32_t colorRef)
{
    Begin(EMR_CREATEPEN, 28);
    writeU32le(FBody, handle);
    writeU32le(FBody, std::uint32_t(style));
    writeI32le(FBody, width); // the x of the width point; y is unused
    writeI32le(FBody, 0);
    writeU32le(FBody, colorRef);
}

void TEmfWriter::CreateBrushIndirect(std::uint32_t handle, int style, std::uint32_t colorRef, int hatch)
{
    Begin(EMR_CREATEBRUSHINDIRECT, 24);
    writeU32le(FBody, handle);
    writeU32le(FBody, std::uint32_t(style));
    writeU32le(FBody, colorRef);
    writeU32le(FBody, std::uint32_t(hatch));
}

void TEmfWriter::ExtCreateFontIndirectW(std::uint32_t handle, const TLogFont& font)
{
    // The logical font alone (92 bytes): readers treat a record this short
    // as a plain LOGFONTW.
    Begin(EMR_EXTCREATEFONTINDIRECTW, 12 + TLogFont::kSize);
    writeU32le(FBody, handle);
    font.Write(FBody);
}

void TEmfWriter::ExtTextOutW(const TEmfBounds& bounds, int x, int y, unsigned options, const TRect& rect,
    QStringView text, const int* dx)
{
    const int n = int(text.size());
    const int stringBytes = Pad4(2 * n);
    const int offString = 76;
    const int offDx = offString + stringBytes;
    Begin(EMR_EXTTEXTOUTW, offDx + 4 * n);
    Bounds(FBody, bounds);
    writeU32le(FBody, 1); // GM_COMPATIBLE
    // Scale from page units to 0.01 mm at 96 dpi (2540 / 96).
    writeF32le(FBody, 26.458334f);
    writeF32le(FBody, 26.458334f);
    writeI32le(FBody, x);
    writeI32le(FBody, y);
    writeU32le(FBody, std::uint32_t(n));
    writeU32le(FBody, std::uint32_t(offString));
    writeU32le(FBody, options);
    writeI32le(FBody, rect.Left);
    writeI32le(FBody, rect.Top);
    writeI32le(FBody, rect.Right);
    writeI32le(FBody, rect.Bottom);
    writeU32le(FBody, std::uint32_t(offDx));
    for (int i = 0; i < n; ++i)
        writeU16le(FBody, text[i].unicode());
    writeZeros(FBody, stringBytes - 2 * n);
    for (int i = 0; i < n; ++i)
        writeI32le(FBody, dx[i]);
}

void TEmfWriter::StretchDIBits(const TEmfBounds& bounds, const TRect& dest, const QImage& image, const TRect& source)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const int w = rgb.width();
    const int h = rgb.height();
    const int stride = (w * 3 + 3) & ~3;
    const int bitsSize = stride * h;
    const int offBmi = 80;
    const int offBits = offBmi + 40;
    Begin(EMR_STRETCHDIBITS, offBits + bitsSize);
    Bounds(FBody, bounds);
    writeI32le(FBody, dest.Left);
    writeI32le(FBody, dest.Top);
    writeI32le(FBody, source.Left);
    // The source rectangle's y counts from the bottom row of a bottom-up DIB.
    writeI32le(FBody, h - source.Bottom);
    writeI32le(FBody, source.Width());
    writeI32le(FBody, source.Height());
    writeU32le(FBody, offBmi);
    writeU32le(FBody, 40);
    writeU32le(FBody, offBits);
    writeU32le(FBody, std::uint32_t(bitsSize));
    writeU32le(FBody, 0); // DIB_RGB_COLORS
    writeU32le(FBody, 0x00CC0020); // SRCCOPY
    writeI32le(FBody, dest.Width());
    writeI32le(FBody, dest.Height());
    // BITMAPINFOHEADER
    writeU32le(FBody, 40);
    writeI32le(FBody, w);
    writeI32le(FBody, h); // positive: bottom-up rows
    writeU16le(FBody, 1);
    writeU16le(FBody, 24);
    writeU32le(FBody, 0); // BI_RGB
    writeU32le(FBody, std::uint32_t(bitsSize));
    writeI32le(FBody, 3780); // 96 dpi in pixels per metre
    writeI32le(FBody, 3780);
    writeU32le(FBody, 0);
    writeU32le(FBody, 0);
    const int start = int(FBody.size());
    FBody.resize(start + bitsSize);
    char* bits = FBody.data() + start;
    for (int y = 0; y < h; ++y) {
        const uchar* src = rgb.constScanLine(h - 1 - y);
        char* row = bits + y * stride;
        for (int x = 0; x < w; ++x) {
            row[3 * x] = char(src[3 * x + 2]); // blue, green, red
            row[3 * x + 1] = char(src[3 * x + 1]);
            row[3 * x + 2] = char(src[3 * x]);
        }
        std::memset(row + 3 * w, 0, std::size_t(stride - 3 * w));
    }
}

void TEmfWriter::IntersectClipRect(const TRect& r)
{
    Begin(EMR_INTERSECTCLIPRECT, 24);
    writeI32le(FBody, r.Left);
    writeI32le(FBody, r.Top);
    writeI32le(FBody, r.Right);
    writeI32le(FBody, r.Bottom);
}

void TEmfWriter::ResetClip()
{
    Begin(EMR_EXTSELECTCLIPRGN, 16);
    writeU32le(FBody, 0); // no region data
    writeU32le(FBody, 5); // RGN_COPY
}

void TEmfWriter::ModifyWorldTransform(const QTransform& t, int mode)
{
    Begin(EMR_MODIFYWORLDTRANSFORM, 36);
    writeF32le(FBody, float(t.m11()));
    writeF32le(FBody, float(t.m12()));
    writeF32le(FBody, float(t.m21()));
    writeF32le(FBody, float(t.m22()));
    writeF32le(FBody, float(t.dx()));
    writeF32le(FBody, float(t.dy()));
    writeU32le(FBody, std::uint32_t(mode));
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
    Begin(EMR_EOF, 20);
    writeU32le(FBody, 0);
    writeU32le(FBody, 16);
    writeU32le(FBody, 20);

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
    Bounds(out, bounds.IsEmpty() ? TEmfBounds::Of(0, 0, -1, -1) : bounds);
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
