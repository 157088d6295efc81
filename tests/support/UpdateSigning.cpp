#include "UpdateSigning.h"

#include "ProcessRunner.h"
#include "TreeBuilder.h"

#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace rubbly::test {

SigningKey SigningKey::make(const QString& folder)
{
    const QString secret = folder + u"/test.key"_s;
    const QString pub = folder + u"/test.pub"_s;
    const ProcessResult made = runProcess(u"minisign"_s, {u"-G"_s, u"-W"_s, u"-f"_s, u"-p"_s, pub, u"-s"_s, secret});
    // The key line: the second line of the .pub file.
    const QByteArray line = TreeBuilder::read(pub).split('\n').value(1).trimmed();
    if (made.exitCode != 0 || line.isEmpty())
        qFatal("minisign -G failed: %s", made.err.constData());
    return {secret, line};
}

SigningKey SigningKey::ofThisBuild()
{
    return {QStringLiteral(RUBBLY_TEST_SIGNING_KEY), {}};
}

QByteArray SigningKey::sign(const QByteArray& content, const QString& version, bool legacy) const
{
    QTemporaryDir dir;
    TreeBuilder(QFile::encodeName(dir.path())).write("Rubbly.zip", content);
    // The trusted comment scripts/package writes.
    const QString comment = u"timestamp:1767225600\tfile:Rubbly.zip\tversion:"_s + version;
    QStringList arguments{u"-S"_s, u"-s"_s, secretKeyFile, u"-m"_s, dir.filePath(u"Rubbly.zip"_s), u"-t"_s, comment};
    if (legacy)
        arguments.append(u"-l"_s);
    const ProcessResult signed_ = runProcess(u"minisign"_s, arguments);
    QByteArray signature = TreeBuilder::read(dir.filePath(u"Rubbly.zip.minisig"_s));
    if (signed_.exitCode != 0 || signature.isEmpty())
        qFatal("minisign -S failed: %s", signed_.err.constData());
    return signature;
}

} // namespace rubbly::test
