#include "StatusItem.h"

namespace rubbly {

QList<StatusMenuEntry> statusMenuEntries()
{
    using Action = StatusItem::MenuAction;
    return {
        {false, Action::OpenPanel, QStringLiteral("打开面板")},
        {false, Action::EmptyTrash, QStringLiteral("清空废纸篓…")},
        {false, Action::Settings, QStringLiteral("偏好设置…")},
        {true, Action::OpenPanel, QString()},
        {false, Action::Quit, QStringLiteral("退出 Rubbly")},
    };
}

} // namespace rubbly
