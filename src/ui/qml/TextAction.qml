import QtQuick
import QtQuick.Controls
import Veilmark

// A plain text button in the accent colour (the tray panel's row actions).
AbstractButton {
    id: button

    implicitWidth: label.implicitWidth + 8
    implicitHeight: label.implicitHeight + 4
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: text
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Text {
        id: label

        text: button.text
        font.pixelSize: 12
        font.weight: Font.Medium
        color: Theme.accent
        opacity: button.down ? 0.6 : 1
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.underline: button.hovered
    }
    background: Rectangle {
        radius: 4
        color: "transparent"
        border.width: 1.5
        border.color: Theme.accent
        visible: button.visualFocus
    }
}
