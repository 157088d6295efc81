#include "HttpTestServer.h"
#include "ProcessRunner.h"
#include "TrashFixture.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <algorithm>

using namespace rubbly::test;
using namespace Qt::StringLiterals;

class TrashCommandLineTest : public QObject {
    Q_OBJECT

    // The fixture's empty mount table keeps every real volume's trash out of reach.
    static ProcessResult rubbly(const TrashFixture& fx, const QStringList& arguments,
                                const QString& workingDirectory = {})
    {
        EnvGuard env;
        env.set("RUBBLY_MOUNTINFO", fx.mountInfoPath());
        return runProcess(QStringLiteral(RUBBLY_BINARY), arguments, {}, workingDirectory);
    }
    // The path as printf octal escapes, so that the shell makes its bytes and no text conversion
    // stands between.
    static QString shellBytes(const QByteArray& path)
    {
        QByteArray escaped;
        for (char c : path)
            escaped += QByteArray("\\") + QByteArray::number(static_cast<unsigned char>(c), 8).rightJustified(3, '0');
        return u"\"$(printf '%1')\""_s.arg(QString::fromLatin1(escaped));
    }

private Q_SLOTS:
    // The items are written one by one as the listing streams them; the text must still be the one
    // document, exactly as QJsonDocument indents it, that scripts have been reading.
    void statusJsonIsOneDocumentLargestFirst_data()
    {
        QTest::addColumn<int>("entries");
        QTest::newRow("empty") << 0;
        QTest::newRow("more than the panel shows") << 9;
    }
    void statusJsonIsOneDocumentLargestFirst()
    {
        QFETCH(int, entries);
        TrashFixture fx;
        // Names with every kind of character the writer escapes or encodes: quotes, backslashes,
        // control characters, DEL, CJK, a character beyond the BMP, and bytes that are not UTF-8.
        const QByteArrayList names = {".txt", " \"季度\"\n.png", "\\\t\x01\x1f\x7f", "\xf0\x9f\x98\x80\xe2\x80\xa8",
                                      "\xff\xfe\xc3"};
        for (int i = 0; i < entries; ++i)
            fx.addFile("entry-" + QByteArray::number(i) + names[i % names.size()], 4096 * (i % 3 + 1));
        if (entries > 0) {
            fx.files().file("big/inner.bin", 1 << 20);
            fx.writeInfo("big", "/home/user/big%20folder", "2026-02-01T08:30:00");
        }
        const ProcessResult result = rubbly(fx, {u"trash"_s, u"status"_s, u"--json"_s});
        QCOMPARE(result.exitCode, 0);
        const QJsonDocument document = QJsonDocument::fromJson(result.out);
        QCOMPARE(document.toJson(QJsonDocument::Indented), result.out);
        const QJsonObject root = document.object();
        const QJsonArray items = root[u"items"_s].toArray();
        QCOMPARE(items.size(), entries ? entries + 1 : 0);
        QCOMPARE(root[u"itemCount"_s].toInt(), items.size());
        QCOMPARE(root[u"trashFolders"_s].toArray().first().toString(), QFile::decodeName(fx.trashPath()));
        if (entries == 0)
            return;
        QVERIFY(root[u"totalSize"_s].toInteger() > (1 << 20) && root.contains(u"lastUpdatedAt"_s));
        QVERIFY(root[u"categoryDistribution"_s].toObject().contains(u"文档"_s)); // the stored titles
        const QJsonObject big = items[0].toObject();
        QCOMPARE(big.keys(), (QStringList{u"category"_s, u"deletionDate"_s, u"isDirectory"_s, u"modificationDate"_s,
                                          u"name"_s, u"originalPath"_s, u"path"_s, u"size"_s, u"trashFolder"_s}));
        QCOMPARE(big[u"name"_s].toString() + big[u"originalPath"_s].toString(), u"big/home/user/big folder"_s);
        QVERIFY(big[u"isDirectory"_s].toBool() && big[u"deletionDate"_s].toString().startsWith(u"2026-02-01"_s));
    }

    void humanStatusUsesTheSharedFormatter()
    {
        TrashFixture fx;
        fx.addFile("a.mp4", 3 << 20);
        fx.addFile("notes.txt", 4096);
        // The panel's English names whatever the locale; the JSON keeps the stored titles.
        EnvGuard env;
        env.set("LC_ALL", "zh_CN.UTF-8");
        env.set("LANGUAGE", "zh_CN");
        const ProcessResult result = rubbly(fx, {u"trash"_s, u"status"_s});
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(
            result.out.contains("Trash: 3 MB in 2 items\n  video-media         3 MB\n  doc-files           4 KB\n"),
            result.out.constData());
    }

    // The commands start without Qt's GUI libraries, whose loading alone took longer than a small
    // Trash's scan; the tray is the program beside this one.
    void commandsLoadNoGuiLibrary()
    {
        const ProcessResult needed = runProcess(u"objdump"_s, {u"-p"_s, QStringLiteral(RUBBLY_BINARY)});
        QVERIFY2(needed.exitCode == 0 && needed.out.contains("libQt6Core.so"), needed.err.constData());
        for (const char* gui : {"libQt6Gui.so", "libQt6Widgets.so", "libQt6Svg.so"})
            QVERIFY2(!needed.out.contains(gui), gui);
    }

    // A path that cannot go does not keep the ones after it out: each failure is a line of its own. An
    // age beyond every date is a valid age that removes nothing, however many digits it has.
    void putTriesEveryPathAndEmptyReportsWhatHappened()
    {
        TrashFixture fx;
        fx.outside().file("one.txt", 4096).file("two.txt", 4096);
        const QString missing = QFile::decodeName(fx.outside().path("no such file"));
        const QString gone = QFile::decodeName(fx.outside().path("gone too"));
        const ProcessResult put = rubbly(fx, {u"trash"_s, u"put"_s, QFile::decodeName(fx.outside().path("one.txt")),
                                              missing, QFile::decodeName(fx.outside().path("two.txt")), gone});
        QCOMPARE(put.exitCode, 1);
        const QList<QByteArray> lines = put.err.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].contains(missing.toUtf8()) && lines[1].contains(gone.toUtf8()), put.err.constData());

        const QStringList aged{u"trash"_s, u"empty"_s, u"--older-than"_s, u"99999999999999999999999"_s};
        QVERIFY2(rubbly(fx, aged).out.contains("Removed 0 items"), "an age beyond every date");
        const ProcessResult empty = rubbly(fx, {u"trash"_s, u"empty"_s});
        QCOMPARE(empty.exitCode, 0);
        QVERIFY2(empty.out.contains("Removed 2 items, freed 8 KB; 0 failed"), empty.out.constData());
    }

    // Arguments are the exact bytes: a name that is not UTF-8 names that file, never the one its
    // U+FFFD rendering spells, which lies beside it. The name holds a byte that is no UTF-8, Latin-1,
    // an overlong slash, an encoded surrogate and, last, a cut-off sequence.
    void putAndRestoreTakeTheExactBytesOfTheirArguments()
    {
        const QByteArray name("r\xe9sum\xe9 \xff a\xc0\xaf"
                              "b s\xed\xa0\x80 cut\xe2\x82");
        TrashFixture fx;
        const QByteArray lookalike = QString::fromUtf8(name).toUtf8(); // every bad byte as U+FFFD
        fx.outside().write(name, "the named one").write(lookalike, "the lookalike");
        // The shell makes the bytes (printf's octal escapes), so no text conversion stands between.
        EnvGuard env;
        env.set("RUBBLY_MOUNTINFO", fx.mountInfoPath());
        const auto run = [&](const QString& command) {
            return runProcess(u"/bin/sh"_s,
                              {u"-c"_s, u"exec \"$0\" trash "_s + command + shellBytes(fx.outside().path(name)),
                               QStringLiteral(RUBBLY_BINARY)});
        };
        const ProcessResult put = run(u"put "_s);
        QVERIFY2(put.exitCode == 0, put.err.constData());
        QVERIFY(!TreeBuilder::exists(fx.outside().path(name)));
        QCOMPARE(TreeBuilder::read(fx.outside().path(lookalike)), QByteArray("the lookalike"));
        QCOMPARE(TreeBuilder::read(fx.filesPath() + '/' + name), QByteArray("the named one"));

        // With the lookalike in the Trash too, the restore takes the one named, byte for byte.
        QCOMPARE(rubbly(fx, {u"trash"_s, u"put"_s, QFile::decodeName(fx.outside().path(lookalike))}).exitCode, 0);
        const ProcessResult restore = run(u"restore "_s);
        QVERIFY2(restore.exitCode == 0, restore.err.constData());
        QCOMPARE(TreeBuilder::read(fx.outside().path(name)), QByteArray("the named one"));
        QVERIFY(!TreeBuilder::exists(fx.outside().path(lookalike)));
    }

    void usageErrorsExitTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        const auto row = [](const char* name, const QString& arguments) {
            QTest::newRow(name) << arguments.split(u' ');
        };
        row("put without paths", u"trash put"_s);
        // Anything but digits: an empty age once meant a full emptying.
        for (const QString& days : {u""_s, u"soon"_s, u"-3"_s, u"+5"_s, u" 5"_s, u"5.0"_s, u"\u0665"_s})
            QTest::newRow(qPrintable(u"days '%1'"_s.arg(days)))
                << QStringList{u"trash"_s, u"empty"_s, u"--older-than"_s, days};
        row("days glued with =", u"trash empty --older-than="_s);
        row("json on empty", u"trash empty --json"_s);
        row("unknown trash command", u"trash shred"_s);
        row("restore without paths", u"trash restore --all"_s);
        // Nothing is restored when one path names nothing, not even the entries the others name.
        row("restore of a path that names nothing", u"trash restore keep.txt /nowhere/keep.txt"_s);
        row("rename on put", u"trash put --rename /tmp"_s);
        row("restore --last with a path", u"trash restore --last keep.txt"_s);
        row("restore --last with nothing put yet", u"trash restore --last"_s);
        row("to without restore", u"trash list --to /tmp"_s);
        row("rm without a pattern", u"trash rm"_s);
        row("rm that matches nothing", u"trash rm keep.tx /home/user/*/keep.txt"_s);
        row("all on status", u"trash status --all"_s);
        row("unknown command", u"frobnicate"_s);
        row("unknown option", u"--frobnicate"_s);
    }
    void usageErrorsExitTwo()
    {
        QFETCH(QStringList, arguments);
        TrashFixture fx;
        fx.addFile("keep.txt", 10);
        const ProcessResult result = rubbly(fx, arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(!result.err.isEmpty());
        QVERIFY(TreeBuilder::exists(fx.filesPath() + "/keep.txt"));
    }

    // The listing is newest first, undated last. Of several entries from one place the newest goes
    // back; --all tries every one, and each that finds its place taken is a line of its own until
    // --rename puts it beside. Under a zone the system has no data for, dates read as UTC, as the C
    // library reads them, and an undated entry is never reported as removed by age.
    void listAndRestoreGoNewestFirst()
    {
        EnvGuard env;
        env.set("TZ", "Nowhere/Bogus");
        TrashFixture fx;
        const QByteArray original = fx.outside().path("a.txt");
        const QList<QPair<QByteArray, QByteArray>> entries{{"a.txt", "2026-01-05T10:00:00"},
                                                           {"a.2.txt", "2026-03-05T10:00:00"},
                                                           {"a.3.txt", "2026-02-05T10:00:00"},
                                                           {"rel.txt", "2025-01-05T10:00:00"}};
        for (const auto& [name, date] : entries) {
            fx.files().write(name, name);
            // A relative path in the home trash names no place: shown as written, never below the root.
            fx.writeInfo(name, name == "rel.txt" ? name : original, date);
        }
        fx.files().write("undated", "?");
        const QList<QByteArray> lines = rubbly(fx, {u"trash"_s, u"list"_s}).out.split('\n');
        const QByteArray in = "  (in " + fx.trashPath() + ")";
        QCOMPARE(lines.size(), 6);
        QVERIFY2(lines[0].startsWith("2026-03-05 10:00  ") && lines[0].endsWith("  " + original + in),
                 lines[0].constData());
        QVERIFY2(lines[3].endsWith("  rel.txt" + in), lines[3].constData());
        QVERIFY2(lines[4].endsWith("  (unknown place) " + fx.filesPath() + "/undated" + in), lines[4].constData());
        const ProcessResult json = rubbly(fx, {u"trash"_s, u"list"_s, u"--json"_s});
        const QJsonDocument document = QJsonDocument::fromJson(json.out);
        QCOMPARE(document.toJson(QJsonDocument::Indented), json.out);
        QCOMPARE(document.array().size(), 5);

        const QString cwd = QFile::decodeName(fx.outside().root());
        const ProcessResult newest = rubbly(fx, {u"trash"_s, u"restore"_s, u"a.txt"_s}, cwd);
        QCOMPARE(newest.out, "Restored " + original + "\n");
        QCOMPARE(TreeBuilder::read(original), "a.2.txt"_ba);
        const ProcessResult taken = rubbly(fx, {u"trash"_s, u"restore"_s, u"--all"_s, QFile::decodeName(original)});
        QCOMPARE(taken.exitCode, 1);
        QCOMPARE(taken.err.trimmed().split('\n').size(), 2);
        QVERIFY2(taken.err.contains("its original place is taken"), taken.err.constData());
        const ProcessResult renamed =
            rubbly(fx, {u"trash"_s, u"restore"_s, u"--all"_s, u"--rename"_s, u"./a.txt"_s}, cwd);
        QVERIFY2(renamed.exitCode == 0, renamed.err.constData());
        QCOMPARE(TreeBuilder::read(fx.outside().path("a (2).txt")) + TreeBuilder::read(fx.outside().path("a (3).txt")),
                 "a.3.txta.txt"_ba);
        QCOMPARE(QDir(QFile::decodeName(fx.filesPath())).entryList(QDir::Files),
                 (QStringList{u"rel.txt"_s, u"undated"_s}));
        const ProcessResult aged = rubbly(fx, {u"trash"_s, u"empty"_s, u"--older-than"_s, u"30"_s});
        QVERIFY2(aged.exitCode == 1 && aged.out.endsWith("0 failed; 1 kept without a readable date\n") &&
                     aged.err.contains("1 item stayed in the Trash because no deletion date"),
                 aged.out + aged.err);
    }

    // `list PATH` and `rm PATTERN` choose by original path: a path at or below the one given (relative,
    // tidied by name), a glob of the whole path ('*' stops at '/') or of the name, as trash-rm reads
    // them. A link entry goes as a link, its target stays; a name that is not UTF-8 is matched by bytes.
    void listAndRmChooseByOriginalPath_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArrayList>("chosen"); // listed, or removed
        QTest::newRow("list below a folder") << u"list sub"_s << QByteArrayList{"sub/c.o"};
        QTest::newRow("list, tidied by name") << u"list ../d/./sub/ sub/../b.c"_s << QByteArrayList{"b.c", "sub/c.o"};
        QTest::newRow("list nothing below") << u"list su"_s << QByteArrayList{};
        QTest::newRow("rm a glob of the name") << u"rm *.o"_s << QByteArrayList{"a.o", "sub/c.o", "link.o", "\xff.o"};
        QTest::newRow("rm a glob of the path") << u"rm ./*.o"_s << QByteArrayList{"a.o", "link.o", "\xff.o"};
        QTest::newRow("rm a relative path") << u"rm sub/c.o b.c"_s << QByteArrayList{"b.c", "sub/c.o"};
    }
    void listAndRmChooseByOriginalPath()
    {
        QFETCH(QString, command);
        QFETCH(QByteArrayList, chosen);
        TrashFixture fx;
        const QByteArray d = fx.outside().dir("d").path("d");
        fx.outside().file("target/kept", 10);
        const QByteArrayList names{"a.o", "b.c", "sub/c.o", "link.o", "\xff.o"};
        for (const QByteArray& name : names) {
            const QByteArray entry = name.mid(name.lastIndexOf('/') + 1);
            name == "link.o" ? fx.files().symlink(entry, fx.outside().path("target")) : fx.files().file(entry, 10);
            fx.writeInfo(entry, (d + '/' + name).toPercentEncoding("/"), "2026-03-01T10:00:00");
        }
        const ProcessResult result = rubbly(fx, (u"trash "_s + command).split(u' '), QFile::decodeName(d));
        QCOMPARE(result.exitCode, 0);
        for (const QByteArray& name : names) {
            const bool picked = chosen.contains(name);
            const bool left = TreeBuilder::exists(fx.filesPath() + '/' + name.mid(name.lastIndexOf('/') + 1));
            if (command.startsWith(u"list"))
                QVERIFY2(result.out.contains(d + '/' + name) == picked, result.out.constData());
            else
                QVERIFY2(left != picked &&
                             result.out.contains("Removed " + d + '/' + name) == (picked && name[0] != '\xff'),
                         (name + result.out + result.err).constData());
        }
        QVERIFY(TreeBuilder::exists(fx.outside().path("target/kept")));
    }

    // --last puts back what the last put or drop moved, once; --to puts an entry into a folder under its
    // own name, beside a taken one only with --rename.
    void restoreLastAndIntoAFolder()
    {
        TrashFixture fx;
        for (const char* name : {"a", "b", "c", "dropped"})
            fx.outside().write(name, name);
        const QString outside = QFile::decodeName(fx.outside().root());
        QCOMPARE(rubbly(fx, {u"trash"_s, u"put"_s, outside + u"/a"_s}).exitCode, 0);
        QCOMPARE(rubbly(fx, {u"trash"_s, u"put"_s, outside + u"/b"_s, outside + u"/c"_s}).exitCode, 0);
        QCOMPARE(fx.trashWithService({fx.outside().path("dropped")}).movedCount, 1); // as the panel drops
        const ProcessResult last = rubbly(fx, {u"trash"_s, u"restore"_s, u"--last"_s});
        QCOMPARE(last.out, "Restored " + fx.outside().path("dropped") + '\n');
        QCOMPARE(rubbly(fx, {u"trash"_s, u"restore"_s, u"--last"_s}).exitCode, 2);
        QVERIFY(!TreeBuilder::exists(fx.outside().path("b")));

        fx.outside().write("dest/a", "someone else's");
        const QStringList into{u"trash"_s, u"restore"_s, outside + u"/a"_s, u"--to"_s, u"dest"_s};
        const ProcessResult taken = rubbly(fx, into, outside);
        QVERIFY2(taken.exitCode == 1 && taken.err.contains("that name is taken there"), taken.err.constData());
        QCOMPARE(rubbly(fx, into + QStringList{u"--rename"_s}, outside).exitCode, 0);
        QCOMPARE(TreeBuilder::read(fx.outside().path("dest/a (2)")) + TreeBuilder::read(fx.outside().path("dest/a")),
                 "asomeone else's"_ba);
    }

    // A trash folder that cannot be used fails every command that reads it, and says which. (Which
    // folders cannot be used is the store's test; here files/ of a volume's trash is a link.)
    void unusableTrashFoldersFailEveryCommand()
    {
        TrashFixture fx;
        fx.addFile("in-home.txt", 10, "2001-01-01T00:00:00");
        const QByteArray volume = fx.addVolume("stick");
        TreeBuilder(volume).write("info/kept.trashinfo", "[Trash Info]\nPath=kept\n");
        fx.outside().file("Documents/tax.pdf", 4096);
        TreeBuilder::removeAll(volume + "/files");
        TreeBuilder(volume).symlink("files", fx.outside().path("Documents"));
        QByteArray json;
        for (const QString& command : {u"status --json"_s, u"status"_s, u"empty"_s}) {
            const ProcessResult result = rubbly(fx, (u"trash "_s + command).split(u' '));
            QVERIFY2(result.exitCode == 1 && result.err.contains(volume), qPrintable(command));
            json = json.isEmpty() ? result.out : json;
        }
        // Streamed like any listing: still one document, naming the folder it could not use.
        const QJsonDocument document = QJsonDocument::fromJson(json);
        QCOMPARE(document.toJson(QJsonDocument::Indented), json);
        const QJsonArray unusable = document[u"unusableTrashFolders"_s].toArray();
        QCOMPARE(unusable.size(), 1);
        QCOMPARE(unusable[0][u"path"_s].toString(), QFile::decodeName(volume));
        QCOMPARE(document[u"items"_s].toArray().size(), 1);
        QVERIFY(TreeBuilder::exists(fx.outside().path("Documents/tax.pdf")));
    }

    // A command's answer stands alone on the terminal: the engine's diagnostics, in English and naming
    // the host they talk to, come with --verbose only.
    void diagnosticsOnlyWhenAskedFor()
    {
        TrashFixture fx;
        HttpTestServer server;
        server.route(u"/version.json"_s, {500, "oops"});
        EnvGuard env;
        env.set("RUBBLY_UPDATE_BASE_URL", server.url(u"/"_s).toString().toUtf8());
        const ProcessResult quiet = rubbly(fx, {u"update"_s, u"check"_s});
        QVERIFY2(quiet.exitCode == 1 && quiet.err.count('\n') == 1, quiet.err.constData());
        const ProcessResult verbose = rubbly(fx, {u"update"_s, u"check"_s, u"--verbose"_s});
        QVERIFY2(verbose.err.contains("asking " + server.url(u"/"_s).host().toUtf8()), verbose.err.constData());
    }

    // An info file on a stick says what its writer wants, a mount point is named by whoever mounted
    // it: text output escapes their control bytes, so none drives the terminal or forges a line.
    void textOutputEscapesWhatComesFromOutside()
    {
        TrashFixture fx;
        fx.files().file("x\x1b[2J", 10);
        fx.writeInfo("x\x1b[2J", "/tmp/x%1B%5D0%3Bowned%07%0A2020-01-01", "2026-03-01T10:00:00");
        TreeBuilder(fx.addVolume("stick\nx")).file("files/y", 10);
        for (const QString& command : {u"list"_s, u"status"_s}) {
            const QByteArray out = rubbly(fx, {u"trash"_s, command}).out;
            QVERIFY2(std::none_of(out.cbegin(), out.cend(), [](char c) { return c != '\n' && uchar(c) < 0x20; }),
                     out.constData());
            QVERIFY2(out.contains("/tmp/x\\033]0;owned\\a\\n2020-01-01") && out.contains("/stick\\nx/.Trash-"),
                     out.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TrashCommandLineTest)
#include "TrashCommandLineTest.moc"
