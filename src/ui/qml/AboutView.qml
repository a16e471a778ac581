import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark

// Who builds Veilmark, and the product's name, version and one-line description.
Item {
    id: view

    property string version: ""
    readonly property string shownVersion: version.length > 0 ? version : "1.0.0"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        SectionHeader {
            symbol: "person.crop.circle.badge.checkmark"
            title: qsTr("About Developer")
            subtitle: qsTr("Who builds Veilmark")
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

                Repeater {
                    model: [
                        { symbol: "building.2.fill", label: qsTr("Company"), value: "Veilmark Project" },
                        { symbol: "person.fill", label: qsTr("Developer"), value: qsTr("The Veilmark developers") },
                        { symbol: "laptopcomputer", label: qsTr("Role"), value: qsTr("Open-source maintainers") }
                    ]
                    delegate: GlassCard {
                        id: card

                        required property var modelData

                        Layout.fillWidth: true
                        cornerRadius: 16
                        padding: 18
                        implicitHeight: info.implicitHeight + 36
                        Accessible.role: Accessible.StaticText
                        Accessible.name: qsTr("%1: %2").arg(modelData.label).arg(modelData.value)

                        RowLayout {
                            id: info
                            width: parent.width
                            spacing: 14
                            SymbolTile {
                                symbol: card.modelData.symbol
                                symbolSize: 19
                            }
                            ColumnLayout {
                                spacing: 2
                                Layout.fillWidth: true
                                Text {
                                    text: card.modelData.label
                                    font.pixelSize: 11
                                    font.weight: Font.Medium
                                    color: Theme.secondary
                                    Layout.fillWidth: true
                                }
                                Text {
                                    text: card.modelData.value
                                    font.pixelSize: 14
                                    font.weight: Font.DemiBold
                                    color: Theme.primary
                                    Layout.fillWidth: true
                                }
                            }
                        }
                    }
                }

                GlassCard {
                    Layout.fillWidth: true
                    cornerRadius: 16
                    padding: 18
                    implicitHeight: product.implicitHeight + 36
                    RowLayout {
                        id: product
                        width: parent.width
                        spacing: 14
                        Symbol {
                            Layout.preferredWidth: 28
                            name: "lock.shield.fill"
                            size: 24
                            color: Theme.accent
                        }
                        ColumnLayout {
                            spacing: 2
                            Layout.fillWidth: true
                            Text {
                                text: "Veilmark"
                                font.pixelSize: 14
                                font.weight: Font.DemiBold
                                color: Theme.primary
                                Layout.fillWidth: true
                            }
                            Text {
                                objectName: "versionLine"
                                text: qsTr("Version %1 — Fingerprint and password protection for apps and folders").arg(view.shownVersion)
                                font.pixelSize: 11
                                color: Theme.secondary
                                wrapMode: Text.WordWrap
                                Layout.fillWidth: true
                            }
                        }
                    }
                }
                Item { implicitHeight: 12 }
            }
        }
    }
}
