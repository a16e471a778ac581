import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark
import Veilmark.Models

// The main window's content: a glass panel with the sidebar on the left and the selected screen
// on the right. The window manager decorates and moves the window.
Item {
    id: root

    required property ViewContext context
    property string selection: "apps"

    readonly property var items: [
        { id: "apps", title: qsTr("Apps"), symbol: "lock.app.dashed" },
        { id: "folders", title: qsTr("Folders"), symbol: "folder.fill.badge.gearshape" },
        { id: "activity", title: qsTr("Activity"), symbol: "clock.arrow.circlepath" },
        { id: "settings", title: qsTr("Settings"), symbol: "gearshape.fill" },
        { id: "about", title: qsTr("About Developer"), symbol: "person.crop.circle.badge.checkmark" }
    ]
    readonly property var screens: ({
        apps: appsScreen, folders: foldersScreen, activity: activityScreen,
        settings: settingsScreen, about: aboutScreen
    })

    implicitWidth: 880
    implicitHeight: 600

    Item {
        id: panel

        anchors.fill: parent

        VisualEffect {
            anchors.fill: parent
            material: Theme.dark ? "hudWindow" : "underWindowBackground"
            blending: "behindWindow"
            emphasized: false
            dark: Theme.dark
        }

        RowLayout {
            anchors.fill: parent
            spacing: 0

            // Sidebar
            Item {
                Layout.preferredWidth: 210
                Layout.fillHeight: true

                Rectangle {
                    anchors.fill: parent
                    color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.05)
                }

                ColumnLayout {
                    anchors.fill: parent
                    spacing: 6

                    RowLayout {
                        spacing: 10
                        Layout.leftMargin: 14
                        Layout.rightMargin: 14
                        Layout.topMargin: 18
                        Layout.bottomMargin: 18

                        Symbol {
                            name: "lock.shield.fill"
                            size: 24
                            color: Theme.accent
                        }
                        Text {
                            text: "Veilmark"
                            font.pixelSize: 17
                            font.bold: true
                            color: Theme.primary
                            maximumLineCount: 2
                            fontSizeMode: Text.HorizontalFit
                            minimumPixelSize: 13
                            Layout.fillWidth: true
                        }
                    }

                    Repeater {
                        model: root.items
                        delegate: SidebarItem {
                            required property var modelData

                            objectName: "sidebar-" + modelData.id
                            text: modelData.title
                            symbol: modelData.symbol
                            selected: root.selection === modelData.id
                            Layout.fillWidth: true
                            Layout.leftMargin: 10
                            Layout.rightMargin: 10
                            onClicked: root.selection = modelData.id
                        }
                    }

                    Item { Layout.fillHeight: true }

                    GlassButton {
                        objectName: "lockEverything"
                        text: qsTr("Lock Everything")
                        symbol: "lock.fill"
                        spacing: 8
                        prominent: true
                        tint: Theme.red
                        dark: Theme.dark
                        Layout.fillWidth: true
                        Layout.leftMargin: 12
                        Layout.rightMargin: 12
                        Layout.bottomMargin: 16
                        onClicked: root.context.lockEverything(qsTr("Manual lock-all"))
                    }
                }
            }

            Rectangle {
                Layout.preferredWidth: 1
                Layout.fillHeight: true
                color: Theme.primary
                opacity: 0.3 * 0.35
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: 0

                // A stored document that could not be read, or a policy that is not being saved,
                // stays in sight on every screen until it is resolved.
                Rectangle {
                    objectName: "storageNotice"
                    visible: root.context.storageNotice !== ""
                    Layout.fillWidth: true
                    Layout.topMargin: 16
                    Layout.leftMargin: 28
                    Layout.rightMargin: 28
                    implicitHeight: noticeRow.implicitHeight + 16
                    radius: 10
                    color: Qt.rgba(Theme.orange.r, Theme.orange.g, Theme.orange.b, 0.14)
                    border.width: 1
                    border.color: Qt.rgba(Theme.orange.r, Theme.orange.g, Theme.orange.b, 0.45)
                    Accessible.role: Accessible.AlertMessage
                    Accessible.name: noticeText.text

                    RowLayout {
                        id: noticeRow

                        anchors.fill: parent
                        anchors.leftMargin: 12
                        anchors.rightMargin: 12
                        spacing: 8

                        Symbol {
                            name: "exclamationmark.triangle.fill"
                            size: 14
                            color: Theme.orange
                        }
                        Text {
                            id: noticeText

                            text: root.context.storageNotice
                            font.pixelSize: 12
                            color: Theme.primary
                            elide: Text.ElideMiddle
                            maximumLineCount: 1
                            Layout.fillWidth: true
                        }
                    }
                }

                Loader {
                    id: detail

                    objectName: "detail"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    sourceComponent: root.screens[root.selection]
                }
            }
        }
    }

    Component { id: appsScreen; AppsView { context: root.context } }
    Component { id: foldersScreen; FoldersView { context: root.context } }
    Component { id: activityScreen; ActivityView { context: root.context } }
    Component { id: settingsScreen; SettingsView { context: root.context } }
    Component { id: aboutScreen; AboutView { version: root.context.version } }
}
