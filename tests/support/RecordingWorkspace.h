#pragma once

#include "Workspace.h"

#include <QByteArrayList>
#include <QList>
#include <QStringList>
#include <QUrl>

namespace rubbly::test {

// A Workspace that only writes down what it was asked.
class RecordingWorkspace final : public Workspace {
public:
    bool openTrash() override
    {
        calls.append(QStringLiteral("openTrash"));
        return true;
    }
    bool reveal(const QByteArray& path) override
    {
        calls.append(QStringLiteral("reveal"));
        revealed.append(path);
        return true;
    }
    bool openUrl(const QUrl&) override
    {
        calls.append(QStringLiteral("openUrl"));
        return true;
    }
    bool openFolder(const QByteArray& path) override
    {
        calls.append(QStringLiteral("openFolder ") + QString::fromUtf8(path));
        return true;
    }
    bool copyText(const QString& text) override
    {
        calls.append(QStringLiteral("copyText ") + text);
        return true;
    }
    std::optional<TrashAccessProblem> checkTrashAccess() override
    {
        calls.append(QStringLiteral("checkTrashAccess"));
        return accessProblem;
    }
    QByteArray homeFolder() const override { return "/home/user"; }

    QStringList calls;
    QByteArrayList revealed;
    // What checkTrashAccess() reports.
    std::optional<TrashAccessProblem> accessProblem;
};

} // namespace rubbly::test
