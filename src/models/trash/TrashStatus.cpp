#include "TrashStatus.h"

#include <QFile>

namespace rubbly {

QString trashFolderPartPath(TrashFolderPart part)
{
    switch (part) {
    case TrashFolderPart::Folder:
        return {};
    case TrashFolderPart::Files:
        return QStringLiteral("files/");
    case TrashFolderPart::Info:
        return QStringLiteral("info/");
    case TrashFolderPart::SharedTrash:
        return QStringLiteral(".Trash");
    }
    return {};
}

QString TrashFolderProblem::message() const
{
    return QStringLiteral("trash folder %1 not used: %2").arg(QFile::decodeName(path), reason);
}

QList<TrashItemDetail> TrashStatus::previewItems() const
{
    if (topItems.size() >= 6)
        return topItems.first(5);
    return topItems;
}

} // namespace rubbly
