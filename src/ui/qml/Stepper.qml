import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark

// Minus and plus, without a label of its own. It reports steps and leaves storing (and
// clamping) to its owner; a button is disabled where a step would leave from…to.
RowLayout {
    id: stepper

    property int value: 0
    property int from: 0
    property int to: 100
    property string accessibleName
    signal stepped(int delta)

    spacing: 0

    Repeater {
        model: [ { delta: -1, symbol: "minus" }, { delta: 1, symbol: "plus" } ]
        delegate: AbstractButton {
            id: step

            required property var modelData
            readonly property bool possible: modelData.delta < 0 ? stepper.value > stepper.from
                                                                 : stepper.value < stepper.to

            objectName: modelData.delta < 0 ? "decrement" : "increment"
            enabled: possible
            implicitWidth: 30
            implicitHeight: 24
            focusPolicy: Qt.StrongFocus
            autoRepeat: true
            Accessible.role: Accessible.Button
            Accessible.name: modelData.delta < 0 ? qsTr("Decrease %1").arg(stepper.accessibleName)
                                                 : qsTr("Increase %1").arg(stepper.accessibleName)
            Accessible.focusable: true
            Accessible.onPressAction: if (enabled) clicked()
            Keys.onReturnPressed: clicked()
            Keys.onEnterPressed: clicked()
            onClicked: stepper.stepped(modelData.delta)

            background: Rectangle {
                radius: 7
                color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, step.down ? 0.2 : 0.1)
                border.width: 0.5
                border.color: Qt.rgba(1, 1, 1, 0.25)

                FocusRing {
                    control: step
                    radius: parent.radius + 3
                }
            }
            contentItem: Symbol {
                name: step.modelData.symbol
                size: 14
                color: Theme.primary
                opacity: step.enabled ? 1 : 0.3
            }
        }
    }
}
