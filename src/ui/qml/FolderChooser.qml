import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark
import Veilmark.Models

// "Add Folder": browse from the home folder and choose one or more folders.
ChooserFrame {
    id: chooser

    required property DirectoryModel directories
    signal chosen(var paths)

    title: qsTr("Choose a folder to protect")
    message: qsTr("Pick a folder inside your home folder. It will be locked immediately.")
    chosenCount: directories.chosenCount
    onConfirmed: chosen(directories.chosenPaths())

    function openChooser() {
        directories.reset()
        open()
        list.forceActiveFocus()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            PlainIconButton {
                objectName: "folderUp"
                symbol: "arrow.up"
                help: qsTr("Enclosing folder")
                onClicked: chooser.directories.up()
            }
            Text {
                text: chooser.directories.displayPath
                font.pixelSize: 12
                color: Theme.secondary
                elide: Text.ElideMiddle
                Layout.fillWidth: true
            }
        }
        ListView {
            id: list

            objectName: "folderChooserList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 2
            model: chooser.directories
            reuseItems: true
            keyNavigationEnabled: true
            Keys.onLeftPressed: chooser.directories.up()
            ScrollBar.vertical: ScrollBar { policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff }
            delegate: ChoiceRow {
                required property int index
                required property string name
                required property bool chosen

                width: ListView.view.width - 14
                // A pooled row stays among the list's children: hidden, Tab and searches skip it.
                ListView.onPooled: visible = false
                ListView.onReused: visible = true
                text: name
                symbol: "folder.fill"
                isChosen: chosen
                showsChevron: true
                onClicked: chooser.directories.toggle(index)
                onDoubleClicked: chooser.directories.enter(index)
                onOpened: chooser.directories.enter(index)
            }
        }
    }
}
