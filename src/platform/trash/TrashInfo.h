#pragma once

#include "Timestamp.h"

#include <QByteArray>
#include <QTimeZone>

#include <optional>
#include <sys/stat.h>

namespace rubbly {

// The contents of a .trashinfo file (freedesktop.org Trash specification).
struct TrashInfo {
    // Path= after percent-decoding: absolute, or relative to the volume's top folder.
    std::optional<QByteArray> path;
    std::optional<Timestamp> deletionDate;

    // Reads the [Trash Info] group leniently: the first Path= and the first DeletionDate= win, every
    // %XX is decoded ('+' stays a plus), and dates may be in extended or basic form, with or without
    // a fraction, 'Z' or an offset. Dates without a zone are local time in `zone`.
    static TrashInfo parse(const QByteArray& content, const QTimeZone& zone = localZone());

    // "[Trash Info]\nPath=…\nDeletionDate=yyyy-MM-ddTHH:mm:ss\n", the path percent-encoded except
    // for '/', the date in local time, as gio and trash-cli write them.
    static QByteArray serialize(const QByteArray& path, Timestamp deletionDate, const QTimeZone& zone = localZone());

    static std::optional<Timestamp> parseDate(const QByteArray& text, const QTimeZone& zone);

    // Info files larger than this are not read: a Path= of PATH_MAX bytes, every one percent-encoded,
    // and a date take 12 KiB.
    static constexpr qint64 kMaxFileSize = 64 * 1024;
    // The info file `name` in the info/ folder `infoFd`, parsed; nothing when it is not a regular
    // file (a link, a FIFO: never followed nor waited for) or larger than kMaxFileSize. `seen`, when
    // given, receives the stat of the file read (see readUntrustedFile()).
    static std::optional<TrashInfo> read(int infoFd, const char* name, const QTimeZone& zone = localZone(),
                                         struct stat* seen = nullptr);
};

} // namespace rubbly
