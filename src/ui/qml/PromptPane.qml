import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark

// The prompt's controls, in a shield's card or in the prompt's own window: the fingerprint state
// or a password field, the status line and the buttons. Return submits the password, Escape
// cancels. `dark` draws it white on dark glass, as on the shield.
FocusScope {
    id: pane

    required property var prompt
    property bool dark: true
    readonly property bool fingerprintMode: prompt.mode === "fingerprint"
    readonly property color textColor: dark ? "white" : Theme.primary

    function reset() {
        password.clear()
        if (fingerprintMode)
            pane.forceActiveFocus()
        else
            password.forceActiveFocus()
    }

    // The password never is in the field (it holds placeholders) nor in a script string: the prompt
    // keeps it. Nothing below binds to password.text, only to its length.
    function submit() {
        if (password.length === 0 || prompt.busy)
            return
        prompt.submitPassword(password)
    }

    objectName: "promptPane"
    implicitWidth: 340
    implicitHeight: column.implicitHeight
    focus: true
    Keys.onEscapePressed: prompt.cancel()

    ColumnLayout {
        id: column

        anchors.left: parent.left
        anchors.right: parent.right
        spacing: 14

        // The reader waits for a finger: the print breathes.
        Item {
            visible: pane.fingerprintMode
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: 58
            implicitHeight: 58

            Rectangle {
                anchors.fill: parent
                radius: width / 2
                color: Qt.rgba(Theme.pink.r, Theme.pink.g, Theme.pink.b, 0.14)
                border.width: 1
                border.color: Qt.rgba(Theme.pink.r, Theme.pink.g, Theme.pink.b, 0.45)
            }
            Symbol {
                anchors.centerIn: parent
                name: "touchid"
                size: 36
                color: Theme.pink

                SequentialAnimation on opacity {
                    running: pane.fingerprintMode && pane.visible && !pane.prompt.busy
                    loops: Animation.Infinite
                    NumberAnimation { from: 1.0; to: 0.45; duration: 800; easing.type: Easing.InOutQuad }
                    NumberAnimation { from: 0.45; to: 1.0; duration: 800; easing.type: Easing.InOutQuad }
                }
            }
        }

        TextField {
            id: password

            objectName: "passwordField"
            visible: !pane.fingerprintMode
            Layout.fillWidth: true
            echoMode: TextInput.Password
            placeholderText: qsTr("Password")
            enabled: !pane.prompt.busy
            leftPadding: 14
            rightPadding: 14
            topPadding: 9
            bottomPadding: 9
            font.pixelSize: 15
            color: pane.textColor
            placeholderTextColor: pane.dark ? Qt.rgba(1, 1, 1, 0.45) : Theme.tertiary
            selectionColor: Theme.accent
            Accessible.name: qsTr("Password")
            // The field holds placeholders only; the prompt keeps what is typed (see
            // PresencePromptWindow::keyIntoPassword).
            Keys.onPressed: (event) => { event.accepted = pane.prompt.keyIntoPassword(password, event) }
            onTextChanged: pane.prompt.absorbPassword(password)
            onAccepted: pane.submit()
            Keys.onEscapePressed: pane.prompt.cancel()
            background: Rectangle {
                radius: 10
                color: pane.dark ? Qt.rgba(1, 1, 1, 0.10) : Qt.rgba(0, 0, 0, 0.05)
                opacity: password.enabled ? 1.0 : 0.6
                border.width: password.activeFocus ? 2 : 1
                border.color: password.activeFocus ? Theme.accent
                                                   : (pane.dark ? Qt.rgba(1, 1, 1, 0.25) : Qt.rgba(0, 0, 0, 0.15))
            }
        }

        Text {
            Layout.fillWidth: true
            text: pane.prompt.status
            visible: text.length > 0
            color: pane.prompt.statusIsError ? Theme.red : pane.textColor
            opacity: pane.prompt.statusIsError ? 1.0 : 0.75
            font.pixelSize: 14
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 4
            spacing: 10

            GlassButton {
                text: qsTr("Enter Password…")
                visible: pane.fingerprintMode
                symbol: "key.fill"
                symbolSize: 15
                dark: pane.dark
                onClicked: pane.prompt.requestFallback()
            }
            GlassButton {
                text: qsTr("Cancel")
                minimumLabelWidth: 70
                dark: pane.dark
                onClicked: pane.prompt.cancel()
            }
            GlassButton {
                text: qsTr("Unlock")
                visible: !pane.fingerprintMode
                minimumLabelWidth: 70
                prominent: true
                tint: Theme.blue
                dark: pane.dark
                enabled: password.length > 0 && !pane.prompt.busy
                opacity: enabled ? 1.0 : 0.5
                onClicked: pane.submit()
            }
        }
    }
}
