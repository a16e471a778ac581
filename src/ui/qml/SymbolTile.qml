import QtQuick
import Veilmark

// A symbol in the accent colour on a small frosted tile (screen headers, About rows).
Item {
    id: tile

    property string symbol
    property int symbolSize: 20

    implicitWidth: 36
    implicitHeight: 36

    VisualEffect {
        anchors.fill: parent
        material: "ultraThin"
        cornerRadius: 12
        dark: Theme.dark
    }
    Rectangle {
        anchors.fill: parent
        radius: 12
        color: "transparent"
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.25)
    }
    Symbol {
        anchors.centerIn: parent
        name: tile.symbol
        size: tile.symbolSize
        color: Theme.accent
    }
}
