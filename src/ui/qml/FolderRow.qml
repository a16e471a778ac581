import QtQuick
import QtQuick.Layouts
import Veilmark
import Veilmark.Models

// One protected folder of the Folders screen.
GlassCard {
    id: row

    required property FolderListModel list
    required property string folderID
    required property string name
    required property string displayPath
    required property bool locked
    required property string stateText
    required property string problem
    required property bool unreachable
    required property int index
    // A control of this row has keyboard focus: the list scrolls the row into sight.
    readonly property bool holdsFocus: lock.activeFocus || unlock.activeFocus || remove.activeFocus

    objectName: "folder-" + name
    cornerRadius: 16
    padding: 14
    implicitHeight: content.implicitHeight + 2 * padding
    onHoldsFocusChanged: if (holdsFocus && ListView.view) ListView.view.positionViewAtIndex(index, ListView.Contain)

    RowLayout {
        id: content

        width: row.width - 2 * row.padding
        spacing: 14

        Item {
            implicitWidth: 40
            implicitHeight: 40
            Symbol {
                anchors.centerIn: parent
                name: "folder.fill"
                size: 34
                color: Theme.accent
            }
            Rectangle {
                objectName: "lockBadge"
                visible: row.locked
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                anchors.rightMargin: -3
                anchors.bottomMargin: -3
                width: badge.implicitWidth + 6
                height: badge.implicitHeight + 6
                radius: width / 2
                color: Theme.red
                Symbol {
                    id: badge

                    anchors.centerIn: parent
                    name: "lock.fill"
                    size: 12
                    font.bold: true
                    color: "white"
                }
            }
        }

        ColumnLayout {
            spacing: 3
            Layout.fillWidth: true

            Text {
                text: row.name
                font.pixelSize: 14
                font.weight: Font.DemiBold
                color: Theme.primary
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            RowLayout {
                spacing: 6
                StatusDot {
                    locked: row.locked
                    problem: row.problem !== ""
                }
                Text {
                    objectName: "state"
                    text: row.stateText
                    font.pixelSize: 11
                    font.weight: row.problem === "" ? Font.Normal : Font.DemiBold
                    color: row.problem === "" ? Theme.secondary : Theme.red
                }
            }
            Text {
                objectName: "problem"
                visible: row.problem !== ""
                text: row.problem
                font.pixelSize: 10
                color: Theme.secondary
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            Text {
                text: row.displayPath
                font.pixelSize: 10
                color: Theme.tertiary
                elide: Text.ElideMiddle
                maximumLineCount: 1
                Layout.fillWidth: true
            }
        }

        GlassButton {
            id: lock

            objectName: "lock"
            visible: !row.locked && !row.unreachable
            text: qsTr("Lock")
            symbol: "lock.fill"
            spacing: 6
            prominent: false
            tint: Theme.accent
            dark: Theme.dark
            Accessible.name: qsTr("Lock %1").arg(row.name)
            onClicked: row.list.lock(row.folderID)
        }
        GlassButton {
            id: unlock

            objectName: "unlock"
            visible: row.locked && !row.unreachable
            text: qsTr("Unlock")
            symbol: "lock.open.fill"
            spacing: 6
            prominent: true
            tint: Theme.green
            dark: Theme.dark
            Accessible.name: qsTr("Unlock %1").arg(row.name)
            onClicked: row.list.unlock(row.folderID)
        }
        PlainIconButton {
            id: remove

            objectName: "remove"
            symbol: "trash"
            symbolSize: 16
            help: qsTr("Remove protection (unlocks the folder)")
            Accessible.name: qsTr("Remove protection from %1").arg(row.name)
            onClicked: row.list.remove(row.folderID)
        }
    }
}
