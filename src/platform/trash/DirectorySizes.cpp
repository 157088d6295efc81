#include "DirectorySizes.h"

#include "AtomicFile.h"
#include "PercentDecoding.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <numeric>
#include <vector>

namespace rubbly {

namespace {
constexpr qint64 kLatestSeconds = 100'000'000'000LL; // in the year 5138
// Leads the size of every line we measured as `du -B1` does. Lines of ours from before folders' own
// blocks were counted have one zero (milliseconds) or none (seconds); KDE never writes a leading zero.
constexpr QByteArrayView kMeasuredMark = "00";

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
    if (entry.measured)
        text.append(kMeasuredMark);
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

namespace {

// Adds line number `index` (without its newline) to `sizes` when it is a valid line.
void parseLine(QByteArrayView line, qsizetype index, DirectorySizes& sizes, QByteArray& canonical)
{
    const qsizetype first = line.indexOf(' ');
    const qsizetype second = first < 0 ? -1 : line.indexOf(' ', first + 1);
    if (second < 0 || line.indexOf(' ', second + 1) >= 0)
        return;
    const QByteArrayView sizeField = line.first(first);
    bool sizeOk = false, mtimeOk = false;
    DirectorySize entry;
    entry.size = sizeField.toLongLong(&sizeOk);
    entry.mtime = line.sliced(first + 1, second - first - 1).toLongLong(&mtimeOk);
    std::optional<QByteArray> decoded = percentDecoded(line.sliced(second + 1));
    if (!sizeOk || !mtimeOk || entry.size < 0 || entry.size > kMaxBelievableSize || !decoded || decoded->isEmpty() ||
        decoded->contains('/'))
        return;
    // No trash file is from the year 5138: a larger number is milliseconds, and one that is too large
    // for either is no time at all (it would never match, and be measured at every scan).
    if (entry.mtime > kLatestSeconds) {
        if (entry.mtime / 1000 > kLatestSeconds)
            return;
        entry.milliseconds = true;
    }
    entry.measured = sizeField.size() > kMeasuredMark.size() && sizeField.startsWith(kMeasuredMark);
    entry.position = index;
    canonical.clear();
    appendLine(canonical, *decoded, entry);
    if (canonical != line)
        entry.text = line.toByteArray();
    sizes.insert(std::move(*decoded), std::move(entry));
}

} // namespace

DirectorySizes parseDirectorySizes(QByteArrayView content)
{
    DirectorySizes sizes;
    QByteArray canonical;
    qsizetype index = 0;
    qsizetype start = 0;
    // Whole lines only: see readDirectorySizes().
    for (qsizetype end; (end = content.indexOf('\n', start)) >= 0; start = end + 1)
        parseLine(content.sliced(start, end - start), index++, sizes, canonical);
    return sizes;
}

Result<DirectorySizes, UntrustedReadError> readDirectorySizes(int trashFd, qint64 maxBytes)
{
    // Read in pieces and parsed line by line: a file near the limit never sits in memory whole.
    DirectorySizes sizes;
    QByteArray canonical;
    QByteArray partial;
    qsizetype index = 0;
    const auto read = readUntrustedFileInPieces(trashFd, "directorysizes", maxBytes, [&](QByteArrayView piece) {
        qsizetype start = 0;
        for (qsizetype end; (end = piece.indexOf('\n', start)) >= 0; start = end + 1) {
            if (partial.isEmpty()) {
                parseLine(piece.sliced(start, end - start), index++, sizes, canonical);
            } else {
                partial += piece.sliced(start, end - start);
                parseLine(partial, index++, sizes, canonical);
                partial.truncate(0);
            }
        }
        partial += piece.sliced(start);
    });
    if (!read)
        return read.error();
    // What follows the last newline is not a line: every writer ends each line with one, and the file
    // is written without waiting for the disk, so after a crash it may end inside a line, whose
    // name cut short could be another entry's ("photos%20(2)" read as "photos").
    return sizes;
}

QByteArray serializeDirectorySizes(const DirectorySizes& sizes, qint64 maxBytes)
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
    std::vector<qsizetype> starts;
    starts.reserve(order.size() + 1);
    for (const auto& it : order) {
        starts.push_back(text.size());
        if (it->text.isEmpty())
            appendLine(text, it.key(), *it);
        else
            text += it->text;
        text += '\n';
    }
    starts.push_back(text.size());
    if (text.size() <= maxBytes)
        return text;

    // More than a reader takes: the largest entries are kept. One left out is measured again at the
    // next scan, and the small ones cost the least to measure.
    std::vector<std::size_t> bySize(order.size());
    std::iota(bySize.begin(), bySize.end(), std::size_t(0));
    std::sort(bySize.begin(), bySize.end(), [&order](std::size_t a, std::size_t b) {
        if (order[a]->size != order[b]->size)
            return order[a]->size > order[b]->size;
        return order[a].key() < order[b].key();
    });
    std::vector<bool> kept(order.size());
    qint64 total = 0;
    for (const std::size_t i : bySize) {
        const qsizetype length = starts[i + 1] - starts[i];
        if (total + length > maxBytes)
            break;
        total += length;
        kept[i] = true;
    }
    QByteArray fitting;
    fitting.reserve(total);
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (kept[i])
            fitting += QByteArrayView(text).sliced(starts[i], starts[i + 1] - starts[i]);
    }
    return fitting;
}

bool writeDirectorySizes(int trashFd, const DirectorySizes& sizes, QString* error, qint64 maxBytes)
{
    // A cache of measurements: it is not worth a wait for the disk while the user waits for the size.
    const auto written = fs::replaceFileAt(trashFd, "directorysizes", serializeDirectorySizes(sizes, maxBytes), 0600,
                                           fs::Durability::CacheOnly);
    if (!written && error)
        *error = written.error();
    return written.ok();
}

} // namespace rubbly
