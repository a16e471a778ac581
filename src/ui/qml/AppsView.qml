import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark
import Veilmark.Models

// The protected applications: per row its state, Unlock or Relock, the protection switch and
// remove; "Add App" opens the chooser of installed applications.
Item {
    id: view

    required property ViewContext context
    readonly property AppListModel apps: context.apps

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        RowLayout {
            Layout.fillWidth: true
            SectionHeader {
                symbol: "lock.app.dashed"
                title: qsTr("Protected Apps")
                subtitle: qsTr("Apps stay hidden behind glass until you prove it's you")
            }
            GlassButton {
                objectName: "addApp"
                text: qsTr("Add App")
                symbol: "plus"
                spacing: 6
                prominent: true
                tint: Theme.blue
                dark: Theme.dark
                onClicked: chooser.openChooser()
            }
        }

        RowLayout {
            visible: !view.context.appProtectionSupported
            spacing: 12
            Layout.fillWidth: true

            Text {
                objectName: "waylandNotice"
                text: qsTr("%1 Folders, activity and settings work as usual.").arg(view.context.appProtectionProblem)
                font.pixelSize: 12
                color: Theme.orange
                wrapMode: Text.Wrap
                Layout.fillWidth: true
            }

            GlassButton {
                objectName: "appProtectionRemedy"
                visible: view.context.appProtectionRemedy !== ""
                text: view.context.appProtectionRemedy
                dark: Theme.dark
                onClicked: view.context.applyAppProtectionRemedy()
            }
        }

        EmptyStateCard {
            objectName: "emptyApps"
            visible: view.apps.count === 0
            symbol: "app.badge.checkmark"
            title: qsTr("No protected apps yet")
            message: qsTr("Add an app and it will instantly hide and blur whenever it opens, until you unlock it with your fingerprint or password.")
            messageWidth: 380
        }

        RowList {
            id: rowList

            objectName: "appList"
            visible: view.apps.count > 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 12
            model: view.apps
            footer: Item { height: 24 }
            delegate: AppRow {
                id: appRow

                width: ListView.view.width - 12
                list: view.apps
                watched: view.context.appProtectionSupported
                onIndexChanged: rowList.keepInTabOrder(appRow)
                Component.onCompleted: rowList.keepInTabOrder(appRow)
                ListView.onPooled: visible = false
                ListView.onReused: {
                    visible = true
                    rowList.keepInTabOrder(appRow)
                }
            }
        }

        Item {
            visible: view.apps.count === 0
            Layout.fillHeight: true
        }
    }

    AppChooser {
        id: chooser

        entries: view.context.installedApps
        onChosen: paths => view.apps.addDesktopEntries(paths)
    }
}
