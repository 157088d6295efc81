#include "ProgramFiles.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace rubbly {

QString commandProgramPath()
{
    const QFileInfo beside(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QLatin1String(kCommandProgramName));
    return beside.isFile() && beside.isExecutable() ? beside.absoluteFilePath()
                                                    : QCoreApplication::applicationFilePath();
}

} // namespace rubbly
