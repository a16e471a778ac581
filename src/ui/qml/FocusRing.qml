import QtQuick
import Veilmark

// The ring around the control that has keyboard focus, the same on every control and in both
// palettes: an accent outline just outside the control's shape, over a faint halo that keeps it
// apart from an accent-coloured fill.
Rectangle {
    // A control of Qt Quick Controls: its `visualFocus` says that the keyboard moved focus there.
    property Item control
    property real inset: -3

    objectName: "focusRing"
    anchors.fill: parent
    anchors.margins: inset
    visible: control !== null && control.visualFocus
    color: "transparent"
    border.width: 2
    border.color: Theme.accent
    Accessible.ignored: true

    Rectangle {
        anchors.fill: parent
        anchors.margins: -2
        radius: parent.radius + 2
        color: "transparent"
        border.width: 2
        border.color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.3)
    }
}
