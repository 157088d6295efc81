#include "TrashStatus.h"

namespace rubbly {

QList<TrashItemDetail> TrashStatus::previewItems() const
{
    if (topItems.size() >= 6)
        return topItems.first(5);
    return topItems;
}

} // namespace rubbly
