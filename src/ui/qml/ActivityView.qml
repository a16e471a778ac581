import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark
import Veilmark.Models

// The activity log, newest first, with Clear while there is something to clear.
Item {
    id: view

    required property ViewContext context
    readonly property EventListModel events: context.events

    function toneColor(tone) {
        switch (tone) {
        case "green": return Theme.green
        case "blue": return Theme.blue
        case "orange": return Theme.orange
        case "indigo": return Theme.indigo
        default: return Theme.red
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        RowLayout {
            Layout.fillWidth: true
            SectionHeader {
                symbol: "clock.arrow.circlepath"
                title: qsTr("Activity")
                subtitle: qsTr("Every lock, unlock and failed attempt — stored locally only")
            }
            GlassButton {
                objectName: "clear"
                visible: view.events.count > 0
                text: qsTr("Clear")
                symbol: "trash"
                spacing: 6
                prominent: false
                tint: Theme.accent
                dark: Theme.dark
                onClicked: view.events.clear()
            }
        }

        EmptyStateCard {
            objectName: "emptyActivity"
            visible: view.events.count === 0
            symbol: "checkmark.seal"
            title: qsTr("Nothing yet")
            message: qsTr("Lock and unlock events will appear here.")
            spacing: 12
        }

        // A new record comes in at the top without rebuilding the other rows. The rows have no
        // controls, so their order among the list's children does not matter.
        RowList {
            id: rowList

            objectName: "eventList"
            visible: view.events.count > 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 8
            model: view.events
            footer: Item { height: 24 }
            delegate: GlassCard {
                id: row

                required property string subject
                required property string detail
                required property string dateText
                required property string symbol
                required property string tone

                width: ListView.view.width - 12
                ListView.onPooled: visible = false
                ListView.onReused: visible = true
                cornerRadius: 12
                padding: 10
                implicitHeight: line.implicitHeight + 2 * padding
                Accessible.role: Accessible.ListItem
                Accessible.name: [subject, detail, dateText].filter(part => part.length > 0).join(", ")

                RowLayout {
                    id: line

                    width: row.width - 2 * row.padding
                    spacing: 12

                    Symbol {
                        Layout.preferredWidth: 24
                        name: row.symbol
                        size: 17
                        color: view.toneColor(row.tone)
                    }
                    ColumnLayout {
                        spacing: 2
                        Layout.fillWidth: true
                        Text {
                            text: row.subject
                            font.pixelSize: 13
                            font.weight: Font.DemiBold
                            color: Theme.primary
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        Text {
                            visible: row.detail.length > 0
                            text: row.detail
                            font.pixelSize: 11
                            color: Theme.secondary
                            wrapMode: Text.WordWrap
                            Layout.fillWidth: true
                        }
                    }
                    Text {
                        text: row.dateText
                        font.pixelSize: 11
                        color: Theme.tertiary
                    }
                }
            }
        }

        Item {
            visible: view.events.count === 0
            Layout.fillHeight: true
        }
    }
}
