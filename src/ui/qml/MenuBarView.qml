import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark
import Veilmark.Models

// The tray panel: how much is locked, one-click lock and unlock per enabled record, Lock All,
// the main window and Quit.
Item {
    id: panel

    required property ViewContext context
    readonly property AppListModel apps: context.enabledApps
    readonly property FolderListModel folders: context.enabledFolders
    readonly property bool nothingProtected: context.apps.count === 0 && context.folders.count === 0
    readonly property int lockedCount: apps.lockedCount + folders.lockedCount
    signal dismissed()

    implicitWidth: 320
    implicitHeight: layout.implicitHeight + 28
    width: implicitWidth
    height: implicitHeight
    focus: true
    Keys.onEscapePressed: dismissed()

    VisualEffect {
        anchors.fill: parent
        material: "popover"
        cornerRadius: 12
        dark: Theme.dark
    }
    Rectangle {
        anchors.fill: parent
        radius: 12
        color: "transparent"
        border.width: 1
        border.color: Theme.dark ? Qt.rgba(1, 1, 1, 0.18) : Qt.rgba(0, 0, 0, 0.12)
    }

    ColumnLayout {
        id: layout

        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 14
        spacing: 10

        RowLayout {
            spacing: 8
            Layout.fillWidth: true
            Symbol {
                name: "lock.shield.fill"
                size: 17
                color: Theme.accent
            }
            Text {
                text: "Veilmark"
                font.pixelSize: 14
                font.bold: true
                color: Theme.primary
                Layout.fillWidth: true
                elide: Text.ElideRight
            }
            Text {
                objectName: "lockedCount"
                text: panel.lockedCount + " locked"
                font.pixelSize: 11
                color: Theme.secondary
            }
        }

        Divider { strength: 0.4 * 0.35 }

        Text {
            objectName: "nothingProtected"
            visible: panel.nothingProtected
            text: "Nothing protected yet"
            font.pixelSize: 13
            color: Theme.secondary
            topPadding: 4
            bottomPadding: 4
        }

        ColumnLayout {
            visible: !panel.nothingProtected
            spacing: 6
            Layout.fillWidth: true

            Repeater {
                model: panel.apps
                delegate: RowLayout {
                    id: appRow

                    required property string bundleID
                    required property string name
                    required property bool unlocked

                    objectName: "trayApp-" + bundleID
                    spacing: 8
                    Layout.fillWidth: true
                    StatusDot { locked: !appRow.unlocked }
                    Text {
                        text: appRow.name
                        font.pixelSize: 13
                        color: Theme.primary
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                    TextAction {
                        objectName: appRow.unlocked ? "relock" : "unlock"
                        text: appRow.unlocked ? "Relock" : "Unlock"
                        Accessible.name: text + " " + appRow.name
                        onClicked: appRow.unlocked ? panel.apps.relock(appRow.bundleID)
                                                   : panel.apps.unlock(appRow.bundleID)
                    }
                }
            }
            Repeater {
                model: panel.folders
                delegate: RowLayout {
                    id: folderRow

                    required property string folderID
                    required property string name
                    required property bool locked
                    required property string stateText
                    required property bool unreachable

                    objectName: "trayFolder-" + name
                    spacing: 8
                    Layout.fillWidth: true
                    StatusDot {
                        locked: folderRow.locked
                        problem: folderRow.unreachable
                    }
                    Text {
                        text: folderRow.name
                        font.pixelSize: 13
                        color: Theme.primary
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                    Text {
                        visible: folderRow.unreachable
                        text: folderRow.stateText
                        font.pixelSize: 12
                        color: Theme.red
                    }
                    TextAction {
                        visible: !folderRow.unreachable
                        objectName: folderRow.locked ? "unlock" : "lock"
                        text: folderRow.locked ? "Unlock" : "Lock"
                        Accessible.name: text + " " + folderRow.name
                        onClicked: folderRow.locked ? panel.folders.unlock(folderRow.folderID)
                                                    : panel.folders.lock(folderRow.folderID)
                    }
                }
            }
        }

        Divider { strength: 0.4 * 0.35 }

        RowLayout {
            Layout.fillWidth: true
            GlassButton {
                objectName: "lockAll"
                text: "Lock All"
                symbol: "lock.fill"
                spacing: 6
                prominent: true
                tint: Theme.red
                dark: Theme.dark
                onClicked: panel.context.lockEverything("Tray lock-all")
            }
            Item { Layout.fillWidth: true }
            GlassButton {
                objectName: "openMain"
                symbol: "macwindow"
                help: "Open Veilmark"
                dark: Theme.dark
                onClicked: {
                    panel.dismissed()
                    panel.context.openMainWindow()
                }
            }
            GlassButton {
                objectName: "quit"
                symbol: "power"
                help: "Quit Veilmark (protection stops)"
                dark: Theme.dark
                onClicked: panel.context.quit()
            }
        }
    }
}
