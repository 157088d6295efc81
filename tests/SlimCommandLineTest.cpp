#include "Formatting.h"
#include "JsonFileDefaultsStore.h"
#include "ProcessRunner.h"
#include "StoredKeys.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

class SlimCommandLineTest : public QObject {
    Q_OBJECT

    static ProcessResult rubbly(const QStringList& arguments)
    {
        return runProcess(QStringLiteral(RUBBLY_BINARY), arguments);
    }

private Q_SLOTS:
    // A scan prints and saves what it found. A purge takes a category by its row label (or title) and
    // nothing else; without names it takes what the scan selects, so skills and agent transcripts, the
    // user's own work, stay until their category is named.
    void scanThenPurgeWhatIsNamedOrSelected()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.home()));
        tree.file(".cache/go-build/aa/x", 8192).file(".cargo/registry/cache/y", 4096).file(".ollama/history", 4096);
        tree.file(".claude/skills/review/SKILL.md", 4096).file(".claude/projects/-home-me-app/4f2c.jsonl", 4096);
        const ProcessResult text = rubbly({u"slim"_s, u"scan"_s});
        QCOMPARE(text.exitCode, 0);
        // The slim tab's group tag in English, the rows' labels, and which rows wait to be named.
        for (const char* part : {"DEV_ENV\n", "golang-mod-cache", "rust-cargo-cache", "ai-skills", "only when named"})
            QVERIFY2(text.out.contains(part), text.out.constData());
        const ProcessResult json = rubbly({u"slim"_s, u"scan"_s, u"--json"_s});
        // The result is kept in the cache folder, apart from the settings.
        QFile snapshot(home.cacheHome() + u"/rubbly/slim-snapshot.json"_s);
        QVERIFY(snapshot.open(QIODevice::ReadOnly));
        QCOMPARE(snapshot.readAll(), json.out.trimmed());
        QVERIFY(!JsonFileDefaultsStore(JsonFileDefaultsStore::defaultFilePath()).value(kDiskSlimSnapshotKey));

        const ProcessResult unknown = rubbly({u"slim"_s, u"purge"_s, u"golang-mod-cache"_s, u"go"_s});
        QCOMPARE(unknown.exitCode, 2);
        QVERIFY(unknown.err.contains("unknown category 'go'"));
        QVERIFY(TreeBuilder::exists(tree.path(".cache/go-build/aa/x")));
        // The folder's own blocks go too (none on some file systems).
        const qint64 freed = 8192 + TreeBuilder::allocatedSize(tree.path(".cache/go-build/aa"));
        const ProcessResult purge = rubbly({u"slim"_s, u"purge"_s, u"golang-mod-cache"_s});
        QCOMPARE(purge.exitCode, 0);
        QVERIFY2(purge.out.contains("Removed 1 item, freed " + sharedByteCountFormatter().format(freed).toUtf8()),
                 purge.out.constData());
        QVERIFY(!TreeBuilder::exists(tree.path(".cache/go-build/aa")) &&
                TreeBuilder::exists(tree.path(".cache/go-build")));
        QVERIFY(TreeBuilder::exists(tree.path(".cargo/registry/cache/y")));

        QCOMPARE(rubbly({u"slim"_s, u"purge"_s}).exitCode, 0);
        QVERIFY(!TreeBuilder::exists(tree.path(".ollama/history")) &&
                !TreeBuilder::exists(tree.path(".cargo/registry/cache/y")));
        QVERIFY(TreeBuilder::exists(tree.path(".claude/skills/review/SKILL.md")));
        QCOMPARE(rubbly({u"slim"_s, u"purge"_s, u"ai-skills"_s}).exitCode, 0);
        QVERIFY(!TreeBuilder::exists(tree.path(".claude/skills/review")));
        QVERIFY(TreeBuilder::exists(tree.path(".claude/projects/-home-me-app/4f2c.jsonl")));
    }
};

QTEST_GUILESS_MAIN(SlimCommandLineTest)
#include "SlimCommandLineTest.moc"
