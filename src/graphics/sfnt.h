#pragma once
// TrueType and OpenType font files ("sfnt") put together from their tables:
// the one place a font file's directory and checksums are written (the
// face's file for embedding, the PDF writer's subsets).

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <map>

namespace vorel {

// A table tag ("head", "OS/2") as the directory's 32-bit number.
std::uint32_t SfntTag(const char* tag);
// The checksum of a table: its big-endian 32-bit words summed, the last
// one padded with zeros.
std::uint32_t SfntChecksum(QByteArrayView data);
// A font file of the tables (ascending tags, as the directory must be):
// OpenType ("OTTO") when there is a CFF table, else TrueType; head's
// checkSumAdjustment computed over the whole file.
QByteArray AssembleSfnt(std::map<std::uint32_t, QByteArray> tables);

} // namespace vorel
