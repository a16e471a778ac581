import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark
import Veilmark.Models

// "Add App": the installed applications, several of which can be chosen at once.
ChooserFrame {
    id: chooser

    required property DesktopEntryModel entries
    signal chosen(var paths)

    title: "Choose an application to protect"
    chosenCount: entries.chosenCount
    onConfirmed: chosen(entries.chosenPaths())

    function openChooser() {
        entries.reload()
        open()
        list.forceActiveFocus()
    }

    ListView {
        id: list

        objectName: "appChooserList"
        anchors.fill: parent
        clip: true
        spacing: 2
        model: chooser.entries
        keyNavigationEnabled: true
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }
        delegate: ChoiceRow {
            required property int index
            required property string name
            required property var iconImage
            required property bool chosen
            required property bool hasIcon

            width: ListView.view.width - 14
            text: name
            image: iconImage
            hasImage: hasIcon
            symbol: "app.fill"
            isChosen: chosen
            onClicked: chooser.entries.toggle(index)
        }
    }
}
