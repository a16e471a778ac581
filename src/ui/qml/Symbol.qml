import QtQuick
import "Symbols.js" as Symbols
import Veilmark

// One symbol of the bundled icon font, by its name in the symbol table.
Text {
    id: symbol

    property string name
    property int size: 17

    text: Symbols.glyph(name)
    font.family: Theme.symbolFamily
    font.pixelSize: size
    renderType: Text.QtRendering
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    Accessible.ignored: true
}
