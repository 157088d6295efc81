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

// The problem of one folder, judged by its owner's bits: the check runs as that owner. `follow`: the
// home trash itself may be a link to a folder elsewhere; below it nothing is followed.
std::optional<TrashAccessProblem> checkFolder(const QByteArray& path, const QByteArray& trash, uid_t uid,
                                              bool follow = false)
{
    struct stat st {};
    if ((follow ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st)) != 0)
        return std::nullopt; // vanished or never there: nothing to mend (the home trash is checked apart)
    TrashAccessProblem problem{TrashAccessProblem::Kind::NotAFolder, path, trash, st.st_uid, st.st_mode & 07777};
    if (!S_ISDIR(st.st_mode))
        return problem;
    if (st.st_uid != uid) {
        problem.kind = TrashAccessProblem::Kind::NotOwned;
        return problem;
    }
    if ((st.st_mode & S_IRUSR) == 0) {
        problem.kind = TrashAccessProblem::Kind::NotReadable;
        return problem;
    }
    if ((st.st_mode & (S_IWUSR | S_IXUSR)) != (S_IWUSR | S_IXUSR)) {
        problem.kind = TrashAccessProblem::Kind::NotWritable;
        return problem;
    }
    return std::nullopt;
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

std::optional<TrashAccessProblem> checkTrashAccess(const QList<TrashDirectory>& trashes, uid_t uid)
{
    for (const TrashDirectory& trash : trashes) {
        struct stat st {};
        if (trash.isHome && ::stat(trash.path.constData(), &st) != 0 && errno == ENOENT)
            return TrashAccessProblem{TrashAccessProblem::Kind::Missing, trash.path, trash.path, uid, 0};
        if (auto problem = checkFolder(trash.path, trash.path, uid, trash.isHome))
            return problem;
        for (const QByteArray& folder : {trash.filesPath(), trash.infoPath()}) {
            if (auto problem = checkFolder(folder, trash.path, uid))
                return problem;
        }
        // A folder in files/ that belongs to someone else keeps what is inside it from being deleted.
        const int files = ::open(trash.filesPath().constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (files < 0)
            continue;
        for (const QByteArray& name : readDirectoryNames(files, false)) {
            struct stat entry {};
            if (::fstatat(files, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(entry.st_mode))
                continue;
            if (auto problem = checkFolder(trash.filesPath() + '/' + name, trash.path, uid)) {
                ::close(files);
                return problem;
            }
        }
        ::close(files);
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
    case TrashAccessProblem::Kind::NotAFolder:
        return {}; // only the user can tell what the thing in the way is and where it should go
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
