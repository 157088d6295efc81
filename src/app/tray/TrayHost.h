#pragma once

#include "DesktopSession.h"
#include "StatusItem.h"

#include <QColor>
#include <QDBusConnection>

#include <memory>

class QMenu;

namespace rubbly {

class StatusNotifierItem;
class XEmbedStatusItem;
class XEmbedTrayWatch;

// The status item the application uses: it owns our StatusNotifierItem for the whole run (so it
// registers as soon as any watcher appears), and on X11 starts the XEmbed fallback while no watcher
// runs but an XEmbed tray does. It follows both as the desktop changes (a panel restarted, an
// extension switched on) and reports isShown() false when neither shows the item; the application
// then opens its panel as an ordinary window, with missingSupport() in its notice.
class TrayHost final : public StatusItem {
    Q_OBJECT
public:
    enum class Backend {
        None,           // nothing shows the item
        StatusNotifier, // a StatusNotifierItem host shows it
        XEmbed,         // an XEmbed notification area shows it
    };
    Q_ENUM(Backend)

    // Needs a QApplication. The XEmbed fallback is used only when the interface runs on X11 (the
    // "xcb" Qt platform) and `session` has an X display.
    explicit TrayHost(const DesktopSession& session = DesktopSession::detect(),
                      QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~TrayHost() override;

    // Registers the item and starts watching; the first decision follows with shownChanged().
    void start();

    void setLabel(const QString& text) override;
    QString label() const override { return m_label; }
    bool isShown() const override { return m_backend != Backend::None; }
    // False until the StatusNotifierItem's first registration has been answered (or there was no
    // watcher to ask), so the application does not open a window for a tray about to appear.
    bool isSettled() const override;

    Backend backend() const { return m_backend; }
    // What the desktop lacks to show the item, for the notice beside the window, e.g. "the
    // AppIndicator extension (package gnome-shell-extension-appindicator)".
    QString missingSupport() const;

    StatusNotifierItem& statusNotifierItem() const { return *m_sni; }

Q_SIGNALS:
    void backendChanged();

private:
    void evaluate();
    // Draws the icon's pixmaps for the panel, as far as we know its colour.
    void updateIcon();
    void showContextMenu(QPoint position);

    DesktopSession m_session;
    bool m_hasBus = false;
    std::unique_ptr<StatusNotifierItem> m_sni;
    std::unique_ptr<XEmbedTrayWatch> m_xembedWatch;
    std::unique_ptr<XEmbedStatusItem> m_xembed;
    std::unique_ptr<QMenu> m_contextMenu;
    QString m_label;
    QString m_themePath;
    QColor m_iconColor;
    Backend m_backend = Backend::None;
    bool m_settled = false;
    bool m_started = false;
};

} // namespace rubbly
