#include "ViewModelRig.h"

namespace rubbly::test {

TrashStatus statusWith(int items, qint64 size)
{
    TrashStatus status;
    status.itemCount = items;
    status.totalSize = size;
    for (int i = 0; i < items; ++i) {
        TrashItemDetail item;
        item.name = QString::number(i);
        item.size = size / std::max(items, 1);
        status.topItems.append(item);
    }
    return status;
}

void settle()
{
    // A resumption may queue the next one; a few rounds drain any chain the fakes build.
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

} // namespace rubbly::test
