#include "TrashStatus.h"

#include <QFile>

namespace rubbly {

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
