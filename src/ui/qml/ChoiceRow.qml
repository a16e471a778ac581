import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark

// A row of a chooser list: a check mark, an icon and a name. Space or a click chooses it. A check
// box to assistive technology; the owner keeps `isChosen`, a click only asks.
CheckDelegate {
    id: row

    property bool isChosen: false
    property var image: null
    property bool hasImage: false
    property string symbol: ""
    property bool showsChevron: false
    signal opened()

    implicitHeight: 40
    focusPolicy: Qt.StrongFocus
    checked: isChosen
    nextCheckState: () => checkState
    indicator: null
    Accessible.name: text
    Accessible.focusable: true
    // Without these Qt would flip `checked` itself, past the owner.
    Accessible.onPressAction: clicked()
    Accessible.onToggleAction: clicked()
    Keys.onRightPressed: if (showsChevron) opened()

    background: Rectangle {
        radius: 8
        color: row.isChosen ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.18)
                          : (row.hovered ? Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.06)
                                         : "transparent")

        FocusRing {
            control: row
            inset: 0
            radius: parent.radius
        }
    }
    contentItem: RowLayout {
        spacing: 10
        Symbol {
            name: row.isChosen ? "checkmark.circle.fill" : "circle"
            size: 18
            color: row.isChosen ? Theme.accent : Theme.secondary
        }
        Item {
            implicitWidth: 28
            implicitHeight: 28
            Loader {
                anchors.fill: parent
                active: row.hasImage
                sourceComponent: ImageItem { image: row.image }
            }
            Symbol {
                anchors.centerIn: parent
                visible: !row.hasImage
                name: row.symbol
                size: 24
                color: Theme.accent
            }
        }
        Text {
            text: row.text
            font.pixelSize: 14
            color: Theme.primary
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
        PlainIconButton {
            visible: row.showsChevron
            symbol: "chevron.right"
            help: qsTr("Open %1").arg(row.text)
            onClicked: row.opened()
        }
    }
}
