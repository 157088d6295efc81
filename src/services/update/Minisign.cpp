#include "Minisign.h"

#include <QFile>

#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace rubbly {

namespace {

// minisign's own limits are 1024 bytes of untrusted and 8192 of trusted comment: a file much larger
// than that is not a signature.
constexpr qsizetype kMaxSignatureFile = 16 * 1024;
constexpr QByteArrayView kUntrustedPrefix = "untrusted comment: ";
constexpr QByteArrayView kTrustedPrefix = "trusted comment: ";

bool sodiumReady()
{
    // Thread-safe and idempotent; it only fails when the system offers no randomness at all.
    static const bool ready = sodium_init() >= 0;
    return ready;
}

QString hexId(const std::array<std::uint8_t, 8>& id)
{
    // minisign prints the id as a little-endian 64-bit number.
    QString text;
    for (auto it = id.rbegin(); it != id.rend(); ++it)
        text += QStringLiteral("%1").arg(*it, 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

// Strict base64 of exactly `size` bytes: padding as the standard has it, no blanks, no bits left over.
template <std::size_t N> bool decodeExactly(QByteArrayView text, std::array<std::uint8_t, N>& out)
{
    // libsodium 1.0.18 reads the characters as signed: a byte above 0x7f can pass for a digit, so
    // two different texts would decode to the same signature. Only the alphabet itself is taken.
    const auto inAlphabet = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
               c == '=';
    };
    if (!sodiumReady() || text.isEmpty() || !std::all_of(text.begin(), text.end(), inAlphabet))
        return false;
    std::size_t length = 0;
    return sodium_base642bin(out.data(), out.size(), text.data(), static_cast<std::size_t>(text.size()), nullptr,
                             &length, nullptr, sodium_base64_VARIANT_ORIGINAL) == 0 &&
           length == N;
}

// The lines of a small text file: each ends in LF or CR LF, the last one may end in neither. A CR
// anywhere else stays in its line, where no base64 or comment prefix takes it.
QList<QByteArrayView> linesOf(QByteArrayView text)
{
    QList<QByteArrayView> lines;
    while (!text.isEmpty()) {
        const qsizetype end = text.indexOf('\n');
        QByteArrayView line = end < 0 ? text : text.first(end);
        if (end >= 0 && line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
    }
    return lines;
}

const MinisignKey* keyFor(const MinisignSignature& signature, const QList<MinisignKey>& trusted)
{
    const auto it = std::find_if(trusted.begin(), trusted.end(),
                                 [&](const MinisignKey& key) { return key.keyId == signature.keyId; });
    return it == trusted.end() ? nullptr : &*it;
}

bool verifyDetached(const std::array<std::uint8_t, 64>& signature, const unsigned char* message, std::size_t size,
                    const MinisignKey& key)
{
    return crypto_sign_verify_detached(signature.data(), message, size, key.key.data()) == 0;
}

// The trusted comment is signed together with the file's signature, so neither can be swapped.
SignatureCheck verifyGlobal(const MinisignSignature& signature, const MinisignKey& key)
{
    QByteArray covered(reinterpret_cast<const char*>(signature.signature.data()), 64);
    covered += signature.trustedComment;
    return verifyDetached(signature.globalSignature, reinterpret_cast<const unsigned char*>(covered.constData()),
                          static_cast<std::size_t>(covered.size()), key)
               ? SignatureCheck::Valid
               : SignatureCheck::BadTrustedComment;
}

} // namespace

QString MinisignKey::keyIdText() const
{
    return hexId(keyId);
}

QString MinisignSignature::keyIdText() const
{
    return hexId(keyId);
}

Result<MinisignKey, QString> MinisignKey::parse(QByteArrayView text)
{
    // A build setting or a file someone copied: blanks around it are not part of the key.
    text = text.trimmed();
    QList<QByteArrayView> lines = linesOf(text);
    if (lines.size() == 2 && lines.first().startsWith(kUntrustedPrefix.first(kUntrustedPrefix.size() - 1)))
        lines.removeFirst();
    std::array<std::uint8_t, 42> raw{};
    if (lines.size() != 1 || !decodeExactly(lines.first(), raw))
        return QStringLiteral("not a minisign public key (one line of base64, optionally after an untrusted comment)");
    if (raw[0] != 'E' || raw[1] != 'd')
        return QStringLiteral("not an Ed25519 minisign public key");
    MinisignKey key;
    std::copy_n(raw.begin() + 2, 8, key.keyId.begin());
    std::copy_n(raw.begin() + 10, 32, key.key.begin());
    return key;
}

Result<MinisignSignature, QString> MinisignSignature::parse(QByteArrayView text)
{
    if (text.size() > kMaxSignatureFile)
        return QStringLiteral("the signature file is too large");
    const QList<QByteArrayView> lines = linesOf(text);
    if (lines.size() != 4)
        return QStringLiteral("a signature file has four lines");
    if (!lines[0].startsWith(kUntrustedPrefix))
        return QStringLiteral("the first line is not an untrusted comment");
    std::array<std::uint8_t, 74> raw{};
    if (!decodeExactly(lines[1], raw))
        return QStringLiteral("the signature line is not 74 bytes of base64");
    MinisignSignature signature;
    if (raw[0] != 'E' || (raw[1] != 'd' && raw[1] != 'D'))
        return QStringLiteral("the signature is not an Ed25519 minisign signature");
    signature.prehashed = raw[1] == 'D';
    std::copy_n(raw.begin() + 2, 8, signature.keyId.begin());
    std::copy_n(raw.begin() + 10, 64, signature.signature.begin());
    if (!lines[2].startsWith(kTrustedPrefix) || lines[2].contains('\0') || lines[2].contains('\r'))
        return QStringLiteral("the third line is not a trusted comment");
    signature.trustedComment = lines[2].sliced(kTrustedPrefix.size()).toByteArray();
    if (!decodeExactly(lines[3], signature.globalSignature))
        return QStringLiteral("the global signature line is not 64 bytes of base64");
    return signature;
}

SignatureCheck checkMinisignComment(const MinisignSignature& signature, const QList<MinisignKey>& trusted)
{
    const MinisignKey* key = keyFor(signature, trusted);
    return key && sodiumReady() ? verifyGlobal(signature, *key) : SignatureCheck::UnknownKey;
}

SignatureCheck verifyMinisign(const MinisignSignature& signature, const QList<MinisignKey>& trusted,
                              QByteArrayView data)
{
    const MinisignKey* key = keyFor(signature, trusted);
    if (!key || !sodiumReady())
        return SignatureCheck::UnknownKey;
    static const unsigned char nothing = 0;
    const auto* bytes = data.isEmpty() ? &nothing : reinterpret_cast<const unsigned char*>(data.data());
    const auto size = static_cast<std::size_t>(data.size());
    bool valid = false;
    if (signature.prehashed) {
        std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
        crypto_generichash(hash.data(), hash.size(), bytes, size, nullptr, 0);
        valid = verifyDetached(signature.signature, hash.data(), hash.size(), *key);
    } else {
        valid = verifyDetached(signature.signature, bytes, size, *key);
    }
    return valid ? verifyGlobal(signature, *key) : SignatureCheck::BadSignature;
}

SignatureCheck verifyMinisignFile(const MinisignSignature& signature, const QList<MinisignKey>& trusted,
                                  const QString& path)
{
    const MinisignKey* key = keyFor(signature, trusted);
    if (!key || !sodiumReady())
        return SignatureCheck::UnknownKey;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return SignatureCheck::Unreadable;
    if (!signature.prehashed) {
        // The legacy form signs the bytes themselves, which Ed25519 needs in one piece.
        if (file.size() == 0)
            return verifyMinisign(signature, trusted, QByteArrayView());
        const uchar* mapped = file.map(0, file.size());
        if (!mapped)
            return SignatureCheck::Unreadable;
        return verifyMinisign(signature, trusted, QByteArrayView(reinterpret_cast<const char*>(mapped), file.size()));
    }
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES_MAX);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(buffer.data(), buffer.size());
        if (n < 0)
            return SignatureCheck::Unreadable;
        if (n == 0)
            break;
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(buffer.constData()),
                                  static_cast<unsigned long long>(n));
    }
    std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
    crypto_generichash_final(&state, hash.data(), hash.size());
    if (!verifyDetached(signature.signature, hash.data(), hash.size(), *key))
        return SignatureCheck::BadSignature;
    return verifyGlobal(signature, *key);
}

std::optional<QByteArray> trustedCommentField(const QByteArray& trustedComment, QByteArrayView name)
{
    for (const QByteArray& field : trustedComment.split('\t')) {
        if (field.size() > name.size() && field.startsWith(name) && field.at(name.size()) == ':')
            return field.sliced(name.size() + 1);
    }
    return std::nullopt;
}

} // namespace rubbly
