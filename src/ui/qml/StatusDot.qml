import QtQuick
import Veilmark

// Red when locked, green when not, orange when the lock's state is a problem (a folder missing,
// replaced or failing to lock), with a soft glow of the same colour.
Item {
    id: dot

    property bool locked: true
    property bool problem: false
    readonly property color tone: problem ? Theme.orange : locked ? Theme.red : Theme.green

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
