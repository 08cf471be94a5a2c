#pragma once
// The typed byte helpers every binary format goes through: component
// streams and resource headers, EMF records (little-endian), TrueType tables
// (big-endian). Writers append to a QByteArray or patch it; the readers never
// touch a byte outside their data: ByteReader is a cursor that returns 0
// past the end (callers ask Has(n) first), ByteView checks every read
// against its length (callers check counts with Fits() before looping).
//
// They live in vorel::bytes; the graphics and export code, which uses them
// on every line, takes them into namespace vorel (see the end).

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <cstring>

namespace vorel::bytes {

// --- writing ---------------------------------------------------------------------

inline void writeU8(QByteArray& out, std::uint8_t v) { out.append(char(v)); }
inline void writeU16le(QByteArray& out, std::uint16_t v)
{
    const char b[2] = {char(v & 0xFF), char(v >> 8)};
    out.append(b, 2);
}
inline void writeU32le(QByteArray& out, std::uint32_t v)
{
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    out.append(b, 4);
}
inline void writeU64le(QByteArray& out, std::uint64_t v)
{
    writeU32le(out, std::uint32_t(v & 0xFFFFFFFFu));
    writeU32le(out, std::uint32_t(v >> 32));
}
inline void writeI8(QByteArray& out, std::int8_t v) { writeU8(out, std::uint8_t(v)); }
inline void writeI16le(QByteArray& out, std::int16_t v) { writeU16le(out, std::uint16_t(v)); }
inline void writeI32le(QByteArray& out, std::int32_t v) { writeU32le(out, std::uint32_t(v)); }
inline void writeI64le(QByteArray& out, std::int64_t v) { writeU64le(out, std::uint64_t(v)); }
inline void writeF32le(QByteArray& out, float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    writeU32le(out, bits);
}
inline void writeF64le(QByteArray& out, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    writeU64le(out, bits);
}

inline void writeZeros(QByteArray& out, int count) { out.append(count, '\0'); }
inline void writeU16be(QByteArray& out, std::uint16_t v)
{
    const char b[2] = {char(v >> 8), char(v & 0xFF)};
    out.append(b, 2);
}
inline void writeU32be(QByteArray& out, std::uint32_t v)
{
    const char b[4] = {char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
    out.append(b, 4);
}
inline void patchU32be(QByteArray& out, int offset, std::uint32_t v)
{
    char* p = out.data() + offset;
    p[0] = char(v >> 24);
    p[1] = char((v >> 16) & 0xFF);
    p[2] = char((v >> 8) & 0xFF);
    p[3] = char(v & 0xFF);
}
// Overwrites 4 bytes at offset (used to patch sizes and counts afterwards).
inline void patchU32le(QByteArray& out, int offset, std::uint32_t v)
{
    char* p = out.data() + offset;
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
    p[2] = char((v >> 16) & 0xFF);
    p[3] = char(v >> 24);
}
inline void patchU16le(QByteArray& out, int offset, std::uint16_t v)
{
    char* p = out.data() + offset;
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

// Writes little-endian values into memory already sized for them (one
// resize per record instead of an append per field).
class LeWriter {
public:
    explicit LeWriter(char* p) : FP(p) {}
    void u8(std::uint8_t v) { *FP++ = char(v); }
    void u16(std::uint16_t v)
    {
        FP[0] = char(v & 0xFF);
        FP[1] = char(v >> 8);
        FP += 2;
    }
    void u32(std::uint32_t v)
    {
        FP[0] = char(v & 0xFF);
        FP[1] = char((v >> 8) & 0xFF);
        FP[2] = char((v >> 16) & 0xFF);
        FP[3] = char(v >> 24);
        FP += 4;
    }
    void i16(std::int16_t v) { u16(std::uint16_t(v)); }
    void i32(std::int32_t v) { u32(std::uint32_t(v)); }
    void f32(float v)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    }
    void zeros(int count)
    {
        std::memset(FP, 0, std::size_t(count));
        FP += count;
    }
    char* Position() const { return FP; }
    void Skip(int count) { FP += count; }

private:
    char* FP;
};

// --- reading ------------------------------------------------------------------

// A read-only window on bytes. Out-of-range reads return 0; use Fits() first
// wherever a wrong value would matter (every record reader does).
class ByteView {
public:
    ByteView() = default;
    ByteView(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
    explicit ByteView(const QByteArray& bytes)
        : FData(reinterpret_cast<const std::uint8_t*>(bytes.constData())), FSize(std::size_t(bytes.size()))
    {
    }

    const std::uint8_t* Data() const { return FData; }
    std::size_t Size() const { return FSize; }
    // True when [offset, offset + length) lies inside the view, computed
    // without overflow for any 64-bit inputs.
    bool Fits(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= FSize && length <= FSize - offset;
    }
    ByteView Sub(std::size_t offset, std::size_t length) const
    {
        return Fits(offset, length) ? ByteView(FData + offset, length) : ByteView();
    }

    std::uint8_t u8(std::size_t off) const { return Fits(off, 1) ? FData[off] : 0; }
    std::uint16_t u16le(std::size_t off) const
    {
        return Fits(off, 2) ? std::uint16_t(FData[off] | (FData[off + 1] << 8)) : 0;
    }
    std::uint32_t u32le(std::size_t off) const
    {
        if (!Fits(off, 4))
            return 0;
        return std::uint32_t(FData[off]) | (std::uint32_t(FData[off + 1]) << 8)
            | (std::uint32_t(FData[off + 2]) << 16) | (std::uint32_t(FData[off + 3]) << 24);
    }
    std::int16_t i16le(std::size_t off) const { return std::int16_t(u16le(off)); }
    std::int32_t i32le(std::size_t off) const { return std::int32_t(u32le(off)); }
    float f32le(std::size_t off) const
    {
        const std::uint32_t bits = u32le(off);
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    std::uint16_t u16be(std::size_t off) const
    {
        return Fits(off, 2) ? std::uint16_t((FData[off] << 8) | FData[off + 1]) : 0;
    }
    std::int16_t i16be(std::size_t off) const { return std::int16_t(u16be(off)); }
    std::uint32_t u32be(std::size_t off) const
    {
        if (!Fits(off, 4))
            return 0;
        return (std::uint32_t(FData[off]) << 24) | (std::uint32_t(FData[off + 1]) << 16)
            | (std::uint32_t(FData[off + 2]) << 8) | std::uint32_t(FData[off + 3]);
    }

private:
    const std::uint8_t* FData = nullptr;
    std::size_t FSize = 0;
};

// --- reading -----------------------------------------------------------------------

class ByteReader {
public:
    explicit ByteReader(QByteArrayView data) : FData(data) {}

    qsizetype Offset() const { return FPos; } // bytes from the start of the data
    qsizetype Size() const { return FData.size(); }
    qsizetype Remaining() const { return FData.size() - FPos; }
    bool AtEnd() const { return FPos >= FData.size(); }
    // True when `count` more bytes can be read; safe for any count, negative included.
    bool Has(std::int64_t count) const { return count >= 0 && count <= std::int64_t(Remaining()); }
    void Seek(qsizetype offset) { FPos = offset < 0 ? 0 : (offset > FData.size() ? FData.size() : offset); }

    std::uint8_t PeekU8() const { return Has(1) ? std::uint8_t(FData[FPos]) : 0; }
    std::uint8_t u8() { return Has(1) ? std::uint8_t(FData[FPos++]) : 0; }
    std::uint16_t u16le()
    {
        if (!Has(2))
            return SkipToEnd(), 0;
        const std::uint16_t v = std::uint16_t(Byte(0) | (Byte(1) << 8));
        FPos += 2;
        return v;
    }
    std::uint32_t u32le()
    {
        if (!Has(4))
            return SkipToEnd(), 0;
        const std::uint32_t v = std::uint32_t(Byte(0)) | (std::uint32_t(Byte(1)) << 8)
            | (std::uint32_t(Byte(2)) << 16) | (std::uint32_t(Byte(3)) << 24);
        FPos += 4;
        return v;
    }
    std::uint64_t u64le()
    {
        if (!Has(8))
            return SkipToEnd(), 0;
        const std::uint64_t lo = u32le();
        const std::uint64_t hi = u32le();
        return lo | (hi << 32);
    }
    std::int8_t i8() { return std::int8_t(u8()); }
    std::int16_t i16le() { return std::int16_t(u16le()); }
    std::int32_t i32le() { return std::int32_t(u32le()); }
    std::int64_t i64le() { return std::int64_t(u64le()); }
    // `count` bytes, or an empty view (and the cursor at the end) when fewer remain.
    QByteArrayView Bytes(std::int64_t count)
    {
        if (!Has(count))
            return SkipToEnd(), QByteArrayView();
        const QByteArrayView v = FData.sliced(FPos, qsizetype(count));
        FPos += qsizetype(count);
        return v;
    }

private:
    std::uint32_t Byte(qsizetype i) const { return std::uint8_t(FData[FPos + i]); }
    void SkipToEnd() { FPos = FData.size(); }

    QByteArrayView FData;
    qsizetype FPos = 0;
};

} // namespace vorel::bytes

namespace vorel {
using namespace bytes;
} // namespace vorel
