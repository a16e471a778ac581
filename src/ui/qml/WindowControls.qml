import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark

// Close and minimise for the frameless main window. Closing only hides Veilmark's window: the
// tray keeps protection running.
RowLayout {
    id: controls

    property var window: null

    spacing: 8

    Repeater {
        model: [
            { symbol: "xmark", help: "Close window", tone: "#ff5f57" },
            { symbol: "minus", help: "Minimize window", tone: "#febc2e" }
        ]
        delegate: AbstractButton {
            id: light

            required property var modelData
            required property int index

            implicitWidth: 14
            implicitHeight: 14
            hoverEnabled: true
            focusPolicy: Qt.StrongFocus
            Accessible.role: Accessible.Button
            Accessible.name: modelData.help
            ToolTip.visible: hovered
            ToolTip.text: modelData.help
            ToolTip.delay: 600
            Keys.onReturnPressed: clicked()
            Keys.onEnterPressed: clicked()
            onClicked: {
                if (!controls.window)
                    return
                if (index === 0)
                    controls.window.close()
                else
                    controls.window.showMinimized()
            }
            background: Rectangle {
                radius: 7
                color: light.modelData.tone
                border.width: light.visualFocus ? 2 : 0.5
                border.color: light.visualFocus ? Theme.accent : Qt.rgba(0, 0, 0, 0.2)
            }
            contentItem: Symbol {
                name: light.modelData.symbol
                size: 10
                color: Qt.rgba(0, 0, 0, 0.55)
                visible: light.hovered || light.visualFocus
            }
        }
    }
}
