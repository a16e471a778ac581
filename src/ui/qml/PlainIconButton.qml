import QtQuick
import QtQuick.Controls
import Veilmark

// A bare symbol button (remove); its hover help is also its accessible name unless the owner
// names it after what it acts on.
AbstractButton {
    id: button

    property string symbol
    property string help
    property int symbolSize: 15

    implicitWidth: 28
    implicitHeight: 28
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: help
    Accessible.description: help
    Accessible.focusable: true
    Accessible.onPressAction: if (enabled) clicked()
    ToolTip.visible: hovered && help.length > 0
    ToolTip.text: help
    ToolTip.delay: 600
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Symbol {
        name: button.symbol
        size: button.symbolSize
        color: button.hovered ? Theme.primary : Theme.secondary
        opacity: button.down ? 0.6 : 1
    }
    background: Item {
        FocusRing {
            control: button
            inset: 0
            radius: 8
        }
    }
}
