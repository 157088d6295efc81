// Timing helper for bench/trash-bench: measures the engine's own work without process start-up.
//   TrashBench walk PATH THREADS REPEAT   best wall time of sizing PATH, and the bytes found
//   TrashBench scan                       first and second scan of the Trash of $XDG_DATA_HOME

#include "DirectoryWalker.h"
#include "TrashStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

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
    if (args.size() == 2 && args[1] == QLatin1String("scan"))
        return scan();
    std::fprintf(stderr, "usage: TrashBench walk PATH THREADS REPEAT | TrashBench scan\n");
    return 2;
}
