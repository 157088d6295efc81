// Rubbly's size in Plasma 5's panel: the Trash icon and the label the tray application shows, in
// the panel's own font, colours and scale. The label comes from `rubbly tray label --wait=LAST`,
// which sleeps until the label changes and then prints it: one short process per change, none
// between, and no timer here or there.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import org.kde.plasma.plasmoid 2.0
import org.kde.plasma.core 2.0 as PlasmaCore
import org.kde.plasma.components 3.0 as PlasmaComponents3

Item {
    id: root

    property string label: ""
    property bool failed: false
    readonly property string command: plasmoid.configuration.command || "rubbly"
    // `rubbly tray add-to-panel` writes the command just after Plasma made the widget: a first run
    // of the default that failed is retried with it.
    onCommandChanged: if (failed) follow()

    function quoted(text) {
        return "'" + text.replace(/'/g, "'\\''") + "'"
    }

    // The right button's menu is Plasma's, as for every widget; these come first in it, as the
    // status item's own menu offers them.
    function action_emptyTrash() {
        runner.connectSource(command + " --empty-trash")
    }
    function action_settings() {
        runner.connectSource(command + " --settings")
    }

    function follow(last) {
        reader.connectSource(last === undefined ? command + " tray label"
                                                : command + " tray label --wait=" + quoted(last))
    }

    Plasmoid.preferredRepresentation: Plasmoid.compactRepresentation
    Plasmoid.icon: label.length > 0 ? "user-trash-full" : "user-trash"
    Plasmoid.toolTipMainText: "Rubbly"
    Plasmoid.toolTipSubText: failed ? i18n("Rubbly did not start (%1)", command) : label

    PlasmaCore.DataSource {
        id: reader
        engine: "executable"
        onNewData: {
            disconnectSource(sourceName)
            // A command that fails would fail again at once: stop until the next click.
            root.failed = data["exit code"] !== 0
            if (root.failed)
                return
            root.label = data.stdout.trim()
            root.follow(root.label)
        }
    }

    PlasmaCore.DataSource {
        id: runner
        engine: "executable"
        onNewData: disconnectSource(sourceName)
    }

    Plasmoid.compactRepresentation: MouseArea {
        Layout.minimumWidth: row.implicitWidth
        Layout.preferredWidth: row.implicitWidth
        acceptedButtons: Qt.LeftButton
        onClicked: {
            runner.connectSource(root.command + " --toggle-panel")
            if (root.failed)
                root.follow()
        }

        RowLayout {
            id: row
            anchors.fill: parent
            spacing: PlasmaCore.Units.smallSpacing

            PlasmaCore.IconItem {
                source: plasmoid.icon
                Layout.fillHeight: true
                Layout.preferredWidth: height
            }
            PlasmaComponents3.Label {
                text: root.label
                visible: text.length > 0
                Layout.fillHeight: true
                verticalAlignment: Text.AlignVCenter
            }
        }
    }

    Component.onCompleted: {
        plasmoid.setAction("emptyTrash", i18n("Empty Trash…"), "trash-empty")
        plasmoid.setAction("settings", i18n("Settings…"), "configure")
        // The stored command is ours to write, not the user's to edit: Plasma's own "Configure…"
        // entry would open an empty page. Our settings are behind "Settings…" above.
        plasmoid.removeAction("configure")
        follow()
    }
}
