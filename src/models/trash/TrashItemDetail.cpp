#include "TrashItemDetail.h"

#include <QFile>

namespace rubbly {

QUrl TrashItemDetail::url() const
{
    return QUrl::fromLocalFile(QFile::decodeName(path));
}

} // namespace rubbly
