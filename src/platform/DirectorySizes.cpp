#include "DirectorySizes.h"

#include <QList>

namespace rubbly {

namespace {
constexpr qint64 kLatestSeconds = 100'000'000'000LL; // in the year 5138
}

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
    QByteArray text;
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it)
        text += QByteArray::number(it->size) + ' ' + QByteArray::number(it->mtime) + ' ' +
                it.key().toPercentEncoding() + '\n';
    return text;
}

} // namespace rubbly
