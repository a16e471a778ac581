import QtQuick
import QtQuick.Layouts
import Veilmark

// A settings row: symbol, title over subtitle, and the row's control at the trailing end.
RowLayout {
    id: row

    property string symbol
    property string title
    property string subtitle
    default property alias control: trailing.data

    spacing: 14
    Layout.fillWidth: true

    Symbol {
        Layout.preferredWidth: 28
        name: row.symbol
        size: 20
        color: Theme.accent
    }
    ColumnLayout {
        spacing: 2
        Layout.fillWidth: true
        Text {
            text: row.title
            font.pixelSize: 14
            font.weight: Font.DemiBold
            color: Theme.primary
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
        Text {
            text: row.subtitle
            font.pixelSize: 11
            color: Theme.secondary
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
    }
    RowLayout {
        id: trailing
        spacing: 8
    }
}
