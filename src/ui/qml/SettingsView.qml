import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark
import Veilmark.Models

// Appearance, relocking, the login item, the default folder unlock window and whether a
// fingerprint can be used. Every control reads and writes the store or the coordinator.
Item {
    id: view

    required property ViewContext context
    readonly property SettingsModel settings: context.settings

    Component.onCompleted: settings.refresh()

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        SectionHeader {
            symbol: "gearshape.fill"
            title: qsTr("Settings")
            subtitle: qsTr("How Veilmark locks and relocks")
        }

        ScrollView {
            id: scroller

            Layout.fillWidth: true
            Layout.fillHeight: true
            ScrollBar.vertical.policy: scroller.contentHeight > scroller.availableHeight ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
            contentWidth: availableWidth

            ColumnLayout {
                width: scroller.availableWidth - 12
                spacing: 14

                GlassCard {
                    Layout.fillWidth: true
                    cornerRadius: 16
                    padding: 18
                    implicitHeight: appearanceRow.implicitHeight + 36
                    SettingRow {
                        id: appearanceRow
                        width: parent.width
                        symbol: "circle.lefthalf.filled"
                        title: qsTr("Appearance")
                        subtitle: qsTr("Light, dark, or follow the system")
                        AppearancePicker {
                            objectName: "appearancePicker"
                            current: view.settings.appearance
                            onPicked: mode => view.settings.setAppearance(mode)
                        }
                    }
                }

                GlassCard {
                    Layout.fillWidth: true
                    cornerRadius: 16
                    padding: 18
                    implicitHeight: relocking.implicitHeight + 36
                    ColumnLayout {
                        id: relocking
                        width: parent.width
                        spacing: 16
                        SettingRow {
                            symbol: "rectangle.on.rectangle.slash"
                            title: qsTr("Relock apps when they lose focus")
                            subtitle: qsTr("Switching away from a protected app locks it again immediately")
                            SkeuoToggle {
                                objectName: "relockOnFocusLoss"
                                Accessible.name: qsTr("Relock apps when they lose focus")
                                isOn: view.settings.relockAppsOnFocusLoss
                                onToggled: value => view.settings.relockAppsOnFocusLoss = value
                            }
                        }
                        Divider {}
                        SettingRow {
                            symbol: "moon.zzz.fill"
                            title: qsTr("Relock everything on sleep or screen lock")
                            subtitle: qsTr("Apps and folders relock when the computer sleeps or the screen locks")
                            SkeuoToggle {
                                objectName: "relockOnSleep"
                                Accessible.name: qsTr("Relock everything on sleep or screen lock")
                                isOn: view.settings.relockOnSleepOrScreenLock
                                onToggled: value => view.settings.relockOnSleepOrScreenLock = value
                            }
                        }
                        Divider {}
                        SettingRow {
                            symbol: "power"
                            title: qsTr("Launch Veilmark at login")
                            subtitle: qsTr("Protection starts automatically when you sign in")
                            SkeuoToggle {
                                objectName: "launchAtLogin"
                                Accessible.name: qsTr("Launch Veilmark at login")
                                isOn: view.settings.launchAtLogin
                                onToggled: value => view.settings.launchAtLogin = value
                            }
                        }
                    }
                }

                GlassCard {
                    Layout.fillWidth: true
                    cornerRadius: 16
                    padding: 18
                    implicitHeight: minutesRow.implicitHeight + 36
                    SettingRow {
                        id: minutesRow
                        width: parent.width
                        symbol: "timer"
                        title: qsTr("Default folder unlock window")
                        subtitle: qsTr("New folders auto-relock after this many minutes")
                        Text {
                            objectName: "minutesLabel"
                            text: qsTr("%1 min").arg(view.settings.defaultFolderUnlockMinutes)
                            font.pixelSize: 14
                            font.weight: Font.Medium
                            color: Theme.primary
                        }
                        Stepper {
                            objectName: "minutesStepper"
                            value: view.settings.defaultFolderUnlockMinutes
                            from: 1
                            to: 120
                            accessibleName: qsTr("Default folder unlock window")
                            onStepped: delta => view.settings.stepMinutes(delta)
                        }
                    }
                }

                GlassCard {
                    Layout.fillWidth: true
                    cornerRadius: 16
                    padding: 18
                    implicitHeight: authRow.implicitHeight + 36
                    RowLayout {
                        id: authRow
                        width: parent.width
                        spacing: 14
                        Symbol {
                            Layout.preferredWidth: 28
                            name: "touchid"
                            size: 24
                            color: Theme.pink
                        }
                        ColumnLayout {
                            spacing: 2
                            Layout.fillWidth: true
                            Text {
                                text: qsTr("Authentication")
                                font.pixelSize: 14
                                font.weight: Font.DemiBold
                                color: Theme.primary
                            }
                            Text {
                                objectName: "authStatus"
                                text: view.settings.fingerprintAvailable
                                      ? qsTr("%1 is available and will be used for every unlock.").arg(view.settings.biometryName)
                                      : qsTr("No biometrics available — your account password is used as the fallback.")
                                font.pixelSize: 11
                                color: Theme.secondary
                                wrapMode: Text.WordWrap
                                Layout.fillWidth: true
                            }
                        }
                        Symbol {
                            objectName: "authSymbol"
                            name: view.settings.fingerprintAvailable ? "checkmark.seal.fill" : "exclamationmark.triangle.fill"
                            size: 20
                            color: view.settings.fingerprintAvailable ? Theme.green : Theme.orange
                        }
                    }
                }
                Item { implicitHeight: 12 }
            }
        }
    }
}
