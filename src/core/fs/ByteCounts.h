#pragma once

#include <QtGlobal>

#include <limits>

namespace rubbly {

// Byte counts come from file systems and from files others write, so they may be anything: these
// never wrap around. A sum that would pass the largest qint64 stays there (a negative total would
// read as "-8388608 TB"), and a block count too large for bytes gives the largest count.
constexpr qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return sum;
}

// The allocated bytes of `blocks` 512-byte blocks (st_blocks).
constexpr qint64 allocatedBytes(qint64 blocks)
{
    qint64 bytes = 0;
    if (blocks <= 0)
        return 0;
    if (__builtin_mul_overflow(blocks, qint64(512), &bytes))
        return std::numeric_limits<qint64>::max();
    return bytes;
}

} // namespace rubbly
