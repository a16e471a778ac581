import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark

// The shield over one screen: the blurred, darkened screen, and in the middle a card of glass with
// the locked application's icon under a lock and its name. Under them the status line and the
// buttons; while the prompt is open, on the screen that holds it the prompt itself (PromptPane),
// on the others a progress indicator. Return unlocks and Escape cancels while buttons show.
Item {
    id: root

    required property var model
    property var backdrop: null
    // The prompt, when this screen's card shows it (set by ShieldWindow).
    property var prompt: null
    // The last prompt shown, so that the pane never sees a null one while it goes.
    property var heldPrompt: null

    onPromptChanged: {
        if (prompt)
            heldPrompt = prompt
        else
            root.forceActiveFocus()
    }

    focus: true
    Keys.onReturnPressed: if (!root.prompt && !model.isAuthenticating) model.requestUnlock()
    Keys.onEnterPressed: if (!root.prompt && !model.isAuthenticating) model.requestUnlock()
    Keys.onEscapePressed: {
        if (root.prompt)
            root.prompt.cancel()
        else if (!model.isAuthenticating)
            model.cancel()
    }

    VisualEffect {
        anchors.fill: parent
        material: "fullScreenUI"
        backdrop: root.backdrop
    }

    Rectangle {
        anchors.fill: parent
        color: Qt.rgba(0, 0, 0, 0.55)
    }

    // Clicks never reach what lies beneath; the keyboard stays in the prompt while it is open.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.AllButtons
        onPressed: if (!root.prompt) root.forceActiveFocus()
    }

    Item {
        id: card

        anchors.centerIn: parent
        width: Math.max(400, content.implicitWidth + 64)
        height: content.implicitHeight + 64

        Rectangle {
            anchors.fill: parent
            anchors.topMargin: 14
            anchors.bottomMargin: -14
            radius: 30
            color: Qt.rgba(0, 0, 0, 0.22)
        }
        Rectangle {
            anchors.fill: parent
            radius: 30
            color: Qt.rgba(1, 1, 1, 0.07)
            border.color: Qt.rgba(1, 1, 1, 0.18)
            border.width: 1
        }
        Rectangle {
            anchors.fill: parent
            radius: 30
            gradient: Gradient {
                GradientStop { position: 0.0; color: Qt.rgba(1, 1, 1, 0.10) }
                GradientStop { position: 0.2; color: "transparent" }
            }
        }

        ColumnLayout {
            id: content

            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.margins: 32
            spacing: 20

            Item {
                id: tile

                Layout.alignment: Qt.AlignHCenter
                implicitWidth: 112
                implicitHeight: 112

                Rectangle {
                    anchors.fill: parent
                    anchors.topMargin: 10
                    anchors.bottomMargin: -10
                    radius: 26
                    color: Qt.rgba(0, 0, 0, 0.25)
                }
                Rectangle {
                    anchors.fill: parent
                    radius: 26
                    color: Qt.rgba(1, 1, 1, 0.10)
                    border.color: Qt.rgba(1, 1, 1, 0.30)
                    border.width: 1.2
                }
                ImageItem {
                    anchors.centerIn: parent
                    width: 76
                    height: 76
                    visible: root.model.hasIcon
                    image: root.model.icon
                    blurRadius: 7
                    radius: 18
                    opacity: 0.85
                }
                Symbol {
                    anchors.centerIn: parent
                    visible: !root.model.hasIcon
                    name: "app.fill"
                    size: 52
                    color: Qt.rgba(1, 1, 1, 0.35)
                }
                Symbol {
                    anchors.centerIn: parent
                    anchors.verticalCenterOffset: 2
                    name: "lock.fill"
                    size: 28
                    color: Qt.rgba(0, 0, 0, 0.6)
                }
                Symbol {
                    anchors.centerIn: parent
                    name: "lock.fill"
                    size: 28
                    color: "white"
                }
            }

            ColumnLayout {
                Layout.alignment: Qt.AlignHCenter
                spacing: 8

                Label {
                    Layout.alignment: Qt.AlignHCenter
                    text: root.model.appName
                    color: "white"
                    font.pixelSize: 28
                    font.bold: true
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                Label {
                    Layout.alignment: Qt.AlignHCenter
                    visible: !root.prompt
                    text: root.model.statusText
                    color: root.model.failed ? Qt.rgba(1, 0.23, 0.19, 0.9) : Qt.rgba(1, 1, 1, 0.7)
                    font.pixelSize: 18
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }

            // The prompt is open on another screen.
            RowLayout {
                Layout.alignment: Qt.AlignHCenter
                spacing: 10
                visible: root.model.isAuthenticating && !root.prompt

                BusyIndicator {
                    implicitWidth: 24
                    implicitHeight: 24
                    running: parent.visible
                    palette.dark: "white"
                }
                Symbol {
                    name: "touchid"
                    size: 22
                    color: Qt.rgba(1, 0.18, 0.33, 0.9)
                }
            }

            Loader {
                Layout.fillWidth: true
                active: root.prompt !== null
                visible: active
                focus: true
                sourceComponent: PromptPane {
                    prompt: root.heldPrompt
                    dark: true
                }
            }

            ColumnLayout {
                Layout.alignment: Qt.AlignHCenter
                spacing: 12
                visible: !root.model.isAuthenticating && !root.prompt

                GlassButton {
                    Layout.alignment: Qt.AlignHCenter
                    text: qsTr("Unlock")
                    symbol: "touchid"
                    symbolSize: 18
                    minimumLabelWidth: 160
                    prominent: true
                    tint: Theme.blue
                    onClicked: root.model.requestUnlock()
                }
                GlassButton {
                    Layout.alignment: Qt.AlignHCenter
                    text: qsTr("Enter Password")
                    symbol: "key.fill"
                    symbolSize: 15
                    minimumLabelWidth: 160
                    onClicked: root.model.requestPassword()
                }
                GlassButton {
                    Layout.alignment: Qt.AlignHCenter
                    text: qsTr("Cancel")
                    minimumLabelWidth: 120
                    onClicked: root.model.cancel()
                }
            }
        }
    }
}
