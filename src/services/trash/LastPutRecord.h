#pragma once

#include "Result.h"
#include "TrashTypes.h"

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>

namespace rubbly {

// The entries the last put made (from the command line or a drop on the panel), kept in a small file
// of the state folder so `trash restore --last` can put back exactly those, even from another
// process. Each entry is named with its info file's stamp: one whose info file has changed since is
// not that put's any more. Synchronous; TrashService uses it on its actor.
class LastPutRecord final {
public:
    struct Entry {
        TrashEntryRef ref;
        TrashInfoStamp stamp;
        bool operator==(const Entry&) const = default;
    };

    explicit LastPutRecord(QByteArray path);
    // $XDG_STATE_HOME/rubbly/last-put (~/.local/state when unset or unusable).
    static QByteArray defaultPath(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

    // Replaces the record with `entries` (possibly none: a put that moved nothing). The folder is made
    // (0700) when missing. A record that cannot be written is removed, so that an older put is never
    // taken for the last one; the error says why.
    Result<Done, QString> write(const QList<Entry>& entries) const;
    // The recorded entries, or a sentence: none recorded, unreadable, or not one of ours.
    Result<QList<Entry>, QString> read() const;

    QByteArray path() const { return m_path; }

    // The largest record read (and written): about 100 000 entries of long names.
    static constexpr qint64 kMaxBytes = 32 << 20;

private:
    QByteArray m_path;
};

} // namespace rubbly
