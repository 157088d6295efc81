#pragma once

#include <QByteArray>
#include <QList>

namespace rubbly {

// The names in the folder `dirFd` (without "." and ".."), read completely before the caller changes
// anything in it. The descriptor stays open and is not moved. `error` receives errno of a failed
// read, else 0.
QList<QByteArray> readDirectoryNames(int dirFd, bool skipHidden, int* error = nullptr);

} // namespace rubbly
