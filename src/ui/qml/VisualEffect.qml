import QtQuick
import Veilmark

// Translucent material. X11 has no standard behind-window blur, so a window that has an image
// of what lies behind it (the shield) passes it as `backdrop`, blurred on the CPU; otherwise the
// material is a tinted translucent fill.
Item {
    id: effect

    // "fullScreenUI", "hudWindow", "underWindowBackground", "ultraThin", "popover"
    property string material: "ultraThin"
    property string blending: "behindWindow"
    property bool emphasized: false
    property real cornerRadius: 0
    property bool dark: true
    property var backdrop: null

    readonly property color tint: {
        switch (material) {
        case "fullScreenUI":
            return dark ? Qt.rgba(0.08, 0.08, 0.10, 0.55) : Qt.rgba(0.95, 0.95, 0.97, 0.55)
        case "hudWindow":
            return Qt.rgba(0.12, 0.12, 0.14, 0.92)
        case "underWindowBackground":
            return Qt.rgba(0.93, 0.93, 0.95, 0.94)
        case "popover":
            return dark ? Qt.rgba(0.16, 0.16, 0.18, 0.94) : Qt.rgba(0.97, 0.97, 0.98, 0.94)
        default:
            return dark ? Qt.rgba(1, 1, 1, 0.10) : Qt.rgba(1, 1, 1, 0.45)
        }
    }

    Loader {
        anchors.fill: parent
        active: effect.backdrop !== null
        sourceComponent: ImageItem {
            image: effect.backdrop
            radius: effect.cornerRadius
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: effect.cornerRadius
        color: effect.tint
    }
}
