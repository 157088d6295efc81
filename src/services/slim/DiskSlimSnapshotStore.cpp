#include "DiskSlimSnapshotStore.h"

#include "AppIdentity.h"
#include "AtomicFile.h"
#include "DefaultsStore.h"
#include "StoredKeys.h"
#include "UntrustedFile.h"
#include "XdgPaths.h"

#include <QFile>
#include <QLoggingCategory>

#include <cerrno>
#include <sys/stat.h>

namespace rubbly {

namespace {

Q_LOGGING_CATEGORY(lcSlim, RUBBLY_APP_ID ".DiskSlimService")

Result<Done, QString> logged(Result<Done, QString> result)
{
    if (!result.ok())
        qCWarning(lcSlim).noquote() << result.error();
    return result;
}

} // namespace

QByteArray slimSnapshotPath()
{
    return QFile::encodeName(xdg::cacheHome()) + "/rubbly/slim-snapshot.json";
}

DiskSlimSnapshot offeredNow(DiskSlimSnapshot snapshot)
{
    // A snapshot saved by an earlier version may offer what a scan no longer offers: a credential
    // file as a sub-item, or the user's own work selected.
    for (DiskSlimItem& item : snapshot.items) {
        const bool selectable = !diskSlimHoldsUserWork(item.category);
        item.isSelected = item.isSelected && selectable;
        for (qsizetype i = item.subItems.size(); i-- > 0;) {
            DiskSlimSubItem& sub = item.subItems[i];
            sub.isSelected = sub.isSelected && selectable;
            const QByteArray name = sub.path.mid(sub.path.lastIndexOf('/') + 1);
            if (isCredentialName(name.constData())) {
                item.size -= sub.size;
                item.subItems.removeAt(i);
            }
        }
    }
    return snapshot;
}

std::optional<DiskSlimSnapshot> loadSlimSnapshot(DefaultsStore& defaults, const QByteArray& path)
{
    const auto read = readUntrustedFile(path, kSlimSnapshotFileLimit);
    std::optional<DiskSlimSnapshot> snapshot;
    if (read.ok()) {
        snapshot = DiskSlimSnapshot::fromJson(*read);
    } else if (read.error().kind == UntrustedReadError::Kind::Missing) {
        if (const auto old = defaults.dataValue(kDiskSlimSnapshotKey)) {
            snapshot = DiskSlimSnapshot::fromJson(*old);
            if (!snapshot || saveSlimSnapshot(defaults, *snapshot, path).ok())
                defaults.removeValue(kDiskSlimSnapshotKey);
        }
    }
    if (!snapshot)
        return std::nullopt;
    return offeredNow(std::move(*snapshot));
}

Result<Done, QString> saveSlimSnapshot(DefaultsStore& defaults, const DiskSlimSnapshot& snapshot,
                                       const QByteArray& path)
{
    const QByteArray json = snapshot.toJson(kSlimSnapshotFileLimit);
    if (json.size() > kSlimSnapshotFileLimit)
        return logged(QStringLiteral("The scan result is too large to keep in %1.").arg(QFile::decodeName(path)));
    // The cache folder and ours in it, private as the XDG specification asks; a link in their place
    // is refused when the file is replaced.
    const QByteArray folder = path.left(path.lastIndexOf('/'));
    const QByteArray base = folder.left(folder.lastIndexOf('/'));
    for (const QByteArray& dir : {base, folder}) {
        if (!dir.isEmpty() && ::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST)
            return logged(
                QStringLiteral("Could not create %1: %2").arg(QFile::decodeName(dir), qt_error_string(errno)));
    }
    auto written = logged(fs::replaceFile(path, json, 0600));
    if (written.ok() && defaults.dataValue(kDiskSlimSnapshotKey))
        defaults.removeValue(kDiskSlimSnapshotKey);
    return written;
}

} // namespace rubbly
