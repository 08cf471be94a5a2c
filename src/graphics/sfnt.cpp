#include "graphics/sfnt.h"

#include "foundation/values/byte_io.h"

namespace vorel {

std::uint32_t SfntTag(const char* tag)
{
    return (std::uint32_t(std::uint8_t(tag[0])) << 24) | (std::uint32_t(std::uint8_t(tag[1])) << 16)
        | (std::uint32_t(std::uint8_t(tag[2])) << 8) | std::uint32_t(std::uint8_t(tag[3]));
}

std::uint32_t SfntChecksum(QByteArrayView data)
{
    std::uint32_t sum = 0;
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n; i += 4) {
        std::uint32_t word = 0;
        for (int k = 0; k < 4; ++k)
            word = (word << 8) | (i + k < n ? std::uint8_t(data[i + k]) : 0u);
        sum += word;
    }
    return sum;
}

QByteArray AssembleSfnt(std::map<std::uint32_t, QByteArray> tables)
{
    const std::uint32_t head = SfntTag("head");
    if (auto found = tables.find(head); found != tables.end() && found->second.size() >= 12)
        patchU32be(found->second, 8, 0); // checkSumAdjustment, computed over the whole file below
    const int n = int(tables.size());
    int power = 1, log2 = 0;
    while (power * 2 <= n) {
        power *= 2;
        ++log2;
    }
    QByteArray out;
    writeU32be(out, tables.count(SfntTag("CFF ")) ? 0x4F54544Fu : 0x00010000u); // "OTTO" or TrueType
    writeU16be(out, std::uint16_t(n));
    writeU16be(out, std::uint16_t(power * 16));
    writeU16be(out, std::uint16_t(log2));
    writeU16be(out, std::uint16_t(n * 16 - power * 16));
    std::uint32_t offset = std::uint32_t(12 + 16 * n);
    qsizetype headAt = -1;
    for (const auto& [tag, data] : tables) {
        writeU32be(out, tag);
        writeU32be(out, SfntChecksum(data));
        writeU32be(out, offset);
        writeU32be(out, std::uint32_t(data.size()));
        if (tag == head)
            headAt = offset;
        offset += std::uint32_t((data.size() + 3) & ~qsizetype(3));
    }
    for (const auto& [tag, data] : tables) {
        out.append(data);
        out.append((4 - data.size() % 4) % 4, '\0');
    }
    if (headAt >= 0)
        patchU32be(out, int(headAt + 8), 0xB1B0AFBAu - SfntChecksum(out));
    return out;
}

} // namespace vorel
