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
    Accessible.focusable: true
    Accessible.onPressAction: if (enabled) clicked()
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
    background: Item {
        FocusRing {
            control: button
            inset: -1
            radius: 5
        }
    }
}
