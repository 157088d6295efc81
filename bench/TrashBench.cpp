// Timing helper for bench/trash-bench: measures the engine's own work without process start-up.
//   TrashBench walk PATH THREADS REPEAT   best wall time of sizing PATH, and the bytes found
//   TrashBench plain PATH THREADS REPEAT  the same with the plain walker below, the floor to compare with
//   TrashBench scan                       first and second scan of the Trash of $XDG_DATA_HOME

#include "DirectoryWalker.h"
#include "TrashStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <condition_variable>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace rubbly;

namespace {

int walk(const QByteArray& path, int threads, int repeat)
{
    DirectoryWalker walker({threads});
    qint64 best = std::numeric_limits<qint64>::max();
    WalkResult result;
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer timer;
        timer.start();
        result = walker.measure(path);
        best = std::min(best, timer.nsecsElapsed());
    }
    std::printf("%.4f %lld %lld\n", static_cast<double>(best) / 1e9, static_cast<long long>(result.bytes),
                static_cast<long long>(result.files));
    return 0;
}

// What a walk costs with nothing of ours around it: getdents64 and fstatat without following links,
// a shared stack of open folders, no allocation per entry, no mount checks, no hard-link
// bookkeeping. Counts every inode's blocks, folders included, as `du -B1` does.
struct PlainWalk {
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<int> folders;
    int busy = 0;
    long long bytes = 0;
    long long files = 0;

    void run()
    {
        alignas(8) char buffer[32 * 1024];
        long long myBytes = 0;
        long long myFiles = 0;
        std::vector<int> found;
        for (;;) {
            int fd = -1;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [&] { return !folders.empty() || busy == 0; });
                if (folders.empty())
                    break;
                fd = folders.back();
                folders.pop_back();
                ++busy;
            }
            for (;;) {
                const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
                if (got <= 0)
                    break;
                for (ssize_t pos = 0; pos < got;) {
                    const auto* entry = reinterpret_cast<const dirent64*>(buffer + pos);
                    pos += entry->d_reclen;
                    const char* n = entry->d_name;
                    if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
                        continue;
                    struct stat st = {};
                    if (::fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) != 0)
                        continue;
                    myBytes += st.st_blocks * 512;
                    if (!S_ISDIR(st.st_mode)) {
                        ++myFiles;
                        continue;
                    }
                    const int child = ::openat(fd, n, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                    if (child >= 0)
                        found.push_back(child);
                }
            }
            ::close(fd);
            {
                std::lock_guard lock(mutex);
                folders.insert(folders.end(), found.begin(), found.end());
                --busy;
            }
            found.clear();
            wake.notify_all();
        }
        std::lock_guard lock(mutex);
        bytes += myBytes;
        files += myFiles;
    }
};

int plain(const QByteArray& path, int threads, int repeat)
{
    qint64 best = std::numeric_limits<qint64>::max();
    long long bytes = 0;
    long long files = 0;
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer timer;
        timer.start();
        PlainWalk walk;
        struct stat st = {};
        const int root = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (root < 0 || ::fstat(root, &st) != 0)
            return 1;
        walk.bytes = st.st_blocks * 512;
        walk.folders.push_back(root);
        std::vector<std::thread> helpers;
        for (int t = 1; t < threads; ++t)
            helpers.emplace_back([&walk] { walk.run(); });
        walk.run();
        for (std::thread& helper : helpers)
            helper.join();
        best = std::min(best, timer.nsecsElapsed());
        bytes = walk.bytes;
        files = walk.files;
    }
    std::printf("%.4f %lld %lld\n", static_cast<double>(best) / 1e9, bytes, files);
    return 0;
}

int scan()
{
    TrashStore store(TrashLocations(QProcessEnvironment::systemEnvironment(), "/dev/null"));
    QElapsedTimer timer;
    timer.start();
    const auto first = store.scan();
    const qint64 firstNs = timer.nsecsElapsed();
    // The second scan is what every poll of an unchanged Trash costs: take the best of five.
    qint64 secondNs = std::numeric_limits<qint64>::max();
    TrashStatusResult second = first;
    for (int i = 0; i < 5; ++i) {
        timer.restart();
        second = store.scan();
        secondNs = std::min(secondNs, timer.nsecsElapsed());
    }
    if (!first || !second)
        return 1;
    std::printf("%.4f %.4f %lld %d\n", static_cast<double>(firstNs) / 1e9, static_cast<double>(secondNs) / 1e9,
                static_cast<long long>(first->totalSize), first->itemCount);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("walk"))
        return walk(QFile::encodeName(args[2]), args[3].toInt(), args[4].toInt());
    if (args.size() == 5 && args[1] == QLatin1String("plain"))
        return plain(QFile::encodeName(args[2]), args[3].toInt(), args[4].toInt());
    if (args.size() == 2 && args[1] == QLatin1String("scan"))
        return scan();
    std::fprintf(stderr, "usage: TrashBench walk|plain PATH THREADS REPEAT | TrashBench scan\n");
    return 2;
}
