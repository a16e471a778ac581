import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark

// One navigation row of the sidebar; the whole rounded row is its hit area.
AbstractButton {
    id: row

    property string symbol
    property bool selected: false

    implicitHeight: 22 + 16
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.PageTab
    Accessible.name: text
    Accessible.selected: selected
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    background: Rectangle {
        radius: 12
        color: row.selected ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.18)
                            : (row.hovered ? Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.05)
                                           : "transparent")
        border.width: row.visualFocus ? 2 : 1
        border.color: row.visualFocus ? Theme.accent
                                      : (row.selected ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.3)
                                                      : "transparent")
    }

    contentItem: RowLayout {
        spacing: 10

        Item {
            Layout.leftMargin: 12
            implicitWidth: 22
            implicitHeight: 22
            Symbol {
                anchors.centerIn: parent
                name: row.symbol
                size: 17
                color: row.selected ? Theme.accent : Theme.primary
            }
        }
        Text {
            text: row.text
            font.pixelSize: 14
            font.weight: Font.Medium
            color: Theme.primary
            elide: Text.ElideRight
            Layout.fillWidth: true
            Layout.rightMargin: 12
        }
    }
}
