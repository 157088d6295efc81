#include "PercentDecoding.h"

namespace rubbly {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<QByteArray> percentDecoded(QByteArrayView encoded, QByteArrayView refused)
{
    QByteArray decoded;
    decoded.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != '%') {
            decoded.append(encoded[i]);
            continue;
        }
        const int high = i + 2 < encoded.size() ? hexValue(encoded[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(encoded[i + 2]) : -1;
        if (low < 0)
            return std::nullopt;
        const char byte = static_cast<char>(high * 16 + low);
        if (refused.contains(byte))
            return std::nullopt;
        decoded.append(byte);
        i += 2;
    }
    return decoded;
}

} // namespace rubbly
