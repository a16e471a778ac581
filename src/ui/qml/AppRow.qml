import QtQuick
import QtQuick.Layouts
import Veilmark
import Veilmark.Models

// One protected application of the Apps screen.
GlassCard {
    id: row

    required property AppListModel list
    required property string bundleID
    required property string name
    required property bool isEnabled
    required property bool unlocked
    // False when nothing watches applications in this session: then nothing is locked either.
    property bool watched: true
    required property var iconImage
    required property bool hasIcon
    required property int index
    // A control of this row has keyboard focus: the list scrolls the row into sight.
    readonly property bool holdsFocus: relock.activeFocus || unlock.activeFocus || protection.activeFocus
                                       || remove.activeFocus

    objectName: "app-" + bundleID
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
            ImageItem {
                anchors.fill: parent
                visible: row.hasIcon
                image: row.iconImage
            }
            Symbol {
                anchors.centerIn: parent
                visible: !row.hasIcon
                name: "app.fill"
                size: 34
                color: Theme.secondary
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
                StatusDot { locked: row.watched && row.isEnabled && !row.unlocked }
                Text {
                    objectName: "status"
                    text: !row.isEnabled ? qsTr("Off") : !row.watched ? qsTr("Not watched")
                                                       : row.unlocked ? qsTr("Unlocked") : qsTr("Locked")
                    font.pixelSize: 11
                    color: Theme.secondary
                }
            }
        }

        GlassButton {
            id: relock

            objectName: "relock"
            visible: row.unlocked
            text: qsTr("Relock")
            symbol: "lock.fill"
            spacing: 6
            prominent: false
            tint: Theme.accent
            dark: Theme.dark
            Accessible.name: qsTr("Relock %1").arg(row.name)
            onClicked: row.list.relock(row.bundleID)
        }
        GlassButton {
            id: unlock

            objectName: "unlock"
            visible: !row.unlocked && row.isEnabled && row.watched
            text: qsTr("Unlock")
            symbol: "lock.open.fill"
            spacing: 6
            prominent: true
            tint: Theme.green
            dark: Theme.dark
            Accessible.name: qsTr("Unlock %1").arg(row.name)
            onClicked: row.list.unlock(row.bundleID)
        }
        SkeuoToggle {
            id: protection

            objectName: "protection"
            isOn: row.isEnabled
            Accessible.name: qsTr("Protect %1").arg(row.name)
            onToggled: value => row.list.setProtection(row.bundleID, value)
        }
        PlainIconButton {
            id: remove

            objectName: "remove"
            symbol: "trash"
            symbolSize: 16
            help: qsTr("Remove protection (unlocks the app)")
            Accessible.name: qsTr("Remove protection from %1").arg(row.name)
            onClicked: row.list.remove(row.bundleID)
        }
    }
}
