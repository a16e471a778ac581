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
                text: qsTr("%n locked", "", panel.lockedCount)
                font.pixelSize: 11
                color: Theme.secondary
            }
        }

        Divider { strength: 0.4 * 0.35 }

        Text {
            objectName: "nothingProtected"
            visible: panel.nothingProtected
            text: qsTr("Nothing protected yet")
            font.pixelSize: 13
            color: Theme.secondary
            topPadding: 4
            bottomPadding: 4
        }

        // The enabled apps, then the enabled folders, in one list. The panel grows with it up to
        // about a dozen rows, then the list scrolls.
        RowList {
            id: rowList

            readonly property bool scrolls: contentHeight > height

            objectName: "trayList"
            visible: !panel.nothingProtected
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(contentHeight, 300)
            spacing: 6
            model: panel.context.trayRows
            ScrollBar.vertical: ScrollBar { policy: rowList.scrolls ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff }
            delegate: RowLayout {
                id: trayRow

                required property int index
                required property string kind
                required property string recordID
                required property string name
                required property bool locked
                required property string problem
                readonly property bool isApp: kind === "app"

                objectName: isApp ? "trayApp-" + recordID : "trayFolder-" + name
                width: ListView.view.width - (rowList.scrolls ? 14 : 0)
                spacing: 8
                onIndexChanged: rowList.keepInTabOrder(trayRow)
                Component.onCompleted: rowList.keepInTabOrder(trayRow)
                ListView.onPooled: visible = false
                ListView.onReused: {
                    visible = true
                    rowList.keepInTabOrder(trayRow)
                }

                StatusDot {
                    locked: trayRow.locked
                    problem: trayRow.problem !== ""
                }
                Text {
                    text: trayRow.name
                    font.pixelSize: 13
                    color: Theme.primary
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
                Text {
                    visible: trayRow.problem !== ""
                    text: trayRow.problem
                    font.pixelSize: 12
                    color: Theme.red
                }
                TextAction {
                    visible: trayRow.problem === ""
                    objectName: trayRow.locked ? "unlock" : trayRow.isApp ? "relock" : "lock"
                    text: trayRow.locked ? qsTr("Unlock") : trayRow.isApp ? qsTr("Relock") : qsTr("Lock")
                    Accessible.name: trayRow.locked ? qsTr("Unlock %1").arg(trayRow.name)
                                                    : trayRow.isApp ? qsTr("Relock %1").arg(trayRow.name)
                                                                    : qsTr("Lock %1").arg(trayRow.name)
                    onActiveFocusChanged: if (activeFocus) rowList.positionViewAtIndex(trayRow.index, ListView.Contain)
                    onClicked: {
                        if (trayRow.isApp)
                            trayRow.locked ? panel.apps.unlock(trayRow.recordID) : panel.apps.relock(trayRow.recordID)
                        else
                            trayRow.locked ? panel.folders.unlock(trayRow.recordID) : panel.folders.lock(trayRow.recordID)
                    }
                }
            }
        }

        Divider { strength: 0.4 * 0.35 }

        RowLayout {
            Layout.fillWidth: true
            GlassButton {
                objectName: "lockAll"
                text: qsTr("Lock All")
                symbol: "lock.fill"
                spacing: 6
                prominent: true
                tint: Theme.red
                dark: Theme.dark
                // The reason is the log record's detail, stored as written.
                onClicked: panel.context.lockEverything(qsTr("Tray lock-all"))
            }
            Item { Layout.fillWidth: true }
            GlassButton {
                objectName: "openMain"
                symbol: "macwindow"
                help: qsTr("Open Veilmark")
                dark: Theme.dark
                onClicked: {
                    panel.dismissed()
                    panel.context.openMainWindow()
                }
            }
            GlassButton {
                objectName: "quit"
                symbol: "power"
                help: qsTr("Quit Veilmark (protection stops)")
                dark: Theme.dark
                onClicked: panel.context.quit()
            }
        }
    }
}
