#include "DirectorySizes.h"

#include "PercentDecoding.h"
#include "PosixFd.h"

#include <QList>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <limits>
#include <unistd.h>
#include <vector>

namespace rubbly {

namespace {
constexpr qint64 kLatestSeconds = 100'000'000'000LL; // in the year 5138

void appendNumber(QByteArray& text, qint64 n)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    text.append(digits, end - digits);
}

// As QByteArray::toPercentEncoding(): every byte but A-Z a-z 0-9 - . _ ~ as %XX.
void appendPercentEncoded(QByteArray& text, const QByteArray& name)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' || u == '.' ||
            u == '_' || u == '~') {
            text += c;
        } else {
            const char escaped[3] = {'%', kHex[u >> 4], kHex[u & 0xF]};
            text.append(escaped, 3);
        }
    }
}

// The line we write for an entry, without its newline.
void appendLine(QByteArray& text, const QByteArray& name, const DirectorySize& entry)
{
    if (entry.milliseconds && entry.measured)
        text += '0';
    appendNumber(text, entry.size);
    text += ' ';
    appendNumber(text, entry.mtime);
    text += ' ';
    appendPercentEncoded(text, name);
}
} // namespace

bool DirectorySize::matches(const timespec& infoMtime) const
{
    if (milliseconds)
        return mtime == static_cast<qint64>(infoMtime.tv_sec) * 1000 + infoMtime.tv_nsec / 1'000'000;
    return mtime == static_cast<qint64>(infoMtime.tv_sec);
}

DirectorySize DirectorySize::measurement(qint64 size, const timespec& infoMtime, bool milliseconds, qsizetype position)
{
    DirectorySize entry;
    entry.size = size;
    entry.milliseconds = milliseconds;
    entry.mtime = milliseconds ? static_cast<qint64>(infoMtime.tv_sec) * 1000 + infoMtime.tv_nsec / 1'000'000
                               : static_cast<qint64>(infoMtime.tv_sec);
    entry.position = position;
    return entry;
}

bool DirectorySize::operator==(const DirectorySize& other) const
{
    return size == other.size && mtime == other.mtime && milliseconds == other.milliseconds &&
           measured == other.measured && text == other.text;
}

DirectorySizes parseDirectorySizes(const QByteArray& content)
{
    DirectorySizes sizes;
    const QList<QByteArray> lines = content.split('\n');
    QByteArray canonical;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 3)
            continue;
        bool sizeOk = false, mtimeOk = false;
        DirectorySize entry;
        entry.size = fields[0].toLongLong(&sizeOk);
        entry.mtime = fields[1].toLongLong(&mtimeOk);
        const std::optional<QByteArray> decoded = percentDecoded(fields[2]);
        if (!sizeOk || !mtimeOk || entry.size < 0 || entry.size > kMaxBelievableSize || !decoded ||
            decoded->isEmpty() || decoded->contains('/'))
            continue;
        const QByteArray& name = *decoded;
        // No trash file is from the year 5138: a larger number is milliseconds, and one that is too
        // large for either is no time at all (it would never match, and be measured at every scan).
        if (entry.mtime > kLatestSeconds) {
            if (entry.mtime / 1000 > kLatestSeconds)
                continue;
            entry.milliseconds = true;
            entry.measured = fields[0].size() > 1 && fields[0].startsWith('0');
        }
        entry.position = i;
        canonical.clear();
        appendLine(canonical, name, entry);
        if (canonical != line)
            entry.text = line;
        sizes.insert(name, std::move(entry));
    }
    return sizes;
}

Result<DirectorySizes, UntrustedReadError> readDirectorySizes(int trashFd)
{
    const auto content = readUntrustedFile(trashFd, "directorysizes", kMaxDirectorySizesFile);
    if (!content)
        return content.error();
    return parseDirectorySizes(*content);
}

QByteArray serializeDirectorySizes(const DirectorySizes& sizes)
{
    std::vector<DirectorySizes::const_iterator> order;
    order.reserve(static_cast<std::size_t>(sizes.size()));
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it)
        order.push_back(it);
    const auto rank = [](qsizetype position) {
        return position < 0 ? std::numeric_limits<qsizetype>::max() : position;
    };
    std::sort(order.begin(), order.end(), [&rank](const auto& a, const auto& b) {
        if (rank(a->position) != rank(b->position))
            return rank(a->position) < rank(b->position);
        return a.key() < b.key();
    });
    // Built in place: a first scan writes a line per entry after the walk, while the user waits, and
    // temporaries per field cost more than the writing itself.
    QByteArray text;
    text.reserve(sizes.size() * 48);
    for (const auto& it : order) {
        if (it->text.isEmpty())
            appendLine(text, it.key(), *it);
        else
            text += it->text;
        text += '\n';
    }
    return text;
}

bool writeDirectorySizes(int trashFd, const DirectorySizes& sizes)
{
    const QByteArray text = serializeDirectorySizes(sizes);
    QByteArray tempName;
    PosixFd fd;
    for (int attempt = 0; attempt < 8 && !fd.isValid(); ++attempt) {
        tempName = "directorysizes." + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd.reset(::openat(trashFd, tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.isValid() && errno != EEXIST)
            return false;
    }
    if (!fd.isValid())
        return false;
    qsizetype written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd.get(), text.constData() + written, static_cast<size_t>(text.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    const bool closed = ::close(fd.release()) == 0;
    if (written == text.size() && closed && ::renameat(trashFd, tempName.constData(), trashFd, "directorysizes") == 0)
        return true;
    ::unlinkat(trashFd, tempName.constData(), 0);
    return false;
}

} // namespace rubbly
