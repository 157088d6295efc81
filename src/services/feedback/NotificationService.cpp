#include "NotificationService.h"

#include "Formatting.h"
#include "NotificationCenter.h"

#include <QCoreApplication>
#include <QPointer>

namespace rubbly {

NotificationService::NotificationService(NotificationCenter& center, QObject* parent)
    : QObject(parent)
    , m_center(center)
{
}

QString NotificationService::cleaningFinishedBody(qint64 freedBytes, int removedCount)
{
    return QCoreApplication::translate("Notifications", "Freed %1 · %2 items removed")
        .arg(sharedByteCountFormatter().format(freedBytes))
        .arg(removedCount);
}

QString NotificationService::cleaningIncompleteBody(int removedCount, int totalCount, int failedCount)
{
    return QCoreApplication::translate("Notifications",
                                       "Removed %1/%2 items; %3 could not be deleted (no permission or in use).")
        .arg(removedCount)
        .arg(totalCount)
        .arg(failedCount);
}

void NotificationService::notifyCleaningFinished(qint64 freedBytes, int removedCount)
{
    notify(QCoreApplication::translate("Notifications", "Trash emptied"),
           cleaningFinishedBody(freedBytes, removedCount));
}

void NotificationService::notifyCleaningIncomplete(int removedCount, int totalCount, int failedCount)
{
    notify(QCoreApplication::translate("Notifications", "Trash not fully emptied"),
           cleaningIncompleteBody(removedCount, totalCount, failedCount));
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
