#include "DirectorySizes.h"

#include <QList>

#include <charconv>

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
} // namespace

DirectorySizes parseDirectorySizes(const QByteArray& content)
{
    DirectorySizes sizes;
    for (const QByteArray& line : content.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 3)
            continue;
        bool sizeOk = false, mtimeOk = false;
        const qint64 size = fields[0].toLongLong(&sizeOk);
        qint64 mtime = fields[1].toLongLong(&mtimeOk);
        const QByteArray name = QByteArray::fromPercentEncoding(fields[2]);
        if (!sizeOk || !mtimeOk || size < 0 || name.isEmpty() || name.contains('/'))
            continue;
        // No trash file is from the year 5138: a larger number is milliseconds, and one that is too
        // large for either is no time at all (read as seconds, it would be read anew at every load).
        if (mtime > kLatestSeconds) {
            mtime /= 1000;
            if (mtime > kLatestSeconds)
                continue;
        }
        sizes.insert(name, DirectorySize{size, mtime});
    }
    return sizes;
}

QByteArray serializeDirectorySizes(const DirectorySizes& sizes)
{
    // Built in place: a first scan writes a line per entry after the walk, while the user waits, and
    // temporaries per field cost more than the writing itself.
    QByteArray text;
    text.reserve(sizes.size() * 48);
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it) {
        appendNumber(text, it->size);
        text += ' ';
        appendNumber(text, it->mtime);
        text += ' ';
        appendPercentEncoded(text, it.key());
        text += '\n';
    }
    return text;
}

} // namespace rubbly
