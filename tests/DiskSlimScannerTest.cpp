#include "DiskSlimScanner.h"
#include "EnvGuard.h"
#include "ProcessRunner.h"
#include "TempHome.h"
#include "TreeBuilder.h"
#include "XdgPaths.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <functional>
#include <sys/stat.h>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;
using C = DiskSlimCategory;

namespace {

QStringList names(const DiskSlimItem& item, bool sorted = true)
{
    QStringList result;
    for (const DiskSlimSubItem& sub : item.subItems)
        result.append(sub.name);
    if (sorted)
        result.sort();
    return result;
}

// A scanner of a temporary home, and a builder for that home.
struct Home {
    TempHome home;
    TreeBuilder tree{QFile::encodeName(home.home())};
    DiskSlimScanner scanner{xdg::slimRoots()};
};

// What `du -sB1` counts for the paths together: allocated bytes of everything, folders included, an
// inode with several links once. Paths that do not exist count nothing.
qint64 du(const QList<QByteArray>& paths)
{
    QStringList arguments{QStringLiteral("-sB1"), QStringLiteral("-c"), QStringLiteral("--")};
    for (const QByteArray& path : paths)
        if (TreeBuilder::exists(path))
            arguments.append(QFile::decodeName(path));
    if (arguments.size() == 3)
        return 0;
    const ProcessResult result = runProcess(QStringLiteral("du"), arguments);
    const QList<QByteArray> lines = result.out.trimmed().split('\n');
    return result.exitCode == 0 ? lines.last().split('\t').first().toLongLong() : -1;
}

QList<QByteArray> subItemPaths(const DiskSlimItem& item)
{
    QList<QByteArray> paths;
    for (const DiskSlimSubItem& sub : item.subItems)
        paths.append(sub.path);
    return paths;
}

} // namespace

class DiskSlimScannerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void categoriesAreChosenByOwnerOrFolder()
    {
        Home h;
        h.tree.dir(".cache/google-chrome"); // Chrome not installed, but its cache folder exists
        h.tree.dir(".cache/go-build");
        const QList<C> chosen = h.scanner.chooseCategories({});
        QVERIFY(chosen.contains(C::ChromeCache));
        QVERIFY(chosen.contains(C::GoCache));         // unowned, folder present
        QVERIFY(!chosen.contains(C::CocoaPodsCache)); // unowned, no folder: nothing to find
        QVERIFY(!chosen.contains(C::FirefoxCache));   // owned, absent, no folder
        QVERIFY(h.scanner.chooseCategories({QStringLiteral("firefox")}).contains(C::FirefoxCache));
        QVERIFY(!h.scanner.chooseCategories({QStringLiteral("Firefox")}).contains(C::FirefoxCache)); // exact ids
        QVERIFY(std::adjacent_find(chosen.cbegin(), chosen.cend(), std::greater_equal<>()) == chosen.cend());
    }

    void subItemsAreSortedLargestFirstAndEmptyOnesDropped()
    {
        Home h;
        h.tree.file(".cache/go-build/aa/one", 4096).file(".cache/go-build/aa/two", 4096);
        h.tree.file(".cache/go-build/bb/big", 40960).file(".cache/go-build/small", 100);
        h.tree.file(".cache/go-build/.hidden-big", 1 << 20);
        const auto item = h.scanner.measure(C::GoCache);
        QVERIFY(item);
        QCOMPARE(names(*item, false), (QStringList{u"bb"_s, u"aa"_s, u"small"_s})); // hidden: not a sub-item
        QVERIFY(item->subItems[1].isDirectory && item->subItems[1].modificationDate && item->isSelected);
        // Folders holding nothing but empty folders give no item, though the folders take blocks.
        h.tree.dir(".cache/pip/http/a/b").dir(".cache/yarn");
        QVERIFY(!h.scanner.measure(C::PythonPipUvCache));
        QVERIFY(!h.scanner.measure(C::YarnCache));
    }

    // Real shapes of caches: what a sub-item measures is what deleting it frees, hidden files and
    // folders included, and a purge reports what it deleted. Keys, tokens and credential files stay
    // wherever they lie: the purge deletes around them, and neither the size nor the freed figure
    // counts them or the folders left holding them.
    void sizesAreWhatThePurgeFrees_data()
    {
        QTest::addColumn<C>("category");
        QTest::addColumn<QList<QByteArray>>("files"); // a trailing '/' makes an empty folder
        QTest::addColumn<QList<QByteArray>>("kept");
        // The paths of a row lie in its folder and are separated by spaces; '+' stands for a space.
        const auto row = [](const char* name, C category, const QByteArray& folder, const QByteArray& files,
                            const QByteArray& kept = {}) {
            const auto paths = [&](const QByteArray& list) {
                QList<QByteArray> result;
                for (const QByteArray& path : list.split(' '))
                    result.append(folder + QByteArray(path).replace('+', ' '));
                return list.isEmpty() ? QList<QByteArray>{} : result;
            };
            QTest::newRow(name) << category << paths(files) << paths(kept);
        };
        row("yarn 1 with its hidden tarballs and nested folders", C::YarnCache, ".cache/yarn/v6/",
            "npm-a-1.0.0-0a/node_modules/a/.yarn-tarball.tgz npm-a-1.0.0-0a/node_modules/a/.yarn-metadata.json "
            "npm-a-1.0.0-0a/node_modules/a/lib/util/deep.js npm-b-2.0.0-1b/node_modules/b/package.json .tmp/partial");
        row("pip with an empty folder beside files", C::PythonPipUvCache, ".cache/pip/",
            "http-v2/a/b/c/d http-v2/empty/er/ selfcheck/.keep");
        // Ollama's signing key, Hugging Face's tokens and Aider's keys, wherever the catalogue looks.
        row("keys and tokens beside a candidate's caches", C::OllamaCache, ".ollama/",
            "id_ed25519 id_ed25519.pub token stored_tokens oauth-keys.env history models/blobs/sha256-1",
            "id_ed25519 id_ed25519.pub token stored_tokens oauth-keys.env");
        row("a key deep inside a sub-item", C::GoCache, ".cache/go-build/",
            "aa/certs/server.PEM aa/certs/ca.crt aa/bb/x aa/y zz/id_rsa-cert.pub",
            "aa/certs/server.PEM zz/id_rsa-cert.pub");
        row("credential files inside a package", C::YarnCache, ".cache/yarn/v6/",
            "pkg/credentials.toml pkg/.credentials.json pkg/a.js other/b.js pkg/.ssh/known",
            "pkg/credentials.toml pkg/.credentials.json pkg/.ssh/known");
        row("container, cluster, database and browser secrets", C::PythonPipUvCache, ".cache/pip/sub/",
            ".docker/config.json .kube/config kubeconfig .pgpass .my.cnf .s3cfg .vault-token a.gpg b.kdbx c.ppk "
            "keyrings/login.keyring Default/Login+Data Default/Cookies Default/Cache/f_0001 wheels/x.whl",
            ".docker/config.json .kube/config kubeconfig .pgpass .my.cnf .s3cfg .vault-token a.gpg b.kdbx c.ppk "
            "keyrings/login.keyring Default/Login+Data Default/Cookies");
    }
    void sizesAreWhatThePurgeFrees()
    {
        QFETCH(C, category);
        QFETCH(QList<QByteArray>, files);
        QFETCH(QList<QByteArray>, kept);
        Home h;
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (files[i].endsWith('/'))
                h.tree.dir(files[i]);
            else
                h.tree.file(files[i], 1000 * (i + 1));
        }
        const auto item = h.scanner.measure(category);
        QVERIFY(item);
        const QList<QByteArray> paths = subItemPaths(*item);
        const qint64 before = du(paths);
        const SlimPurgeResult result = h.scanner.purge(*item);
        QCOMPARE(result.removedCount, item->subItems.size());
        QCOMPARE(result.failedCount, 0);
        QCOMPARE(result.freedBytes, before - du(paths));
        QCOMPARE(item->size, result.freedBytes);
        if (kept.isEmpty())
            QCOMPARE(du(paths), 0);
        for (const QByteArray& file : files)
            QVERIFY2(TreeBuilder::exists(h.tree.path(file)) == kept.contains(file), file.constData());
    }

    void usersOwnWorkIsFoundButStartsUnselected()
    {
        Home h;
        h.tree.file(".claude/skills/review/SKILL.md", 4096).file(".config/skills/mine/run.sh", 4096);
        h.tree.file(".claude/projects/-home-me-app/4f2c.jsonl", 8192);
        for (C category : {C::AiSkills, C::AiWorkspaces}) {
            const auto item = h.scanner.measure(category);
            QVERIFY(item && item->size > 0 && !item->isSelected);
            for (const DiskSlimSubItem& sub : item->subItems)
                QVERIFY(!sub.isSelected);
        }
        QVERIFY(h.scanner.measure(C::AiArtifactsBrain) == std::nullopt);
    }

    // Tools that follow an XDG base directory variable keep their data below its folder when it is
    // set to a usable path, and below their default in the home folder otherwise. A base that is '/',
    // the home or a folder holding it, however spelled, is not usable: the home's own "pip" or
    // "Slack" folders are no cache. The program's own folders follow the same rule. '@' stands for a
    // folder outside the home.
    void placesFollowTheXdgVariables_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<C>("category");
        QTest::addColumn<QByteArray>("found");
        QTest::addColumn<QByteArray>("ignored");
        QTest::addColumn<bool>("usable");
        const auto row = [](const char* name, const char* variable, const char* value, C category, const char* found,
                            const char* ignored, bool usable = true) {
            QTest::newRow(name) << QByteArray(variable) << QByteArray(value) << category << QByteArray(found)
                                << QByteArray(ignored) << usable;
        };
        const char* data = "XDG_DATA_HOME";
        const char* cache = "XDG_CACHE_HOME";
        const char* config = "XDG_CONFIG_HOME";
        row("yarn 4, XDG_DATA_HOME set", data, "@/data", C::YarnCache, "@/data/yarn/berry/cache/pkg-npm-1.0.0-a1.zip",
            ".yarn/berry/cache/stale.zip");
        row("pip, XDG_CACHE_HOME relative", cache, "cache", C::PythonPipUvCache, ".cache/pip/http-v2",
            "cache/pip/wrong", false);
        row("pnpm store, XDG_DATA_HOME set", data, "@/data/", C::PnpmStore, "@/data/pnpm/store/v3",
            ".local/share/pnpm/store/v3");
        row("a base through a link outside the home is taken as named", cache, "@/linked", C::GoCache,
            "@/linked/go-build/aa", "");
        row("a base through a link inside the home is not followed", cache, "~/linked", C::GoCache, "",
            "~/linked/go-build/aa");
        row("the Trash inside a candidate is never offered", data, "~/.cache/huggingface/data", C::HuggingFaceCache,
            ".cache/huggingface/xet", ".cache/huggingface/data/Trash/files/precious");
        row("XDG_CACHE_HOME is the home", cache, "~", C::PythonPipUvCache, ".cache/pip/http-v2", "pip/src/main.py",
            false);
        row("XDG_CACHE_HOME is the home with a trailing slash", cache, "~/", C::YarnCache, ".cache/yarn/v6",
            "yarn/src/index.js", false);
        row("XDG_CACHE_HOME is the home with '//' and '.'", cache, "~//./", C::JetbrainsCache, ".cache/JetBrains/a",
            "JetBrains/notes.txt", false);
        row("XDG_CACHE_HOME climbs back to the home", cache, "~/.cache/..", C::PytorchCache, ".cache/torch/kernels/k1",
            "torch/kernels/k1", false);
        row("XDG_CACHE_HOME is a link to the home", cache, "@/home-link", C::PythonPipUvCache, ".cache/pip/http-v2",
            "pip/src/main.py", false);
        row("XDG_CACHE_HOME holds the home", cache, "~/..", C::PythonPipUvCache, ".cache/pip/http-v2",
            "~/../pip/src/main.py", false);
        row("XDG_CACHE_HOME is the root", cache, "/", C::PythonPipUvCache, ".cache/pip/http-v2", "", false);
        row("XDG_CONFIG_HOME is the home", config, "~", C::SlackDiscordCache, ".config/Slack/Cache/a",
            "Slack/Cache/letter.odt", false);
        row("XDG_DATA_HOME is the home", data, "~/", C::PnpmStore, ".local/share/pnpm/store/v3", "pnpm/store/v3/mine",
            false);
    }
    void placesFollowTheXdgVariables()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QByteArray, value);
        QFETCH(C, category);
        QFETCH(QByteArray, found);
        QFETCH(QByteArray, ignored);
        QFETCH(bool, usable);
        Home h;
        TreeBuilder outside(QFile::encodeName(h.home.root() + u"/elsewhere"_s));
        const auto place = [&](QByteArray path) {
            path.replace("~", h.tree.root()).replace("@", outside.root());
            return path.startsWith('/') ? path : h.tree.path(path);
        };
        // "linked" is a link to a real folder, outside the home and in it.
        outside.dir("real").symlink("linked", outside.path("real")).symlink("home-link", h.tree.root());
        h.tree.dir("real").symlink("linked", h.tree.path("real"));
        EnvGuard env;
        env.set(variable.constData(), value.startsWith('~') || value.startsWith('@') ? place(value) : value);
        for (const QByteArray& file : {found, ignored}) {
            if (!file.isEmpty())
                TreeBuilder("/").file(place(file).mid(1), 4096);
        }
        const auto item = DiskSlimScanner(xdg::slimRoots()).measure(category);
        QCOMPARE(item ? subItemPaths(*item) : QList<QByteArray>{},
                 found.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{place(found)});
        const bool isData = variable == "XDG_DATA_HOME", isCache = variable == "XDG_CACHE_HOME";
        const QString base = isData ? xdg::dataHome() : isCache ? xdg::cacheHome() : xdg::configHome();
        const QString fallback = isData ? h.home.dataHome() : isCache ? h.home.cacheHome() : h.home.configHome();
        QCOMPARE(base, usable ? QDir::cleanPath(QFile::decodeName(place(value))) : fallback);
    }

    void downloadsOnlyOffersInstallers()
    {
        Home h;
        TreeBuilder downloads(h.tree.path("Downloads"));
        // Top-level, visible, and named exactly so: not upper case, not a download still running.
        downloads.file("a.deb", 100).file("c.iso", 100).file("e.DEB", 100).file(".f.iso", 100).file("photo.jpg", 100);
        downloads.file("i.deb.part", 100).file("older/j.deb", 100);
        const auto item = h.scanner.measure(C::DmgInstallers);
        QVERIFY(item);
        QCOMPARE(names(*item), (QStringList{u"a.deb"_s, u"c.iso"_s}));
    }

    void nestedCandidatesAreNotCountedTwiceWithinACategory()
    {
        Home h;
        h.tree.file(".npm/_cacache/index", 8192).file(".npm/_logs/debug.log", 4096);
        const auto npm = h.scanner.measure(C::NpmCache);
        // _cacache is measured as its own candidate, so .npm offers only what else it holds.
        QCOMPARE(npm->size, du({h.tree.path(".npm/_cacache/index"), h.tree.path(".npm/_logs")}));
        QCOMPARE(names(*npm), (QStringList{u"_logs"_s, u"index"_s}));
        // Across categories a folder counts in each that names it.
        h.tree.file(".config/Cursor/User/workspaceStorage/ws1/state", 4096);
        QCOMPARE(h.scanner.measure(C::AiWorkspaces)->size, h.scanner.measure(C::AiEditorCache)->size);
    }

    void symlinkedCandidatesAndChildrenAreNeverFollowed()
    {
        Home h;
        h.tree.file("precious/photos/a.jpg", 4096).file("precious/b.jpg", 4096);
        h.tree.symlink(".cache/pip", h.tree.path("precious")); // the candidate itself is a link
        h.tree.dir(".cache/pypoetry").symlink(".cache/pypoetry/cache", h.tree.path("precious"));
        h.tree.file(".cache/yarn/real", 4096).symlink(".cache/yarn/link", h.tree.path("precious"));
        QVERIFY(!h.scanner.measure(C::PythonPipUvCache));
        const auto yarn = h.scanner.measure(C::YarnCache);
        QCOMPARE(yarn->subItems.size(), 2);
        // The link counts what it takes itself, which depends on its target's length (ext4 keeps a
        // target of 60 bytes or more in a block of its own), never what it points to.
        struct stat link = {};
        QCOMPARE(::lstat(h.tree.path(".cache/yarn/link").constData(), &link), 0);
        for (const DiskSlimSubItem& sub : yarn->subItems)
            QVERIFY(sub.name != QLatin1String("link") || sub.size == qint64(link.st_blocks) * 512);
        QCOMPARE(h.scanner.purge(*yarn).removedCount, 2);
        QVERIFY(TreeBuilder::exists(h.tree.path("precious/photos/a.jpg")));
        QVERIFY(TreeBuilder::exists(h.tree.path(".cache/yarn")));
    }

    void purgeRemovesOnlySelectedSubItemsAndCountsWhatWent()
    {
        Home h;
        TreeBuilder tree(h.tree.path(".cache/go-build"));
        tree.file("keep/x", 4096).file("drop/y", 8192).file("gone/z", 4096);
        DiskSlimItem item = *h.scanner.measure(C::GoCache);
        for (DiskSlimSubItem& sub : item.subItems)
            sub.isSelected = sub.name != QLatin1String("keep");
        TreeBuilder::makeWritable(tree.path("gone"));
        QVERIFY(QDir(QFile::decodeName(tree.path("gone"))).removeRecursively()); // vanished since the scan
        tree.file("drop/grew", 1 << 20); // grown since the scan: what was deleted counts
        const qint64 dropped = du({tree.path("drop")});
        const SlimPurgeResult result = h.scanner.purge(item);
        QCOMPARE(result.removedCount, 1);
        QCOMPARE(result.freedBytes, dropped);
        QVERIFY(TreeBuilder::exists(tree.path("keep/x")) && !TreeBuilder::exists(tree.path("drop")));

        for (DiskSlimSubItem& sub : item.subItems)
            sub.isSelected = false;
        QCOMPARE(h.scanner.purge(item), SlimPurgeResult{});
    }

    // A folder of many entries lists only the largest; the others are counted, and a purge takes
    // them with the category's tick as long as they have not changed since the scan.
    void manyEntriesListOnlyTheLargest()
    {
        Home h;
        TreeBuilder downloads(h.tree.path("Downloads"));
        QList<QByteArray> all;
        for (int i = 0; i < kDiskSlimListedSubItems + 50; ++i) {
            all.append(downloads.path("p" + QByteArray::number(i) + ".deb"));
            downloads.file("p" + QByteArray::number(i) + ".deb", i < 10 ? 1 << 16 : 100);
        }
        const auto measured = h.scanner.measure(C::DmgInstallers);
        QCOMPARE(measured->subItems.size(), kDiskSlimListedSubItems);
        QCOMPARE(measured->unlistedCount, 50);
        QCOMPARE(measured->size, du(all));
        QCOMPARE(measured->unlistedSize, du(all) - du(subItemPaths(*measured)));
        QCOMPARE(measured->subItems[9].size, du({all[9]}));
        // Stored and read back, as the tab keeps it.
        DiskSlimItem item = DiskSlimSnapshot::fromJson(DiskSlimSnapshot{{}, {*measured}}.toJson())->items[0];
        for (DiskSlimSubItem& sub : item.subItems)
            sub.isSelected = false;
        item.changedUpTo = *measured->changedUpTo - std::chrono::seconds(1);
        QCOMPARE(h.scanner.purge(item), SlimPurgeResult{});
        item.changedUpTo = DiskSlimSnapshot::fromJson(DiskSlimSnapshot{{}, {*measured}}.toJson())->items[0].changedUpTo;
        QCOMPARE(h.scanner.purge(item), (SlimPurgeResult{50, measured->unlistedSize, 0}));
        QCOMPARE(du(all), du(subItemPaths(*measured)));
    }

    void purgeRefusesPathsOutsideTheCategorysFolders()
    {
        Home h;
        h.tree.file("Documents/thesis.pdf", 4096).file(".cache/go-build/a", 4096);
        const auto forged = [&h](const char* name, const QByteArray& path, bool isDirectory) {
            return DiskSlimSubItem{QString::fromLatin1(name), h.tree.path(path), 1, std::nullopt, isDirectory, true};
        };
        h.tree.file(".cache/go-build/id_ed25519", 4096).file(".cache/go-build/.hidden", 4096);
        h.tree.file(".npm/_cacache/x", 4096);
        DiskSlimItem item{C::GoCache, 1, 1, true, {}};
        item.subItems = {forged("thesis.pdf", "Documents/thesis.pdf", false), forged("..", ".cache/go-build/..", true),
                         forged("go-build", ".cache/go-build", true),
                         forged("key", ".cache/go-build/id_ed25519", false),
                         forged("hidden", ".cache/go-build/.hidden", false)};
        const SlimPurgeResult result = h.scanner.purge(item);
        QCOMPARE(result.removedCount, 0);
        QCOMPARE(result.failedCount, 5);
        // A snapshot may not name another candidate of the category either.
        QCOMPARE(h.scanner.purge(DiskSlimItem{C::NpmCache, 1, 1, true, {forged("_cacache", ".npm/_cacache", true)}})
                     .failedCount,
                 1);
        for (const QByteArray path : {"Documents/thesis.pdf", ".cache/go-build/a", ".cache/go-build/id_ed25519",
                                      ".cache/go-build/.hidden", ".npm/_cacache/x"})
            QVERIFY2(TreeBuilder::exists(h.tree.path(path)), path.constData());
    }

    void selectedItemWithoutSubItemsEmptiesItsFoldersButKeepsThem()
    {
        Home h;
        h.tree.file(".npm/_cacache/a", 4096).file(".npm/b", 4096).file(".npm/.hidden", 4096);
        QCOMPARE(h.scanner.purge(DiskSlimItem{C::NpmCache, 0, 0, true, {}}).removedCount, 2);
        QVERIFY(TreeBuilder::exists(h.tree.path(".npm/_cacache")));
        QVERIFY(TreeBuilder::exists(h.tree.path(".npm/.hidden")));
        QVERIFY(!TreeBuilder::exists(h.tree.path(".npm/b")));
        QCOMPARE(h.scanner.purge(DiskSlimItem{C::NpmCache, 0, 0, false, {}}), SlimPurgeResult{});
    }
};

QTEST_GUILESS_MAIN(DiskSlimScannerTest)
#include "DiskSlimScannerTest.moc"
