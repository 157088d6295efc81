#include "TrashAccess.h"
#include "TreeBuilder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace rubbly;
using namespace rubbly::test;

namespace {

using Kind = TrashAccessProblem::Kind;

// A home trash and a volume trash in a temporary folder, both whole and ours.
struct Trashes {
    QTemporaryDir dir;
    TreeBuilder tree{QFile::encodeName(dir.path())};
    TrashDirectory home{tree.path("home/.local/share/Trash"), {}, true};
    TrashDirectory volume{tree.path("USB STICK/.Trash-1000"), tree.path("USB STICK"), false};

    Trashes()
    {
        for (const TrashDirectory& trash : {home, volume})
            tree.dir(relative(trash.filesPath()), 0700).dir(relative(trash.infoPath()), 0700);
    }
    // Whatever a case took away, so the temporary folder can be removed; never through a link (a case
    // makes files/ one, and chmod would change what it points at).
    ~Trashes() { TreeBuilder::makeWritable(tree.root()); }
    std::optional<TrashAccessProblem> check() const { return checkTrashAccess(locations(), {home, volume}); }
    static TrashLocations locations(uid_t uid = ::getuid()) { return TrashLocations({}, "/dev/null", uid); }
    QByteArray relative(const QByteArray& path) const { return path.mid(tree.root().size() + 1); }
};

} // namespace

// The check runs on real folders; its verdicts come from owners and mode bits, so they hold for an
// ordinary user and for root alike (scripts/test runs it as both).
class TrashAccessTest : public QObject {
    Q_OBJECT
private Q_SLOTS:

    void theFirstProblemIsNamedWithItsTrash_data()
    {
        QTest::addColumn<QByteArray>("folder"); // relative to the temporary folder; the mode it gets
        QTest::addColumn<int>("mode");
        QTest::addColumn<Kind>("kind");
        const auto row = [](const char* name, const char* folder, int mode, Kind kind) {
            QTest::newRow(name) << QByteArray(folder) << mode << kind;
        };
        row("files/ that we may not list (0300)", "home/.local/share/Trash/files", 0300, Kind::NotReadable);
        row("info/ that we may not change (0500)", "home/.local/share/Trash/info", 0500, Kind::NotWritable);
        row("the trash itself, not enterable (0600)", "home/.local/share/Trash", 0600, Kind::NotWritable);
        row("a folder in files/ that cannot be emptied", "home/.local/share/Trash/files/project", 0500,
            Kind::NotWritable);
        row("a volume trash after a whole home trash", "USB STICK/.Trash-1000/files", 0300, Kind::NotReadable);
    }
    void theFirstProblemIsNamedWithItsTrash()
    {
        QFETCH(QByteArray, folder);
        QFETCH(int, mode);
        QFETCH(Kind, kind);
        Trashes trashes;
        trashes.tree.dir(folder).chmod(folder, static_cast<mode_t>(mode));
        const QByteArray trash = folder.startsWith("USB") ? trashes.volume.path : trashes.home.path;
        QCOMPARE(trashes.check(),
                 (std::optional(TrashAccessProblem{
                     kind, trashes.tree.path(folder), trash, ::getuid(), static_cast<mode_t>(mode), {}})));
    }

    void aFolderOfAnotherUserIsNotOurs()
    {
        // A folder root owns, as a Trash is after a file manager ran under sudo. For an ordinary user
        // /usr is one; root checks the same folders on behalf of another user.
        const uid_t checker = ::getuid() == 0 ? 65534 : ::getuid();
        QCOMPARE(checkTrashAccess(Trashes::locations(checker), {TrashDirectory{"/usr", {}, false}}).value().kind,
                 Kind::NotOwned);
    }

    // Whatever the engine refuses, the check names with its part: a link to a folder of ours (the
    // home trash itself too), a missing home trash or part. A volume's trash that is not there at all
    // is simply not used.
    void whatTheEngineRefusesIsNamed_data()
    {
        QTest::addColumn<QByteArray>("part"); // made a link to a folder of ours, or removed
        QTest::addColumn<Kind>("kind");
        const QByteArray home = "home/.local/share/Trash", stick = "USB STICK/.Trash-1000";
        QTest::newRow("the home trash is a link") << home << Kind::Link;
        QTest::newRow("files/ is a link") << home + "/files" << Kind::Link;
        QTest::newRow("a volume's trash is a link") << stick << Kind::Link;
        QTest::newRow("no home trash") << home << Kind::Missing;
        QTest::newRow("info/ is missing") << stick + "/info" << Kind::Missing;
    }
    void whatTheEngineRefusesIsNamed()
    {
        QFETCH(QByteArray, part);
        QFETCH(Kind, kind);
        Trashes trashes;
        QVERIFY(QDir(QFile::decodeName(trashes.tree.path(part))).removeRecursively());
        if (kind == Kind::Link)
            trashes.tree.dir("elsewhere/files", 0700)
                .dir("elsewhere/info", 0700)
                .symlink(part, trashes.tree.path("elsewhere"));
        const auto problem = trashes.check();
        QVERIFY(problem);
        QCOMPARE(problem->kind, kind);
        QCOMPARE(problem->path, trashes.tree.path(part));
        const TrashDirectory gone{trashes.tree.path("gone/.Trash-1000"), trashes.tree.path("gone"), false};
        QCOMPARE(checkTrashAccess(Trashes::locations(), {gone}), std::nullopt);
    }

    void theRepairCommandIsExactAndQuoted_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("trash");
        QTest::addColumn<QString>("command");
        const auto row = [](const char* name, Kind kind, const char* trash, const char* command) {
            QTest::newRow(name) << kind << QByteArray(trash) << QString::fromUtf8(command);
        };
        const char* home = "/home/u/.local/share/Trash";
        row("another user's home trash", Kind::NotOwned, home, "sudo chown -R \"$USER\": ~/.local/share/Trash");
        row("a file in the way: only the user can tell", Kind::NotAFolder, home, "");
        row("a link moves aside, never its target", Kind::Link, home,
            "mv -n -T ~/.local/share/Trash ~/.local/share/Trash.link && "
            "mkdir -p -m 700 ~/.local/share/Trash/files ~/.local/share/Trash/info");
        row("a volume with a space", Kind::NotOwned, "/media/u/USB STICK/.Trash-1000",
            "sudo chown -R \"$USER\": '/media/u/USB STICK/.Trash-1000'");
        row("a quote and a dollar under home", Kind::NotReadable, "/home/u/it's $HOME/Trash",
            "chmod -R u+rwX ~/'it'\\''s $HOME/Trash'");
        row("a missing home trash", Kind::Missing, home,
            "mkdir -p -m 700 ~/.local/share/Trash/files ~/.local/share/Trash/info");
        row("a stick named in another encoding: its exact bytes", Kind::NotOwned, "/media/u/stick\xff/.Trash-0",
            "sudo chown -R \"$USER\": $'/media/u/stick\\xff/.Trash-0'");
        row("a quote beside such a byte", Kind::NotReadable, "/home/u/it's \xe9t\xe9/Trash",
            "chmod -R u+rwX ~/$'it\\'s \\xe9t\\xe9/Trash'");
        row("an escape byte is shown, not sent to the terminal", Kind::NotOwned, "/media/u/a\x1b]0;x\x07/.Trash-0",
            "sudo chown -R \"$USER\": $'/media/u/a\\x1b]0;x\\x07/.Trash-0'");
        row("UTF-8 and a newline stay as they are", Kind::NotOwned, "/media/u/Cl\xc3\xa9\n$(x)`y`/.Trash-0",
            "sudo chown -R \"$USER\": '/media/u/Cl\xc3\xa9\n$(x)`y`/.Trash-0'");
        row("a home folder of its own name is not under it", Kind::NotOwned, "/home/u2/.local/share/Trash",
            "sudo chown -R \"$USER\": /home/u2/.local/share/Trash");
    }
    void theRepairCommandIsExactAndQuoted()
    {
        QFETCH(Kind, kind);
        QFETCH(QByteArray, trash);
        QFETCH(QString, command);
        QCOMPARE(repairCommand({kind, kind == Kind::Link ? trash : trash + "/files", trash, 0, 0, {}}, "/home/u"),
                 command);
    }
};

QTEST_GUILESS_MAIN(TrashAccessTest)
#include "TrashAccessTest.moc"
