#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>
#include <QTimer>

namespace rubbly::test {

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to completion with the current environment (a TempHome's, in tests) and `input` on
// its standard input. The event loop keeps running meanwhile, so servers of the test can answer it.
inline ProcessResult runProcess(const QString& program, const QStringList& arguments, const QByteArray& input = {},
                                const QString& workingDirectory = {})
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (process.state() != QProcess::NotRunning) {
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

} // namespace rubbly::test
