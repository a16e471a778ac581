import QtQuick
import Veilmark

// A frosted card: material, a faint white wash and a highlight along the top edge; no border,
// no shadow. Children are laid out inside `padding`.
Item {
    id: card

    property real cornerRadius: 16
    property real padding: 14
    default property alias content: holder.data

    implicitWidth: holder.childrenRect.width + 2 * padding
    implicitHeight: holder.childrenRect.height + 2 * padding

    VisualEffect {
        anchors.fill: parent
        material: "ultraThin"
        cornerRadius: card.cornerRadius
        dark: Theme.dark
    }
    Rectangle {
        anchors.fill: parent
        radius: card.cornerRadius
        color: Qt.rgba(1, 1, 1, 0.05)
    }
    Rectangle {
        anchors.fill: parent
        radius: card.cornerRadius
        gradient: Gradient {
            GradientStop { position: 0.0; color: Qt.rgba(1, 1, 1, 0.14) }
            GradientStop { position: 0.25; color: "transparent" }
        }
    }
    Item {
        id: holder

        anchors.fill: parent
        anchors.margins: card.padding
    }
}
