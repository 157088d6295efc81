// The version manifest (version.json) from the update host: network input, decoded at every update
// check, whose version decides whether an update is offered.

#include "FuzzCheck.h"

#include "UpdateService.h"
#include "UpdateTypes.h"

#include <optional>
#include <string>
#include <vector>

using namespace rubbly;

namespace {

// The documented comparison, written independently of the program's: pieces between full stops, empty
// ones dropped; a piece counts when it is an optional sign and decimal digits within 64 bits; missing
// positions are 0.
std::vector<long long> numbersOf(const QString& version)
{
    std::vector<long long> numbers;
    for (const QString& piece : version.split(QLatin1Char('.'))) {
        if (piece.isEmpty())
            continue;
        const std::u16string text = piece.toStdU16String();
        std::size_t i = text[0] == u'+' || text[0] == u'-' ? 1 : 0;
        const bool negative = text[0] == u'-';
        if (i == text.size())
            continue;
        unsigned long long magnitude = 0;
        bool ok = true;
        for (; i < text.size() && ok; ++i) {
            const char16_t c = text[i];
            ok = c >= u'0' && c <= u'9' && magnitude <= (~0ULL - 9) / 10;
            magnitude = magnitude * 10 + static_cast<unsigned>(c - u'0');
        }
        const unsigned long long limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
        if (!ok || magnitude > limit)
            continue;
        numbers.push_back(negative ? static_cast<long long>(0 - magnitude) : static_cast<long long>(magnitude));
    }
    return numbers;
}

bool newer(const QString& a, const QString& b)
{
    const auto left = numbersOf(a), right = numbersOf(b);
    for (std::size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
        const long long l = i < left.size() ? left[i] : 0, r = i < right.size() ? right[i] : 0;
        if (l != r)
            return l > r;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const auto manifest = RemoteVersionManifest::decode(input);
    if (!manifest)
        return 0;
    const QString remote = stripVersion(manifest->version);
    FUZZ_CHECK(stripVersion(remote) == remote);

    // The version of every accepted manifest is compared as documented, with this build's version,
    // with itself and with its own successor, so no manifest can offer an update that is not newer.
    for (const QString& local : {QStringLiteral(RUBBLY_VERSION), QStringLiteral("0"), QStringLiteral("1.2.0"),
                                 QStringLiteral("99999.0.0"), remote}) {
        const bool offered = UpdateService::isVersion(remote, local);
        FUZZ_CHECK(offered == newer(remote, local));
        FUZZ_CHECK(!(offered && UpdateService::isVersion(local, remote)));
    }
    FUZZ_CHECK(!UpdateService::isVersion(remote, remote));
    FUZZ_CHECK(UpdateService::isVersion(remote + QStringLiteral(".1"), remote));
    FUZZ_CHECK(!UpdateService::isVersion(remote + QStringLiteral(".0"), remote));
    return 0;
}
