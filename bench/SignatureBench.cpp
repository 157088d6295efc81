// Times what an update costs beyond its download: the verification of the archive's minisign signature,
// as the updater runs it (the file read in pieces, BLAKE2b-512, Ed25519), over a file of random bytes
// signed by the minisign tool. Prints median, fastest and slowest of the runs in milliseconds, as wall
// time and as the CPU time of the verifying thread (on a busy machine the wall time also counts the
// waits for a core).
//   SignatureBench [MEGABYTES=30] [RUNS=15]

#include "Minisign.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace rubbly;

namespace {

bool run(const QStringList& arguments)
{
    QProcess minisign;
    minisign.start(QStringLiteral("minisign"), arguments);
    return minisign.waitForFinished(60000) && minisign.exitStatus() == QProcess::NormalExit && minisign.exitCode() == 0;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void print(const char* what, QList<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("  %s: median %.1f ms, fastest %.1f ms, slowest %.1f ms\n", what, times[times.size() / 2],
                times.first(), times.last());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint64 megabytes = args.size() > 1 ? args[1].toLongLong() : 30;
    const int runs = args.size() > 2 ? args[2].toInt() : 15;
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("Rubbly.zip"));
    {
        QFile file(archive);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (qint64 i = 0; i < megabytes; ++i) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
            file.write(chunk);
        }
    }
    const QString key = dir.filePath(QStringLiteral("k"));
    if (!run({QStringLiteral("-G"), QStringLiteral("-W"), QStringLiteral("-p"), key + QStringLiteral(".pub"),
              QStringLiteral("-s"), key + QStringLiteral(".key")}) ||
        !run({QStringLiteral("-S"), QStringLiteral("-s"), key + QStringLiteral(".key"), QStringLiteral("-m"), archive,
              QStringLiteral("-t"), QStringLiteral("version:1")})) {
        std::fprintf(stderr, "SignatureBench: minisign failed (scripts/setup installs it)\n");
        return 1;
    }
    const auto publicKey = MinisignKey::parse(readAll(key + QStringLiteral(".pub")));
    const auto signature = MinisignSignature::parse(readAll(archive + QStringLiteral(".minisig")));
    if (!publicKey || !signature)
        return 1;

    QList<double> wall;
    QList<double> cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        if (verifyMinisignFile(*signature, {*publicKey}, archive) != SignatureCheck::Valid) {
            std::fprintf(stderr, "SignatureBench: the signature did not verify\n");
            return 1;
        }
        cpu.append(threadCpuMs() - cpuStart);
        wall.append(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("verify the signature of %lld MB (%d runs):\n", static_cast<long long>(megabytes), runs);
    print("wall time", wall);
    print("CPU time ", cpu);
    return 0;
}
