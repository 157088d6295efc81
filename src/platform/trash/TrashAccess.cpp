#include "TrashAccess.h"

#include "DirectoryListing.h"

#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rubbly {

namespace {

// The problem of one real folder of ours, judged by its owner's bits: the check runs as that owner
// (root opens anything, so the engine would not notice). Nothing for anything else, which the
// engine's own checks judge.
std::optional<TrashAccessProblem> checkModes(const struct stat& st, const QByteArray& path, const QByteArray& trash,
                                             uid_t uid)
{
    if (!S_ISDIR(st.st_mode) || st.st_uid != uid)
        return std::nullopt;
    TrashAccessProblem problem{TrashAccessProblem::Kind::NotReadable, path, trash, st.st_uid, st.st_mode & 07777, {}};
    if ((st.st_mode & S_IRUSR) == 0)
        return problem;
    problem.kind = TrashAccessProblem::Kind::NotWritable;
    if ((st.st_mode & (S_IWUSR | S_IXUSR)) != (S_IWUSR | S_IXUSR))
        return problem;
    return std::nullopt;
}

std::optional<TrashAccessProblem> checkModes(const QByteArray& path, const QByteArray& trash, uid_t uid)
{
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0)
        return std::nullopt;
    return checkModes(st, path, trash, uid);
}

// What the engine's refusal of `trash` means to the user: the part it names, looked at once more.
TrashAccessProblem problemOf(const TrashFolderProblem& refused, const QByteArray& failedPart,
                             const TrashDirectory& trash, uid_t uid)
{
    using Kind = TrashAccessProblem::Kind;
    const QByteArray part = failedPart.isEmpty() ? trash.path : failedPart;
    TrashAccessProblem problem{Kind::Unusable, part, trash.path, uid, 0, refused};
    // Above the trash folder (its parent, a volume's shared .Trash) nothing is ours to move or give
    // back: the engine's words are all there is to say.
    const bool ours = part == trash.path || part.startsWith(trash.path + '/');
    struct stat st = {};
    if (::lstat(part.constData(), &st) != 0) {
        if (errno == ENOENT && (ours || trash.isHome))
            problem = TrashAccessProblem{Kind::Missing, ours ? part : trash.path, trash.path, uid, 0, {}};
        return problem;
    }
    if (!ours)
        return problem;
    problem.owner = st.st_uid;
    problem.mode = st.st_mode & 07777;
    if (S_ISLNK(st.st_mode))
        problem.kind = Kind::Link;
    else if (!S_ISDIR(st.st_mode))
        problem.kind = Kind::NotAFolder;
    else if (st.st_uid != uid)
        problem.kind = Kind::NotOwned;
    else if (refused.errorCode == EACCES)
        problem.kind = Kind::NotReadable;
    return problem;
}

bool isShellSafe(const QByteArray& text)
{
    for (const char c : text) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                          c == '.' || c == '_' || c == '-' || c == '+' || c == ',' || c == ':' || c == '@' || c == '%';
        if (!safe)
            return false;
    }
    return !text.isEmpty();
}

// The length of the UTF-8 sequence of a printable character at `at`, or 0 for a byte that does not
// start one (a control byte, a broken or overlong sequence, an invisible or format character).
qsizetype printableSequence(const QByteArray& text, qsizetype at)
{
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80)
        return byte >= 0x20 && byte != 0x7f ? 1 : 0;
    const qsizetype length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc2 ? 2 : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(QByteArrayView(text).sliced(at, length));
    if (decoder.hasError() || decoded.isEmpty())
        return 0;
    const char32_t code = decoded.size() == 2 ? QChar::surrogateToUcs4(decoded[0], decoded[1]) : decoded[0].unicode();
    return decoded.size() <= 2 && QChar::isPrint(code) ? length : 0;
}

// Single quotes keep everything literal; a quote inside is closed, escaped and reopened. A name whose
// bytes are not all printable UTF-8 (a stick named in another encoding, an escape byte, an invisible
// character) is written as $'…' with \xHH for those bytes instead: pasted into a terminal it names
// those exact bytes, where a replacement character would name another folder or none.
QString shellQuoted(const QByteArray& text)
{
    if (isShellSafe(text))
        return QString::fromLatin1(text);
    bool plain = true;
    for (qsizetype i = 0; i < text.size() && plain;) {
        const qsizetype length = text[i] == '\n' || text[i] == '\t' ? 1 : printableSequence(text, i);
        plain = length > 0;
        i += length;
    }
    if (plain) {
        QByteArray quoted = text;
        quoted.replace('\'', "'\\''");
        return QString::fromUtf8("'" + quoted + "'");
    }
    QByteArray quoted = "$'";
    for (qsizetype i = 0; i < text.size();) {
        const char c = text[i];
        if (const qsizetype length = printableSequence(text, i)) {
            if (c == '\'' || c == '\\')
                quoted += '\\';
            quoted += text.mid(i, length);
            i += length;
            continue;
        }
        quoted += c == '\n' ? QByteArray("\\n") : c == '\t' ? QByteArray("\\t") : "\\x" + QByteArray(1, c).toHex();
        ++i;
    }
    return QString::fromUtf8(quoted + "'");
}

// ~/rest when `path` lies under `home`, with only the rest quoted (a quoted ~ is not the home).
QString shellPath(const QByteArray& path, const QByteArray& home)
{
    if (!home.isEmpty() && home != "/" && path.startsWith(home + '/'))
        return QStringLiteral("~/") + shellQuoted(path.mid(home.size() + 1));
    return shellQuoted(path);
}

} // namespace

QString TrashAccessProblem::ownerName() const
{
    if (const passwd* entry = ::getpwuid(owner))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(owner);
}

std::optional<TrashAccessProblem> checkTrashAccess(const TrashLocations& locations,
                                                   const QList<TrashDirectory>& trashes)
{
    const uid_t uid = locations.uid();
    for (const TrashDirectory& trash : trashes) {
        QByteArray failed;
        const auto opened = locations.open(trash, false, &failed);
        // The owner's bits of each part the engine reached, in its order: they say best why the next
        // one could not be opened, and they matter to root, whom no bit stops.
        for (const QByteArray& part : {trash.path, trash.filesPath(), trash.infoPath()}) {
            if (auto problem = checkModes(part, trash.path, uid))
                return problem;
            if (!opened && failed == part)
                break;
        }
        if (!opened) {
            const TrashFolderProblem& refused = opened.error();
            // A volume's trash that is not there is simply not used (the next put makes it).
            if (!trash.isHome && refused.errorCode == ENOENT &&
                (failed == trash.path || !failed.startsWith(trash.path + '/')))
                continue;
            return problemOf(refused, failed, trash, uid);
        }
        // A folder in files/ that belongs to someone else keeps what is inside it from being deleted.
        const int files = opened->files.get();
        for (const QByteArray& name : readDirectoryNames(files, false)) {
            struct stat entry = {};
            if (::fstatat(files, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(entry.st_mode))
                continue;
            const QByteArray path = trash.filesPath() + '/' + name;
            if (entry.st_uid != uid)
                return TrashAccessProblem{
                    TrashAccessProblem::Kind::NotOwned, path, trash.path, entry.st_uid, entry.st_mode & 07777, {}};
            if (auto problem = checkModes(entry, path, trash.path, uid))
                return problem;
        }
    }
    return std::nullopt;
}

QString repairCommand(const TrashAccessProblem& problem, const QByteArray& home)
{
    const QString target = shellPath(problem.trashPath, home);
    switch (problem.kind) {
    case TrashAccessProblem::Kind::Missing:
        return QStringLiteral("mkdir -p -m 700 %1/files %1/info").arg(target);
    case TrashAccessProblem::Kind::NotReadable:
    case TrashAccessProblem::Kind::NotWritable:
        return QStringLiteral("chmod -R u+rwX %1").arg(target);
    case TrashAccessProblem::Kind::Link: {
        // The link itself moves aside (mv -T renames the link, never what it leads to; -n keeps
        // anything already named so), and a real folder of the user's takes its place.
        const QByteArray aside = problem.path + ".link";
        const QString made = problem.path == problem.trashPath
                                 ? QStringLiteral("mkdir -p -m 700 %1/files %1/info").arg(shellPath(problem.path, home))
                                 : QStringLiteral("mkdir -m 700 %1").arg(shellPath(problem.path, home));
        return QStringLiteral("mv -n -T %1 %2 && %3").arg(shellPath(problem.path, home), shellPath(aside, home), made);
    }
    case TrashAccessProblem::Kind::NotAFolder:
        return {}; // only the user can tell what the thing in the way is and where it should go
    case TrashAccessProblem::Kind::Unusable:
        return {};
    case TrashAccessProblem::Kind::NotOwned:
        break;
    }
    // Everything in the trash back to the user, whoever made it; the user's own group too.
    return QStringLiteral("sudo chown -R \"$USER\": %1").arg(target);
}

QString displayPath(const QByteArray& path, const QByteArray& home)
{
    if (!home.isEmpty() && home != "/" && path.startsWith(home + '/'))
        return QStringLiteral("~/") + QFile::decodeName(path.mid(home.size() + 1));
    return QFile::decodeName(path);
}

} // namespace rubbly
