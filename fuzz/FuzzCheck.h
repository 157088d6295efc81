#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A property that must hold for every input. A violation aborts: libFuzzer then reports a finding and
// keeps the input, and the corpus replay of the test suite fails with the condition's text.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #condition);                    \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace rubbly::fuzz {

// The input as a byte array of its own (a copy: parsers may hand constData() to C functions that
// expect a terminating NUL, which libFuzzer's buffer does not have).
inline QByteArray bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

} // namespace rubbly::fuzz
