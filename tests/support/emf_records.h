#pragma once
// Metafile records built by hand, for records the recording canvas never
// writes (arcs, paths) and for fields no writer would give.

#include "foundation/values/byte_io.h"

#include <QByteArray>
#include <cstdint>
#include <initializer_list>

namespace vorel::testing {

// A record of 32-bit fields after its type and size.
inline QByteArray EmfRecord(std::uint32_t type, std::initializer_list<std::int32_t> fields)
{
    QByteArray r;
    writeU32le(r, type);
    writeU32le(r, std::uint32_t(8 + 4 * fields.size()));
    for (const std::int32_t f : fields)
        writeI32le(r, f);
    return r;
}

} // namespace vorel::testing
