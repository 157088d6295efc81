#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

namespace rubbly::test {

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to completion with the current environment (a TempHome's, in tests) and `input` on
// its standard input.
inline ProcessResult runProcess(const QString& program, const QStringList& arguments, const QByteArray& input = {},
                                const QString& workingDirectory = {})
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

} // namespace rubbly::test
