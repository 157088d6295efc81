// The `directorysizes` file of a trash folder: other trash implementations write it too, and the
// sizes it holds are what the panel shows and the size rule of auto-clean acts on.

#include "FuzzCheck.h"

#include "DirectorySizes.h"
#include "PosixFd.h"
#include "ScratchFolder.h"

#include <QFile>

#include <algorithm>
#include <fcntl.h>

#include <QList>
#include <QSet>

using namespace rubbly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const DirectorySizes sizes = parseDirectorySizes(input);
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it) {
        // A name the files/ folder could hold; a size that can be believed and added up.
        FUZZ_CHECK(!it.key().isEmpty() && !it.key().contains('/'));
        FUZZ_CHECK(it->size >= 0 && it->size <= kMaxBelievableSize);
        // Only a size with our two leading zeros is a measurement to trust; any other line (KDE's
        // apparent sizes, other writers', ours from before folders' blocks counted) is a hint.
        DirectorySizes one;
        one.insert(it.key(), *it);
        FUZZ_CHECK(!it->measured || serializeDirectorySizes(one).startsWith("00"));
    }
    // Read as the scan reads it: from a trash folder's descriptor, through the reader of files that
    // others write.
    fuzz::ScratchFolder trash("directorysizes");
    QFile file(QFile::decodeName(trash.path() + "/directorysizes"));
    FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(input) == input.size());
    file.close();
    PosixFd trashFd(::open(trash.path().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const auto read = readDirectorySizes(trashFd.get());
    FUZZ_CHECK(read.ok() == (input.size() <= kMaxDirectorySizesFile));
    FUZZ_CHECK(!read || *read == sizes);
    // What we write back (the scan rewrites the file whenever an entry changes) reads as the same.
    const QByteArray written = serializeDirectorySizes(sizes);
    FUZZ_CHECK(written.count('\n') == sizes.size());
    FUZZ_CHECK(parseDirectorySizes(written) == sizes);
    // Under a limit that cannot hold every line, what is written still fits and reads back as the
    // largest of the entries.
    const qint64 limit = written.size() / 2;
    const DirectorySizes kept = parseDirectorySizes(serializeDirectorySizes(sizes, limit));
    FUZZ_CHECK(serializeDirectorySizes(sizes, limit).size() <= limit && kept.size() <= sizes.size());
    qint64 smallestKept = kMaxBelievableSize;
    for (auto it = kept.cbegin(); it != kept.cend(); ++it) {
        FUZZ_CHECK(sizes.value(it.key()) == *it);
        smallestKept = std::min(smallestKept, it->size);
    }
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it)
        FUZZ_CHECK(kept.contains(it.key()) || it->size <= smallestKept);
    // And the lines nobody changed go back as they were, unit and spelling included, in their order:
    // KDE matches a line by its exact name and time.
    const QList<QByteArray> inputLines = input.split('\n');
    qsizetype from = 0;
    for (const QByteArray& line : written.split('\n')) {
        if (line.isEmpty())
            continue;
        const qsizetype at = inputLines.indexOf(line, from);
        FUZZ_CHECK(at >= 0);
        from = at + 1;
    }
    return 0;
}
