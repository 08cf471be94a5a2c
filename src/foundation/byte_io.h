#pragma once
// Typed little-endian byte helpers for the binary formats of the foundation
// layer (component streams, resource headers). Writers append to a
// QByteArray; the reader is a cursor that never touches a byte outside its
// data: callers ask Has(n) before reading n bytes, and a read past the end
// returns 0 instead of reading out of bounds.
//
// The helpers live in their own namespace so that a second copy elsewhere
// (graphics/ has one for EMF) cannot clash with them in one program.

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
