import QtQuick
import Veilmark

// Red when locked, green when not, with a soft glow of the same colour.
Item {
    id: dot

    property bool locked: true
    readonly property color tone: locked ? Theme.red : Theme.green

    implicitWidth: 10
    implicitHeight: 10
    Accessible.ignored: true

    Rectangle {
        anchors.centerIn: parent
        width: 16
        height: 16
        radius: 8
        color: Qt.rgba(dot.tone.r, dot.tone.g, dot.tone.b, 0.22)
    }
    Rectangle {
        anchors.fill: parent
        radius: 5
        color: dot.tone
        border.width: 0.5
        border.color: Qt.rgba(1, 1, 1, 0.4)
    }
}
