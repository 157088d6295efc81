#include "UpdateSigning.h"

#include "ProcessRunner.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace rubbly::test {

namespace {

QByteArray keyLine(const QString& publicKeyFile)
{
    QFile file(publicKeyFile);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(publicKeyFile));
    return file.readAll().split('\n').value(1).trimmed();
}

} // namespace

SigningKey SigningKey::make(const QString& folder, const QString& name)
{
    const QString secret = folder + QLatin1Char('/') + name + QStringLiteral(".key");
    const QString pub = folder + QLatin1Char('/') + name + QStringLiteral(".pub");
    const ProcessResult made = runProcess(u"minisign"_s, {u"-G"_s, u"-W"_s, u"-f"_s, u"-p"_s, pub, u"-s"_s, secret});
    if (made.exitCode != 0)
        qFatal("minisign -G failed: %s", made.err.constData());
    return {secret, keyLine(pub)};
}

SigningKey SigningKey::ofThisBuild()
{
    const QString secret = QStringLiteral(RUBBLY_TEST_SIGNING_KEY);
    if (secret.isEmpty())
        return {};
    return {secret, keyLine(QFileInfo(secret).absolutePath() + QStringLiteral("/minisign.pub"))};
}

QByteArray SigningKey::sign(const QByteArray& content, const QString& version, bool legacy) const
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Rubbly.zip"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(file));
    out.close();
    // The trusted comment scripts/package writes.
    const QString comment = u"timestamp:1767225600\tfile:Rubbly.zip\tversion:"_s + version;
    QStringList arguments{u"-S"_s, u"-s"_s, secretKeyFile, u"-m"_s, file, u"-t"_s, comment};
    if (legacy)
        arguments.append(QStringLiteral("-l"));
    const ProcessResult signed_ = runProcess(QStringLiteral("minisign"), arguments);
    if (signed_.exitCode != 0)
        qFatal("minisign -S failed: %s", signed_.err.constData());
    QFile signature(file + QStringLiteral(".minisig"));
    if (!signature.open(QIODevice::ReadOnly))
        qFatal("minisign wrote no signature");
    return signature.readAll();
}

} // namespace rubbly::test
