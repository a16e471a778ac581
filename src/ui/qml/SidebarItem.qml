import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Veilmark

// One navigation row of the sidebar; the whole rounded row is its hit area. A tab to assistive
// technology, selected while its screen is shown.
T.TabButton {
    id: row

    property string symbol
    property bool selected: false

    implicitWidth: Math.max(implicitBackgroundWidth, implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: 22 + 16
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    // The owner says which row is selected; a click only asks.
    checkable: false
    Accessible.name: text
    Accessible.selected: selected
    Accessible.focusable: true
    Accessible.onPressAction: clicked()
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    background: Rectangle {
        radius: 12
        color: row.selected ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.18)
                            : (row.hovered ? Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.05)
                                           : "transparent")
        border.width: 1
        border.color: row.selected ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.3) : "transparent"

        FocusRing {
            control: row
            radius: parent.radius + 3
        }
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
