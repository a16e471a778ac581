import QtQuick
import QtQuick.Layouts
import Veilmark

// The prompt in a window of its own, for unlocks asked for from the main window or the tray: what
// is being unlocked (the app's icon, the folder symbol, or Veilmark's own), why Veilmark asks, and
// the prompt's controls, in Veilmark's glass style, light or dark.
Item {
    id: root

    required property var prompt

    function reset() {
        pane.reset()
    }

    // Fixed, so the window never resizes under the pointer when the status line changes.
    width: 460
    height: 250

    Rectangle {
        anchors.fill: parent
        color: Theme.dark ? "#2a2a2e" : "#f4f4f6"
    }
    VisualEffect {
        anchors.fill: parent
        material: "popover"
        dark: Theme.dark
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 22
        spacing: 18

        RowLayout {
            Layout.fillWidth: true
            spacing: 16

            Item {
                id: tile

                Layout.alignment: Qt.AlignTop
                implicitWidth: 56
                implicitHeight: 56

                VisualEffect {
                    anchors.fill: parent
                    material: "ultraThin"
                    cornerRadius: 14
                    dark: Theme.dark
                }
                Rectangle {
                    anchors.fill: parent
                    radius: 14
                    color: "transparent"
                    border.width: 1
                    border.color: Theme.dark ? Qt.rgba(1, 1, 1, 0.25) : Qt.rgba(0, 0, 0, 0.12)
                }
                ImageItem {
                    objectName: "subjectIcon"
                    anchors.centerIn: parent
                    width: 40
                    height: 40
                    visible: root.prompt.hasSubjectIcon
                    image: root.prompt.subjectIcon
                    radius: 8
                }
                Symbol {
                    objectName: "subjectSymbol"
                    anchors.centerIn: parent
                    visible: !root.prompt.hasSubjectIcon
                    name: root.prompt.subjectSymbol
                    size: 30
                    color: Theme.accent
                }
            }

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 4

                Text {
                    text: "Veilmark"
                    color: Theme.primary
                    font.pixelSize: 16
                    font.bold: true
                }
                Text {
                    Layout.fillWidth: true
                    text: root.prompt.request
                    color: Theme.secondary
                    font.pixelSize: 13
                    wrapMode: Text.Wrap
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
        }

        PromptPane {
            id: pane

            Layout.fillWidth: true
            prompt: root.prompt
            dark: Theme.dark
        }

        Item {
            Layout.fillHeight: true
        }
    }
}
