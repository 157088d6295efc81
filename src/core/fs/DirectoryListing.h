#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <functional>

namespace rubbly {

// The names in the folder `dirFd` (without "." and ".."), read completely before the caller changes
// anything in it. The descriptor stays open and is not moved. `error` receives errno of a failed
// read, else 0.
QList<QByteArray> readDirectoryNames(int dirFd, bool skipHidden, int* error = nullptr);

// Calls `visit` with each name in the folder `dirFd` (without "." and ".."), as the folder is read,
// so a folder of any size costs no more than one buffer. The name is NUL-terminated and valid only
// during the call; `visit` must not add, remove or rename entries of the folder. Returns 0, or
// errno of a read that failed part-way (the names before it have been visited).
int forEachDirectoryName(int dirFd, const std::function<void(QByteArrayView)>& visit);

// The same with each entry's type as the folder gives it (DT_DIR, DT_REG, ...; DT_UNKNOWN where the
// file system does not say): a hint as of the reading, to be checked on what is then opened.
int forEachDirectoryEntry(int dirFd, const std::function<void(QByteArrayView, unsigned char)>& visit);

} // namespace rubbly
