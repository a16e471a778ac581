import QtQuick
import QtQuick.Templates as T
import Veilmark

// A switch with a glossy track and a sliding knob. It does not change `isOn` itself: a click
// reports the wanted value through `toggled`, and the owner's binding moves the knob. A check box
// underneath, so that assistive technology sees a checkable control and its state.
T.CheckBox {
    id: toggle

    property bool isOn: false
    signal toggled(bool value)

    implicitWidth: 46
    implicitHeight: 27
    focusPolicy: Qt.StrongFocus
    checked: isOn
    // A click asks; only the owner changes the state.
    nextCheckState: () => checkState
    Accessible.focusable: true
    // Without these Qt would flip `checked` itself, past the owner.
    Accessible.onPressAction: if (enabled) clicked()
    Accessible.onToggleAction: if (enabled) clicked()
    onClicked: toggled(!isOn)
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    background: Rectangle {
        radius: height / 2
        color: toggle.isOn ? Qt.rgba(Theme.green.r, Theme.green.g, Theme.green.b, 0.85)
                           : Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.18)
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.25)

        Behavior on color { ColorAnimation { duration: 200 } }

        FocusRing {
            control: toggle
            radius: height / 2
        }
    }

    contentItem: Item {
        Rectangle {
            // Shadow of the knob.
            x: knob.x
            y: knob.y + 1
            width: knob.width
            height: knob.height
            radius: width / 2
            color: Qt.rgba(0, 0, 0, 0.3)
        }
        Rectangle {
            id: knob

            objectName: "knob"
            width: 23
            height: 23
            radius: 11.5
            y: 2
            x: toggle.isOn ? toggle.width - width - 2 : 2
            color: "white"

            Behavior on x { SpringAnimation { spring: 4; damping: 0.42; epsilon: 0.25 } }
        }
    }
}
