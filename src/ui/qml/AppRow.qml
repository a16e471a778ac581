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
    required property var iconImage
    required property bool hasIcon

    objectName: "app-" + bundleID
    cornerRadius: 16
    padding: 14
    implicitHeight: content.implicitHeight + 2 * padding

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
                StatusDot { locked: !row.unlocked }
                Text {
                    text: row.unlocked ? "Unlocked" : "Locked"
                    font.pixelSize: 11
                    color: Theme.secondary
                }
            }
        }

        GlassButton {
            objectName: "relock"
            visible: row.unlocked
            text: "Relock"
            symbol: "lock.fill"
            spacing: 6
            prominent: false
            tint: Theme.accent
            dark: Theme.dark
            Accessible.name: "Relock " + row.name
            onClicked: row.list.relock(row.bundleID)
        }
        GlassButton {
            objectName: "unlock"
            visible: !row.unlocked && row.isEnabled
            text: "Unlock"
            symbol: "lock.open.fill"
            spacing: 6
            prominent: true
            tint: Theme.green
            dark: Theme.dark
            Accessible.name: "Unlock " + row.name
            onClicked: row.list.unlock(row.bundleID)
        }
        SkeuoToggle {
            objectName: "protection"
            isOn: row.isEnabled
            Accessible.name: "Protect " + row.name
            onToggled: value => row.list.setProtection(row.bundleID, value)
        }
        PlainIconButton {
            objectName: "remove"
            symbol: "trash"
            symbolSize: 16
            help: "Remove protection (unlocks the app)"
            onClicked: row.list.remove(row.bundleID)
        }
    }
}
