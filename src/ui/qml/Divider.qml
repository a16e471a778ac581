import QtQuick
import QtQuick.Layouts
import Veilmark

// A hairline between rows.
Rectangle {
    property real strength: 0.15

    Layout.fillWidth: true
    implicitHeight: 1
    color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, strength)
}
