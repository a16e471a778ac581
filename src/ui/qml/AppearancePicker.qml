import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Veilmark

// System / Light / Dark as a capsule of segments; the current one is filled with the accent.
Item {
    id: picker

    property string current: "system"
    signal picked(string mode)

    implicitWidth: segments.implicitWidth + 8
    implicitHeight: segments.implicitHeight + 8

    VisualEffect {
        anchors.fill: parent
        material: "ultraThin"
        cornerRadius: height / 2
        dark: Theme.dark
    }
    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: "transparent"
        border.width: 0.5
        border.color: Qt.rgba(1, 1, 1, 0.3)
    }

    RowLayout {
        id: segments

        anchors.centerIn: parent
        spacing: 4

        Repeater {
            model: [
                { mode: "system", title: qsTr("System"), symbol: "circle.lefthalf.filled" },
                { mode: "light", title: qsTr("Light"), symbol: "sun.max.fill" },
                { mode: "dark", title: qsTr("Dark"), symbol: "moon.fill" }
            ]
            // Radio buttons to assistive technology: one of three, the chosen one checked.
            delegate: T.RadioButton {
                id: segment

                required property var modelData
                readonly property bool selected: picker.current === modelData.mode

                objectName: "appearance-" + modelData.mode
                text: modelData.title
                implicitWidth: Math.max(implicitBackgroundWidth, implicitContentWidth + leftPadding + rightPadding)
                implicitHeight: Math.max(implicitBackgroundHeight, implicitContentHeight + topPadding + bottomPadding)
                leftPadding: 11
                rightPadding: 11
                topPadding: 6
                bottomPadding: 6
                focusPolicy: Qt.StrongFocus
                checked: selected
                Accessible.name: qsTr("Appearance %1").arg(modelData.title)
                Accessible.focusable: true
                Accessible.onPressAction: clicked()
                Accessible.onToggleAction: clicked()
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
                onClicked: picker.picked(modelData.mode)

                contentItem: RowLayout {
                    spacing: 5
                    Symbol {
                        name: segment.modelData.symbol
                        size: 13
                        color: segment.selected ? "white" : Theme.secondary
                    }
                    Text {
                        text: segment.text
                        font.pixelSize: 11
                        font.weight: Font.DemiBold
                        color: segment.selected ? "white" : Theme.secondary
                    }
                }
                background: Rectangle {
                    radius: height / 2
                    color: segment.selected ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.85)
                                            : "transparent"
                    border.width: segment.selected ? 0.5 : 0
                    border.color: Qt.rgba(1, 1, 1, 0.35)

                    Behavior on color { ColorAnimation { duration: 250; easing.type: Easing.OutBack } }

                    // Soft glow of the accent under the chosen segment.
                    Rectangle {
                        z: -1
                        visible: segment.selected
                        anchors.fill: parent
                        anchors.topMargin: 2
                        anchors.bottomMargin: -2
                        radius: height / 2
                        color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.4)
                    }
                    FocusRing {
                        control: segment
                        radius: height / 2
                    }
                }
            }
        }
    }
}
