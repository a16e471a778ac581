import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The presence prompt: why Veilmark asks, the fingerprint state or a password field, and the
// buttons. Return submits the password, Escape cancels.
Rectangle {
    id: root

    required property var prompt
    readonly property bool fingerprintMode: prompt.mode === "fingerprint"

    function reset() {
        password.clear()
        if (!fingerprintMode)
            password.forceActiveFocus()
        else
            root.forceActiveFocus()
    }

    // The field goes to C++ whole: reading its text here would leave script copies of the password
    // behind. For the same reason nothing below binds to password.text, only to its length.
    function submit() {
        if (password.length === 0 || prompt.busy)
            return
        prompt.submitPassword(password)
    }

    // Fixed, so the window never resizes under the pointer when the status line changes.
    width: 440
    height: 212
    color: palette.window
    // Drawn by us: over the shield the window has no frame from the window manager.
    border.color: Qt.rgba(0, 0, 0, 0.25)
    border.width: 1
    focus: true
    Keys.onEscapePressed: prompt.cancel()

    ColumnLayout {
        id: content

        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 24
        spacing: 14

        RowLayout {
            spacing: 16
            Layout.fillWidth: true

            Rectangle {
                id: badge

                Layout.alignment: Qt.AlignTop
                width: 52
                height: 52
                radius: 26
                color: root.fingerprintMode ? "#1f6feb" : "#3d444d"

                // A ring that breathes while the reader waits for a finger.
                Rectangle {
                    anchors.centerIn: parent
                    width: 30
                    height: 30
                    radius: 15
                    color: "transparent"
                    border.color: "white"
                    border.width: 3
                    SequentialAnimation on scale {
                        running: root.fingerprintMode && root.visible
                        loops: Animation.Infinite
                        NumberAnimation { from: 1.0; to: 0.75; duration: 700; easing.type: Easing.InOutQuad }
                        NumberAnimation { from: 0.75; to: 1.0; duration: 700; easing.type: Easing.InOutQuad }
                    }
                }
            }

            ColumnLayout {
                spacing: 4
                Layout.fillWidth: true

                Label {
                    text: "Veilmark"
                    font.bold: true
                    font.pixelSize: 16
                }
                Label {
                    Layout.fillWidth: true
                    text: "Veilmark is trying to " + root.prompt.reason + "."
                    wrapMode: Text.Wrap
                }
            }
        }

        TextField {
            id: password

            objectName: "passwordField"
            visible: !root.fingerprintMode
            Layout.fillWidth: true
            echoMode: TextInput.Password
            placeholderText: "Password"
            enabled: !root.prompt.busy
            Accessible.name: "Password"
            onAccepted: root.submit()
            Keys.onEscapePressed: root.prompt.cancel()
        }

        Label {
            Layout.fillWidth: true
            text: root.prompt.status
            color: root.prompt.statusIsError ? "#d1242f" : palette.windowText
            opacity: root.prompt.statusIsError ? 1.0 : 0.75
            wrapMode: Text.Wrap
            Accessible.role: Accessible.StaticText
        }

        RowLayout {
            spacing: 8
            Layout.fillWidth: true

            Item {
                Layout.fillWidth: true
            }
            Button {
                text: "Enter Password…"
                visible: root.fingerprintMode
                Accessible.name: text
                onClicked: root.prompt.requestFallback()
            }
            Button {
                text: "Cancel"
                Accessible.name: text
                onClicked: root.prompt.cancel()
            }
            Button {
                text: "Unlock"
                visible: !root.fingerprintMode
                highlighted: true
                enabled: password.length > 0 && !root.prompt.busy
                Accessible.name: text
                onClicked: root.submit()
            }
        }
    }
}
