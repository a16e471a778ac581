import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark

// A modal chooser over the main window: title, optional message, a list, and Cancel / Add.
// Concrete choosers put their list inside and say how many entries are chosen.
Popup {
    id: frame

    property string title
    property string message
    property int chosenCount: 0
    property string confirmText: qsTr("Add")
    default property alias body: holder.data
    signal confirmed()

    modal: true
    focus: true
    anchors.centerIn: Overlay.overlay
    width: 480
    height: 500
    padding: 20
    closePolicy: Popup.CloseOnEscape

    background: Item {
        Rectangle {
            anchors.fill: parent
            radius: 16
            color: Theme.dark ? "#2a2a2e" : "#f4f4f6"
        }
        VisualEffect {
            anchors.fill: parent
            material: "popover"
            cornerRadius: 16
            dark: Theme.dark
        }
        Rectangle {
            anchors.fill: parent
            radius: 16
            color: "transparent"
            border.width: 1
            border.color: Qt.rgba(1, 1, 1, 0.25)
        }
    }
    Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.3); radius: 18 }

    contentItem: ColumnLayout {
        spacing: 12
        Accessible.role: Accessible.Dialog
        Accessible.name: frame.title

        Text {
            objectName: "chooserTitle"
            text: frame.title
            font.pixelSize: 17
            font.bold: true
            color: Theme.primary
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            visible: frame.message.length > 0
            text: frame.message
            font.pixelSize: 13
            color: Theme.secondary
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }
        Item {
            id: holder

            Layout.fillWidth: true
            Layout.fillHeight: true
        }
        RowLayout {
            Layout.fillWidth: true
            Item { Layout.fillWidth: true }
            GlassButton {
                objectName: "chooserCancel"
                text: qsTr("Cancel")
                dark: Theme.dark
                onClicked: frame.close()
            }
            GlassButton {
                objectName: "chooserConfirm"
                text: frame.confirmText
                prominent: true
                tint: Theme.blue
                dark: Theme.dark
                enabled: frame.chosenCount > 0
                opacity: enabled ? 1 : 0.5
                onClicked: {
                    frame.close()
                    frame.confirmed()
                }
            }
        }
    }
}
