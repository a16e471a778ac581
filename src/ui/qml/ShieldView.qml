import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark

// The shield over one screen: the blurred, darkened screen, and in the middle the locked
// application's icon under a lock, its name, the status line and the buttons (or a progress
// indicator while the prompt is open). Return unlocks and Escape cancels while buttons show.
Item {
    id: root

    required property var model
    property var backdrop: null

    focus: true
    Keys.onReturnPressed: if (!model.isAuthenticating) model.requestUnlock()
    Keys.onEnterPressed: if (!model.isAuthenticating) model.requestUnlock()
    Keys.onEscapePressed: if (!model.isAuthenticating) model.cancel()

    VisualEffect {
        anchors.fill: parent
        material: "fullScreenUI"
        backdrop: root.backdrop
    }

    Rectangle {
        anchors.fill: parent
        color: Qt.rgba(0, 0, 0, 0.55)
    }

    // Clicks never reach what lies beneath.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.AllButtons
        onPressed: root.forceActiveFocus()
    }

    ColumnLayout {
        anchors.centerIn: parent
        spacing: 26

        Item {
            id: tile

            Layout.alignment: Qt.AlignHCenter
            implicitWidth: 124
            implicitHeight: 124

            Rectangle {
                anchors.fill: parent
                anchors.topMargin: 12
                anchors.bottomMargin: -12
                radius: 28
                color: Qt.rgba(0, 0, 0, 0.25)
            }
            Rectangle {
                anchors.fill: parent
                radius: 28
                color: Qt.rgba(1, 1, 1, 0.10)
                border.color: Qt.rgba(1, 1, 1, 0.30)
                border.width: 1.2
            }
            ImageItem {
                anchors.centerIn: parent
                width: 84
                height: 84
                visible: root.model.hasIcon
                image: root.model.icon
                blurRadius: 7
                radius: 20
                opacity: 0.85
            }
            Symbol {
                anchors.centerIn: parent
                visible: !root.model.hasIcon
                name: "app.fill"
                size: 56
                color: Qt.rgba(1, 1, 1, 0.35)
            }
            Symbol {
                anchors.centerIn: parent
                anchors.verticalCenterOffset: 2
                name: "lock.fill"
                size: 30
                color: Qt.rgba(0, 0, 0, 0.6)
            }
            Symbol {
                anchors.centerIn: parent
                name: "lock.fill"
                size: 30
                color: "white"
            }
        }

        ColumnLayout {
            Layout.alignment: Qt.AlignHCenter
            spacing: 8

            Label {
                Layout.alignment: Qt.AlignHCenter
                text: root.model.appName
                color: "white"
                font.pixelSize: 30
                font.bold: true
            }
            Label {
                Layout.alignment: Qt.AlignHCenter
                text: root.model.statusText
                color: root.model.failed ? Qt.rgba(1, 0.23, 0.19, 0.9) : Qt.rgba(1, 1, 1, 0.7)
                font.pixelSize: 20
                Accessible.role: Accessible.StaticText
            }
        }

        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 4
            spacing: 10
            visible: root.model.isAuthenticating

            BusyIndicator {
                implicitWidth: 24
                implicitHeight: 24
                running: parent.visible
            }
            Symbol {
                name: "touchid"
                size: 22
                color: Qt.rgba(1, 0.18, 0.33, 0.9)
            }
        }

        ColumnLayout {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 6
            spacing: 14
            visible: !root.model.isAuthenticating

            GlassButton {
                Layout.alignment: Qt.AlignHCenter
                text: "Unlock"
                symbol: "touchid"
                symbolSize: 18
                minimumLabelWidth: 160
                prominent: true
                tint: Theme.blue
                onClicked: root.model.requestUnlock()
            }
            GlassButton {
                Layout.alignment: Qt.AlignHCenter
                text: "Enter Password"
                symbol: "key.fill"
                symbolSize: 15
                minimumLabelWidth: 160
                onClicked: root.model.requestPassword()
            }
            GlassButton {
                Layout.alignment: Qt.AlignHCenter
                text: "Cancel"
                minimumLabelWidth: 120
                onClicked: root.model.cancel()
            }
        }
    }
}
