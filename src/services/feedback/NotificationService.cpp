#include "NotificationService.h"

#include "Formatting.h"
#include "NotificationCenter.h"

#include <QPointer>

namespace rubbly {

NotificationService::NotificationService(NotificationCenter& center, QObject* parent)
    : QObject(parent)
    , m_center(center)
{
}

QString NotificationService::cleaningFinishedBody(qint64 freedBytes, int removedCount)
{
    return QStringLiteral("已释放 ") + sharedByteCountFormatter().format(freedBytes) + QStringLiteral(" · 共移除 ") +
           QString::number(removedCount) + QStringLiteral(" 个项目");
}

QString NotificationService::cleaningIncompleteBody(int removedCount, int totalCount, int failedCount)
{
    return QStringLiteral("已清理 %1/%2 个项目，%3 个项目因权限或占用无法删除。")
        .arg(removedCount)
        .arg(totalCount)
        .arg(failedCount);
}

void NotificationService::notifyCleaningFinished(qint64 freedBytes, int removedCount)
{
    notify(QStringLiteral("废纸篓已清空"), cleaningFinishedBody(freedBytes, removedCount));
}

void NotificationService::notifyCleaningIncomplete(int removedCount, int totalCount, int failedCount)
{
    notify(QStringLiteral("废纸篓未能完全清空"), cleaningIncompleteBody(removedCount, totalCount, failedCount));
}

void NotificationService::notify(const QString& title, const QString& body)
{
    // Detached: the caller never waits for the notification server.
    deliver(title, body);
}

QCoro::Task<void> NotificationService::deliver(QString title, QString body)
{
    QPointer<NotificationService> self = this;
    NotificationCenter* center = &m_center;
    const bool allowed = co_await center->isAuthorized();
    if (allowed && self)
        center->post(title, body);
}

} // namespace rubbly
