import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark

// A capsule button of frosted glass; `prominent` fills it with `tint`.
Button {
    id: button

    property bool prominent: false
    property color tint: Theme.accent
    property string symbol: ""
    property int symbolSize: 16
    property real minimumLabelWidth: 0
    property bool dark: true
    // Hover help, also the accessible name of a button that shows only a symbol.
    property string help: ""
    // While the action it started is under way the label, and the accessible name, say `busyText`;
    // whether it can be pressed meanwhile is the owner's choice (`enabled`).
    property bool busy: false
    property string busyText: qsTr("Checking…")

    readonly property color foreground: prominent ? "white" : (dark ? "white" : "#1d1d1f")

    font.pixelSize: 14
    font.weight: Font.DemiBold
    leftPadding: 18
    rightPadding: 18
    topPadding: 9
    bottomPadding: 9
    hoverEnabled: true
    spacing: 10
    focusPolicy: Qt.StrongFocus
    Accessible.name: busy ? busyText : (text.length > 0 ? text : help)
    Accessible.description: help
    Accessible.focusable: true
    Accessible.onPressAction: if (enabled) clicked()
    ToolTip.visible: help.length > 0 && hovered
    ToolTip.text: help
    ToolTip.delay: 600
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
    scale: down ? 0.97 : 1.0

    Behavior on scale {
        SpringAnimation { spring: 5; damping: 0.35; epsilon: 0.001 }
    }

    contentItem: Item {
        implicitWidth: Math.max(button.minimumLabelWidth, label.implicitWidth)
        implicitHeight: label.implicitHeight

        RowLayout {
            id: label

            anchors.centerIn: parent
            spacing: button.spacing

            Symbol {
                visible: button.symbol.length > 0
                name: button.symbol
                size: button.symbolSize
                color: button.foreground
            }
            Text {
                visible: text.length > 0
                text: button.busy ? button.busyText : button.text
                font: button.font
                color: button.foreground
            }
        }
    }

    background: Item {
        implicitHeight: 36
        // Shadow: softer and closer while pressed.
        Rectangle {
            anchors.fill: parent
            anchors.topMargin: button.down ? 1 : 3
            anchors.bottomMargin: button.down ? -1 : -3
            radius: height / 2
            color: Qt.rgba(0, 0, 0, button.down ? 0.05 : 0.15)
        }
        Rectangle {
            id: capsule
            anchors.fill: parent
            radius: height / 2
            color: button.prominent ? Qt.rgba(button.tint.r, button.tint.g, button.tint.b, 0.85)
                                    : Qt.rgba(1, 1, 1, button.dark ? 0.12 : 0.55)
            border.width: 1
            border.color: Qt.rgba(1, 1, 1, button.prominent ? 0.35 : 0.25)
            Rectangle {
                anchors.fill: parent
                anchors.margins: 1
                radius: height / 2
                gradient: Gradient {
                    GradientStop { position: 0.0; color: Qt.rgba(1, 1, 1, button.prominent ? 0.22 : 0.12) }
                    GradientStop { position: 0.5; color: "transparent" }
                }
            }
            Rectangle {
                anchors.fill: parent
                radius: height / 2
                color: "white"
                opacity: button.hovered ? 0.06 : 0
            }
        }
        FocusRing {
            control: button
            radius: height / 2
        }
    }
}
