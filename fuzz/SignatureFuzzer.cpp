// Update signatures: the .minisig file fetched beside every update archive (network input) and the
// public key built into the program. An input that starts like one of those files ("untrusted
// comment:" or a key line "RW…") is parsed as both; any other input drives the property that a
// signature verifies only for the exact bytes and key it was made for:
//   byte 0      bit 0: legacy signature (of the bytes themselves) instead of a prehashed one;
//               bits 1-2: what to damage: 0 the archive, 1 the .minisig text, 2 the key line, 3 nothing
//   bytes 1-2   where to damage it (taken modulo its length); byte 3 the non-zero XOR mask
//   byte 4      length of the trusted comment that follows; the rest is the archive.
// The fuzzer signs with a key of its own, made from a fixed seed, in minisign's exact format.

#include "FuzzCheck.h"

#include "Minisign.h"

#include <sodium.h>

#include <array>
#include <string>

using namespace rubbly;

namespace {

constexpr std::array<std::uint8_t, 8> kKeyId{0x52, 0x75, 0x62, 0x62, 0x6c, 0x79, 0x46, 0x5a};
constexpr QByteArrayView kUntrusted = "untrusted comment: signature from the fuzz key\n";

struct FuzzKey {
    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> pk{};
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> sk{};
    QByteArray line; // the public key as the build setting holds it
};

QByteArray base64(const QByteArray& raw)
{
    std::string text(sodium_base64_ENCODED_LEN(raw.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), reinterpret_cast<const unsigned char*>(raw.constData()),
                      static_cast<std::size_t>(raw.size()), sodium_base64_VARIANT_ORIGINAL);
    return QByteArray(text.c_str());
}

const FuzzKey& fuzzKey()
{
    static const FuzzKey key = [] {
        FuzzKey k;
        FUZZ_CHECK(sodium_init() >= 0);
        std::array<unsigned char, crypto_sign_SEEDBYTES> seed{};
        seed.fill(0x2a);
        crypto_sign_seed_keypair(k.pk.data(), k.sk.data(), seed.data());
        QByteArray raw = "Ed";
        raw.append(reinterpret_cast<const char*>(kKeyId.data()), 8);
        raw.append(reinterpret_cast<const char*>(k.pk.data()), 32);
        k.line = base64(raw);
        return k;
    }();
    return key;
}

QByteArray signDetached(const QByteArray& message)
{
    std::array<unsigned char, crypto_sign_BYTES> signature{};
    crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(message.constData()),
                         static_cast<unsigned long long>(message.size()), fuzzKey().sk.data());
    return QByteArray(reinterpret_cast<const char*>(signature.data()), crypto_sign_BYTES);
}

// What `minisign -S [-l] -t comment` writes for `archive` (Ed25519 signatures are deterministic).
QByteArray minisig(const QByteArray& archive, const QByteArray& comment, bool legacy)
{
    QByteArray signed_ = archive;
    if (!legacy) {
        std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
        crypto_generichash(hash.data(), hash.size(), reinterpret_cast<const unsigned char*>(archive.constData()),
                           static_cast<unsigned long long>(archive.size()), nullptr, 0);
        signed_ = QByteArray(reinterpret_cast<const char*>(hash.data()), hash.size());
    }
    const QByteArray signature = signDetached(signed_);
    QByteArray line = legacy ? "Ed" : "ED";
    line.append(reinterpret_cast<const char*>(kKeyId.data()), 8);
    line += signature;
    return kUntrusted.toByteArray() + base64(line) + "\ntrusted comment: " + comment + "\n" +
           base64(signDetached(signature + comment)) + "\n";
}

SignatureCheck check(const QByteArray& signatureText, const QByteArray& keyLine, const QByteArray& archive)
{
    const auto key = MinisignKey::parse(keyLine);
    const auto signature = MinisignSignature::parse(signatureText);
    if (!key || !signature)
        return SignatureCheck::UnknownKey; // refused before any verification
    return verifyMinisign(*signature, {*key}, archive);
}

void parseAsFiles(const QByteArray& input)
{
    const FuzzKey& key = fuzzKey();
    if (const auto parsed = MinisignKey::parse(input)) {
        // A key that parses is the key its line says: written back, it reads the same.
        QByteArray raw = "Ed";
        raw.append(reinterpret_cast<const char*>(parsed->keyId.data()), 8);
        raw.append(reinterpret_cast<const char*>(parsed->key.data()), 32);
        const auto again = MinisignKey::parse(base64(raw));
        FUZZ_CHECK(again && *again == *parsed);
        FUZZ_CHECK(parsed->keyIdText().size() == 16);
    }
    const auto signature = MinisignSignature::parse(input);
    if (!signature)
        return;
    const auto own = MinisignKey::parse(key.line);
    FUZZ_CHECK(own);
    // Without the secret key no input may pass for a signature of the fuzz key: one that verifies
    // must be the very signature the key makes for that message and comment.
    for (const QByteArray& archive : {QByteArray(), QByteArray("Rubbly"), input}) {
        if (verifyMinisign(*signature, {*own}, archive) == SignatureCheck::Valid) {
            const auto made =
                MinisignSignature::parse(minisig(archive, signature->trustedComment, !signature->prehashed));
            FUZZ_CHECK(made && made->signature == signature->signature &&
                       made->globalSignature == signature->globalSignature);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    if (input.startsWith("untrusted comment:") || input.startsWith("RW")) {
        parseAsFiles(input);
        return 0;
    }
    if (input.size() < 5)
        return 0;
    const bool legacy = (input[0] & 1) != 0;
    const int target = (input[0] >> 1) & 3;
    const auto where =
        static_cast<qsizetype>(static_cast<std::uint8_t>(input[1]) << 8 | static_cast<std::uint8_t>(input[2]));
    const char mask = input[3] == 0 ? char(1) : input[3];
    QByteArray comment = input.mid(5, static_cast<std::uint8_t>(input[4]));
    // minisign takes the comment as one line of a C string.
    for (char& c : comment) {
        if (c == '\n' || c == '\r' || c == '\0')
            c = ' ';
    }
    QByteArray archive = input.mid(5 + comment.size());

    const FuzzKey& key = fuzzKey();
    QByteArray signature = minisig(archive, comment, legacy);
    QByteArray keyLine = key.line;
    // What minisign signs, this program verifies.
    FUZZ_CHECK(check(signature, keyLine, archive) == SignatureCheck::Valid);
    const auto parsed = MinisignSignature::parse(signature);
    FUZZ_CHECK(parsed && parsed->trustedComment == comment && parsed->prehashed == !legacy);

    switch (target) {
    case 0:
        if (archive.isEmpty())
            return 0;
        archive[where % archive.size()] ^= mask;
        break;
    case 1: {
        const qsizetype at = where % signature.size();
        // Only the untrusted comment's own text is not covered by a signature.
        if (at >= 19 && at < kUntrusted.size() - 1)
            return 0;
        signature[at] ^= mask;
        break;
    }
    case 2:
        keyLine[where % keyLine.size()] ^= mask;
        break;
    default:
        return 0;
    }
    FUZZ_CHECK(check(signature, keyLine, archive) != SignatureCheck::Valid);
    return 0;
}
