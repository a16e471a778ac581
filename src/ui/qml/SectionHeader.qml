import QtQuick
import QtQuick.Layouts
import Veilmark

// A screen's title block: symbol tile, title and subtitle; it takes the full width so that
// whatever follows it in a row sits at the trailing edge.
RowLayout {
    id: header

    property string symbol
    property string title
    property string subtitle

    spacing: 12
    Layout.fillWidth: true

    SymbolTile {
        symbol: header.symbol
        symbolSize: 20
    }
    ColumnLayout {
        spacing: 2
        Layout.fillWidth: true

        Text {
            text: header.title
            font.pixelSize: 22
            font.bold: true
            color: Theme.primary
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            text: header.subtitle
            font.pixelSize: 13
            color: Theme.secondary
            wrapMode: Text.WordWrap
            maximumLineCount: 2
            Layout.fillWidth: true
        }
    }
}
