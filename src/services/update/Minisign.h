#pragma once

#include "Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace rubbly {

// minisign's formats (Ed25519 keys and detached signatures, as the `minisign` tool writes them) and
// their verification with libsodium. Update archives are released with such a signature beside them.

// A public key: the "Ed" algorithm tag, an 8-byte key id and the 32-byte Ed25519 key.
struct MinisignKey {
    std::array<std::uint8_t, 8> keyId{};
    std::array<std::uint8_t, 32> key{};

    // The key id as minisign prints it: 16 upper-case hex digits of the little-endian number.
    QString keyIdText() const;

    // Takes the base64 line alone (what `minisign -P` takes and the build setting holds) or a whole
    // .pub file (an "untrusted comment:" line, then that line). Anything else is refused, saying why.
    static Result<MinisignKey, QString> parse(QByteArrayView text);
    bool operator==(const MinisignKey&) const = default;
};

// A .minisig file: the signature of the file ("Ed": of its bytes, "ED": of their BLAKE2b-512 hash),
// the id of the key that made it, the trusted comment and the global signature that covers the
// file's signature and the trusted comment together.
struct MinisignSignature {
    bool prehashed = true;
    std::array<std::uint8_t, 8> keyId{};
    std::array<std::uint8_t, 64> signature{};
    QByteArray trustedComment;
    std::array<std::uint8_t, 64> globalSignature{};

    QString keyIdText() const;

    // Exactly four lines ("untrusted comment: …", the signature in base64, "trusted comment: …", the
    // global signature in base64), each ending in a line feed (or CR LF; the last one may lack it).
    static Result<MinisignSignature, QString> parse(QByteArrayView text);
};

enum class SignatureCheck {
    Valid,             // made by one of the keys for exactly these bytes, trusted comment included
    UnknownKey,        // made by a key that is not among the trusted ones
    BadSignature,      // the bytes are not the ones that were signed
    BadTrustedComment, // the trusted comment was not signed together with the signature
    Unreadable,        // the file could not be read
};

// Whether the trusted comment was signed, together with the file's signature, by a trusted key: all
// that can be known before the file itself is there. Valid, UnknownKey or BadTrustedComment.
SignatureCheck checkMinisignComment(const MinisignSignature& signature, const QList<MinisignKey>& trusted);
// Verifies `signature` over `data` with whichever trusted key has its key id, trusted comment included.
SignatureCheck verifyMinisign(const MinisignSignature& signature, const QList<MinisignKey>& trusted,
                              QByteArrayView data);
// The same over a file's contents, read in pieces (a prehashed signature never holds the file in
// memory; a legacy one maps it).
SignatureCheck verifyMinisignFile(const MinisignSignature& signature, const QList<MinisignKey>& trusted,
                                  const QString& path);

// A named field of minisign-style trusted comment ("timestamp:…\tfile:…\tversion:1.2.0"): the text
// after "name:" up to the next tab, if the comment has that field.
std::optional<QByteArray> trustedCommentField(const QByteArray& trustedComment, QByteArrayView name);

} // namespace rubbly
