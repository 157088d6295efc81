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
    bool openTrash() override { return record(QStringLiteral("openTrash")); }
    bool reveal(const QByteArray& path) override
    {
        revealed.append(path);
        return record(QStringLiteral("reveal"));
    }
    bool openUrl(const QUrl&) override { return record(QStringLiteral("openUrl")); }
    bool openFolder(const QByteArray& path) override
    {
        return record(QStringLiteral("openFolder ") + QString::fromUtf8(path));
    }
    bool copyText(const QString& text) override { return record(QStringLiteral("copyText ") + text); }
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

private:
    bool record(const QString& call)
    {
        calls.append(call);
        return true;
    }
};

} // namespace rubbly::test
