#pragma once

#include "Workspace.h"

#include <QDBusConnection>
#include <QProcessEnvironment>

namespace rubbly {

// Workspace on a freedesktop desktop: URLs through the desktop's handlers (xdg-open, via
// QDesktopServices), selection through org.freedesktop.FileManager1.ShowItems, which Nautilus,
// Dolphin, Nemo, Caja and Thunar implement.
class DesktopWorkspace final : public Workspace {
public:
    struct Config {
        // The home trash (the folder holding files/ and info/), as bytes.
        QByteArray homeTrash;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        QDBusConnection bus = QDBusConnection::sessionBus();
    };
    explicit DesktopWorkspace(Config config);

    bool openTrash() override;
    bool reveal(const QByteArray& path) override;
    bool openUrl(const QUrl& url) override;
    bool openFolder(const QByteArray& path) override;
    bool copyText(const QString& text) override;
    std::optional<TrashAccessProblem> checkTrashAccess() override;
    QByteArray homeFolder() const override;

    // True when the MIME associations in `env`'s XDG folders name an application for `scheme` URLs.
    static bool hasSchemeHandler(const QString& scheme, const QProcessEnvironment& env);

private:
    Config m_config;
};

} // namespace rubbly
