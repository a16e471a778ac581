import QtQuick
import QtQuick.Layouts
import Veilmark

// The card a screen shows instead of an empty list.
GlassCard {
    id: card

    property string symbol
    property string title
    property string message
    property real messageWidth: 380
    property real spacing: 14

    cornerRadius: 22
    padding: 40
    Layout.fillWidth: true

    ColumnLayout {
        width: card.width - 2 * card.padding
        spacing: card.spacing

        Symbol {
            Layout.alignment: Qt.AlignHCenter
            name: card.symbol
            size: 44
            font.weight: Font.Light
            color: Theme.secondary
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            text: card.title
            font.pixelSize: 17
            font.weight: Font.DemiBold
            color: Theme.primary
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: card.messageWidth
            Layout.preferredWidth: Math.min(implicitWidth, card.messageWidth)
            visible: text.length > 0
            text: card.message
            font.pixelSize: 13
            color: Theme.secondary
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
        }
    }
}
