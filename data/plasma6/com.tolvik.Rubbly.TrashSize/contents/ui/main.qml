// Rubbly's size in Plasma 6's panel: the Trash icon and the label the tray application shows, in
// the panel's own font, colours and scale. The label comes from `rubbly tray label --wait=LAST`,
// which sleeps until the label changes and then prints it: one short process per change, none
// between, and no timer here or there.
import QtQuick
import QtQuick.Layouts
import org.kde.plasma.plasmoid
import org.kde.plasma.core as PlasmaCore
import org.kde.plasma.components as PlasmaComponents
import org.kde.plasma.plasma5support as P5Support
import org.kde.kirigami as Kirigami

PlasmoidItem {
    id: root

    property string label: ""
    property bool failed: false
    readonly property string command: Plasmoid.configuration.command || "rubbly"
    // `rubbly tray add-to-panel` writes the command just after Plasma made the widget: a first run
    // of the default that failed is retried with it.
    onCommandChanged: if (failed) follow()

    function quoted(text) {
        return "'" + text.replace(/'/g, "'\\''") + "'"
    }

    function follow(last) {
        reader.connectSource(last === undefined ? command + " tray label"
                                                : command + " tray label --wait=" + quoted(last))
    }

    Plasmoid.icon: label.length > 0 ? "user-trash-full" : "user-trash"
    // The stored command is ours to write, not the user's to edit: without this Plasma offers a
    // "Configure…" entry that opens an empty page. Our settings are behind "Settings…" below.
    Plasmoid.hasConfigurationInterface: false
    toolTipMainText: "Rubbly"
    toolTipSubText: failed ? i18n("Rubbly did not start (%1)", command) : label

    // The right button's menu is Plasma's, as for every widget; these come first in it, as the
    // status item's own menu offers them.
    Plasmoid.contextualActions: [
        PlasmaCore.Action {
            text: i18n("Empty Trash…")
            icon.name: "trash-empty"
            onTriggered: runner.connectSource(root.command + " --empty-trash")
        },
        PlasmaCore.Action {
            text: i18n("Settings…")
            icon.name: "configure"
            onTriggered: runner.connectSource(root.command + " --settings")
        }
    ]

    P5Support.DataSource {
        id: reader
        engine: "executable"
        onNewData: (sourceName, data) => {
            disconnectSource(sourceName)
            // A command that fails would fail again at once: stop until the next click.
            root.failed = data["exit code"] !== 0
            if (root.failed)
                return
            root.label = data.stdout.trim()
            root.follow(root.label)
        }
    }

    P5Support.DataSource {
        id: runner
        engine: "executable"
        onNewData: (sourceName, data) => disconnectSource(sourceName)
    }

    // Plasma 6 shows a widget without a full representation as its own contents, always "expanded":
    // a compact representation alone is never made (it was in Plasma 5, which took the root item
    // for the full one), so the icon and the size are the widget's contents.
    Layout.minimumWidth: row.implicitWidth
    Layout.preferredWidth: row.implicitWidth

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton
        onClicked: {
            runner.connectSource(root.command + " --toggle-panel")
            if (root.failed)
                root.follow()
        }

        RowLayout {
            id: row
            anchors.fill: parent
            spacing: Kirigami.Units.smallSpacing

            Kirigami.Icon {
                source: Plasmoid.icon
                Layout.fillHeight: true
                Layout.preferredWidth: height
            }
            PlasmaComponents.Label {
                text: root.label
                visible: text.length > 0
                Layout.fillHeight: true
                verticalAlignment: Text.AlignVCenter
            }
        }
    }

    Component.onCompleted: follow()
}
