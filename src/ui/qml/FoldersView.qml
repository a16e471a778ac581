import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark
import Veilmark.Models

// The protected folders: per row its state and path, Lock or Unlock, and remove; "Add Folder"
// opens the directory chooser. Every action goes to the folder engine.
Item {
    id: view

    required property ViewContext context
    readonly property FolderListModel folders: context.folders

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        RowLayout {
            Layout.fillWidth: true
            SectionHeader {
                symbol: "folder.fill.badge.gearshape"
                title: qsTr("Protected Folders")
                subtitle: qsTr("Locked folders stay put but can't be opened until you unlock them")
            }
            GlassButton {
                objectName: "addFolder"
                text: qsTr("Add Folder")
                symbol: "plus"
                spacing: 6
                prominent: true
                tint: Theme.blue
                dark: Theme.dark
                onClicked: chooser.openChooser()
            }
        }

        EmptyStateCard {
            objectName: "emptyFolders"
            visible: view.folders.count === 0
            symbol: "folder.badge.questionmark"
            title: qsTr("No protected folders yet")
            message: qsTr("Add a folder and it stays exactly where it is — locked and unopenable, shown with a no-access badge, until you unlock it with your fingerprint or password. Your files are never moved.")
            messageWidth: 420
        }

        RowList {
            id: rowList

            objectName: "folderList"
            visible: view.folders.count > 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 12
            model: view.folders
            footer: Item { height: 24 }
            delegate: FolderRow {
                id: folderRow

                width: ListView.view.width - 12
                list: view.folders
                onIndexChanged: rowList.keepInTabOrder(folderRow)
                Component.onCompleted: rowList.keepInTabOrder(folderRow)
                ListView.onPooled: visible = false
                ListView.onReused: {
                    visible = true
                    rowList.keepInTabOrder(folderRow)
                }
            }
        }

        Item {
            visible: view.folders.count === 0
            Layout.fillHeight: true
        }
    }

    FolderChooser {
        id: chooser

        directories: view.context.directories
        onChosen: paths => view.folders.addFolders(paths)
    }
}
