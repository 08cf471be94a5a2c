#include "export/pdf_filters.h"

#include "foundation/values/errors.h"

#include <array>
#include <memory>
#include <vector>
#include <zlib.h>

namespace vorel {

QByteArray PdfFilterName(TKVXECompression compression)
{
    switch (compression) {
    case seASCIIHex:
        return QByteArrayLiteral("ASCIIHexDecode");
    case seASCII85:
        return QByteArrayLiteral("ASCII85Decode");
    case seLZW:
        return QByteArrayLiteral("LZWDecode");
    case seDCT:
        return QByteArrayLiteral("DCTDecode");
    case seFlate:
        return QByteArrayLiteral("FlateDecode");
    }
    return QByteArrayLiteral("ASCIIHexDecode");
}

QByteArray EncodeASCIIHex(QByteArrayView data, int lineChars)
{
    static const char kDigits[] = "0123456789ABCDEF";
    const qsizetype digits = data.size() * 2;
    QByteArray out;
    out.reserve(digits + (lineChars > 0 ? digits / lineChars * 2 : 0) + 1);
    int onLine = 0;
    for (const char ch : data) {
        const auto b = std::uint8_t(ch);
        out.append(kDigits[b >> 4]);
        out.append(kDigits[b & 0x0F]);
        onLine += 2;
        if (lineChars > 0 && onLine >= lineChars) {
            out.append("\r\n", 2);
            onLine = 0;
        }
    }
    out.append('>');
    return out;
}

QByteArray EncodeASCII85(QByteArrayView data)
{
    constexpr int kLineChars = 75;
    QByteArray out;
    out.reserve(data.size() / 4 * 5 + data.size() / 60 * 2 + 8);
    int onLine = 0;
    auto put = [&](char c) {
        out.append(c);
        if (++onLine >= kLineChars) {
            out.append("\r\n", 2);
            onLine = 0;
        }
    };
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    const qsizetype n = data.size();
    qsizetype i = 0;
    for (; i + 4 <= n; i += 4) {
        const std::uint32_t v = (std::uint32_t(p[i]) << 24) | (std::uint32_t(p[i + 1]) << 16)
            | (std::uint32_t(p[i + 2]) << 8) | std::uint32_t(p[i + 3]);
        if (v == 0) {
            put('z');
            continue;
        }
        char group[5];
        std::uint32_t rest = v;
        for (int k = 4; k >= 0; --k) {
            group[k] = char('!' + rest % 85);
            rest /= 85;
        }
        for (char c : group)
            put(c);
    }
    if (i < n) {
        // A final group of 1 to 3 bytes: padded with zeros, written as
        // one character more than it has bytes (never as "z").
        const int left = int(n - i);
        std::uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = (v << 8) | (k < left ? p[i + k] : 0u);
        char group[5];
        for (int k = 4; k >= 0; --k) {
            group[k] = char('!' + v % 85);
            v /= 85;
        }
        for (int k = 0; k <= left; ++k)
            put(group[k]);
    }
    out.append("~>", 2);
    return out;
}

namespace {

// Packs codes most significant bit first, as LZWDecode reads them.
class TBitWriter {
public:
    explicit TBitWriter(QByteArray& out) : FOut(out) {}
    void Put(std::uint32_t code, int bits)
    {
        FAcc = (FAcc << bits) | code;
        FCount += bits;
        while (FCount >= 8) {
            FCount -= 8;
            FOut.append(char((FAcc >> FCount) & 0xFF));
        }
        FAcc &= (1u << FCount) - 1;
    }
    void Flush()
    {
        if (FCount > 0)
            FOut.append(char((FAcc << (8 - FCount)) & 0xFF));
        FCount = 0;
        FAcc = 0;
    }

private:
    QByteArray& FOut;
    std::uint32_t FAcc = 0;
    int FCount = 0;
};

// The string table of the encoder: (prefix code, next byte) -> code, an open
// addressing hash big enough for the 4096 codes of one table generation.
class TLzwTable {
public:
    TLzwTable() { Clear(); }
    void Clear() { FKeys.fill(-1); }
    int Find(std::int32_t key) const
    {
        for (std::uint32_t h = Hash(key);; h = (h + 1) & kMask) {
            if (FKeys[h] == key)
                return FCodes[h];
            if (FKeys[h] < 0)
                return -1;
        }
    }
    void Add(std::int32_t key, int code)
    {
        std::uint32_t h = Hash(key);
        while (FKeys[h] >= 0)
            h = (h + 1) & kMask;
        FKeys[h] = key;
        FCodes[h] = std::int16_t(code);
    }

private:
    static constexpr std::uint32_t kSize = 16384; // a power of two, four times the codes
    static constexpr std::uint32_t kMask = kSize - 1;
    static std::uint32_t Hash(std::int32_t key) { return (std::uint32_t(key) * 2654435761u) >> 18; }
    std::array<std::int32_t, kSize> FKeys;
    std::array<std::int16_t, kSize> FCodes;
};

} // namespace

QByteArray EncodeLZW(QByteArrayView data)
{
    constexpr int kClear = 256;
    constexpr int kEod = 257;
    constexpr int kFirst = 258;
    constexpr int kMinBits = 9;
    constexpr int kMaxCode = 4095; // 12 bits
    QByteArray out;
    out.reserve(data.size() / 2 + 16);
    TBitWriter bits(out);
    auto table = std::make_unique<TLzwTable>();
    int width = kMinBits;
    int next = kFirst;
    bits.Put(kClear, width);
    // After every code written the decoder adds one entry, one step behind
    // the encoder; with EarlyChange 1 it widens its codes one entry early,
    // which on this side means: widen when the next free code passes the
    // largest code of the current width, and start a new table one code
    // before the last, emitting the clear code at the old width.
    auto afterCode = [&] {
        ++next;
        if (next == kMaxCode - 1) {
            bits.Put(kClear, width);
            table->Clear();
            next = kFirst;
            width = kMinBits;
        } else if (next > (1 << width) - 1) {
            ++width;
        }
    };
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    const qsizetype n = data.size();
    if (n > 0) {
        int prefix = p[0];
        for (qsizetype i = 1; i < n; ++i) {
            const std::int32_t key = (prefix << 8) | p[i];
            const int code = table->Find(key);
            if (code >= 0) {
                prefix = code;
                continue;
            }
            bits.Put(std::uint32_t(prefix), width);
            // The entry gets the number the decoder will give it; a table
            // that is about to be cleared takes no more entries.
            table->Add(key, next);
            afterCode();
            prefix = p[i];
        }
        bits.Put(std::uint32_t(prefix), width);
        afterCode();
    }
    bits.Put(kEod, width);
    bits.Flush();
    return out;
}

QByteArray EncodeFlate(QByteArrayView data, TKVXECompressionMethod method)
{
    const int level = method == cmFastest ? 1 : method == cmMaxCompress ? 9 : 6;
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    const int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &size,
        reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()), level);
    if (rc != Z_OK)
        throw EKVXError(QStringLiteral("Flate compression failed (zlib error %1)").arg(rc));
    out.resize(qsizetype(size));
    return out;
}

TKVXECompression NonImageCompression(TKVXECompression compression)
{
    return compression == seDCT ? seFlate : compression;
}

QByteArray EncodeStream(QByteArrayView data, TKVXECompression compression, TKVXECompressionMethod method)
{
    switch (NonImageCompression(compression)) {
    case seASCII85:
        return EncodeASCII85(data);
    case seLZW:
        return EncodeLZW(data);
    case seFlate:
        return EncodeFlate(data, method);
    case seASCIIHex:
    case seDCT:
        break;
    }
    return EncodeASCIIHex(data);
}

} // namespace vorel
