#pragma once

#include <QByteArray>
#include <QString>

namespace rubbly::test {

// A minisign key pair made by the minisign tool itself (without a password), so the tests check the
// program against the signatures releases really carry.
struct SigningKey {
    QString secretKeyFile;
    // The base64 line, as the build setting holds it.
    QByteArray publicKey;

    // A new pair in `folder`.
    static SigningKey make(const QString& folder);
    // The secret key this build was made to trust (RUBBLY_TEST_UPDATE_KEY), without its public half;
    // empty when it trusts another.
    static SigningKey ofThisBuild();

    // The .minisig text `minisign -S` writes for `content`, with the trusted comment
    // "timestamp:…<TAB>file:Rubbly.zip<TAB>version:`version`"; `legacy`: as `minisign -l` writes it.
    QByteArray sign(const QByteArray& content, const QString& version, bool legacy = false) const;
};

} // namespace rubbly::test
