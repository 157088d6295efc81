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
    bool openUrl(const QUrl& url) override
    {
        calls.append(QStringLiteral("openUrl"));
        urls.append(url);
        return true;
    }
    bool openFullDiskAccessSettings() override
    {
        calls.append(QStringLiteral("openFullDiskAccessSettings"));
        return true;
    }

    QStringList calls;
    QByteArrayList revealed;
    QList<QUrl> urls;
};

} // namespace rubbly::test
