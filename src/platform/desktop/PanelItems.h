#pragma once

#include "DesktopSession.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QVariantMap>

namespace rubbly {

// The desktops whose own panel can carry an item that draws our label: their trays draw only the
// status item's icon.
enum class PanelDesktop {
    None,
    Plasma, // a Plasma widget, one package per Plasma major
    Xfce,   // xfce4-panel's generic monitor (xfce4-genmon-plugin) running `rubbly tray label --genmon`
};

PanelDesktop panelDesktop(const DesktopSession& session);

// What adding the item did, as a sentence for the command line and the settings window.
struct PanelItemOutcome {
    bool ok = false;
    QString message;
};

// Puts the size item into the running desktop's panel, only when the user asks for it.
class PanelItems final {
    Q_DECLARE_TR_FUNCTIONS(PanelItems)

public:
    struct Config {
        QString program;    // the command the panel runs for us (our executable, or the folder's AppRun)
        QString bundleData; // the share/ folder beside our bin/, which holds the Plasma widgets
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        QDBusConnection bus = QDBusConnection::sessionBus();
        static Config forThisProgram();
    };

    explicit PanelItems(Config config);

    PanelItemOutcome add(PanelDesktop desktop) const;

    // The Plasma widget's package id for a Plasma major (5 or 6).
    static QString plasmaWidgetId(int plasmaMajor);
    // Copies the widget package from our share/ folder into the user's data folder unless the
    // system's data folders hold it (a package install); returns an error sentence or an empty one.
    QString installPlasmaWidget(const QString& id) const;

private:
    PanelItemOutcome addToPlasma() const;
    PanelItemOutcome addToXfce() const;

    Config m_config;
};

// xfce4-panel keeps its layout in the xfconf channel "xfce4-panel": /panels/panel-N/plugin-ids (an
// array of ints) and /plugins/plugin-ID (the plugin's module name); the generic monitor keeps its
// own settings in $XDG_CONFIG_HOME/xfce4/panel/genmon-ID.rc.
namespace xfcepanel {

struct Plan {
    bool present = false; // a generic monitor of ours is already there
    int pluginId = 0;     // the new plugin's id, or the present one's
    QString panel;        // "/panels/panel-1/plugin-ids"
    QList<int> pluginIds; // the panel's new plugin list
    QString error;        // no panel in the configuration
};

// From the channel's properties (GetAllProperties, arrays as QVariantList) and the generic
// monitors' commands by plugin id: where the new item goes (before the notification area of the
// panel that has one, else at the end of the first panel) and under which id.
Plan plan(const QVariantMap& channel, const QMap<int, QString>& genmonCommands);

// Asks the running panel to restart (its way of making the plugins its settings list); an empty
// string once the panel has the request, else the bus's error.
QString restart(const QDBusConnection& bus);

// The generic monitor's settings: our command, no caption, and a period so long that it never
// wakes on its own (the tray application refreshes it on each change of the label).
QByteArray genmonSettings(const QString& command);

// What `rubbly tray label --genmon` prints for the generic monitor.
QString genmonMarkup(const QString& label, const QString& program);

// The command of each generic monitor that runs ours, by plugin id, from the rc files in `configHome`.
QMap<int, QString> genmonCommands(const QString& configHome);
bool isOurCommand(const QString& command);

} // namespace xfcepanel

} // namespace rubbly
