#pragma once

#include <QObject>

#include <QCoroTask>

namespace rubbly {

class NotificationCenter;

// The program's notifications. Each call returns at once; the permission check and the posting
// follow asynchronously, and a notification that cannot be shown is dropped without a word. Whether
// a notification is wanted at all is the caller's decision. Lives on the GUI thread.
class NotificationService final : public QObject {
    Q_OBJECT
public:
    explicit NotificationService(NotificationCenter& center, QObject* parent = nullptr);

    // "Trash emptied" / "Freed <size> · <count> items removed" (Chinese: "废纸篓已清空" /
    // "已释放 <size> · 共移除 <count> 个项目")
    void notifyCleaningFinished(qint64 freedBytes, int removedCount);
    // "Trash not fully emptied" / "Removed <removed>/<total> items; <failed> could not be deleted (...)."
    // (Chinese: "废纸篓未能完全清空" / "已清理 <removed>/<total> 个项目，<failed> 个项目因权限或占用无法删除。")
    void notifyCleaningIncomplete(int removedCount, int totalCount, int failedCount);
    void notify(const QString& title, const QString& body);

    static QString cleaningFinishedBody(qint64 freedBytes, int removedCount);
    static QString cleaningIncompleteBody(int removedCount, int totalCount, int failedCount);

private:
    QCoro::Task<void> deliver(QString title, QString body);

    NotificationCenter& m_center;
};

} // namespace rubbly
