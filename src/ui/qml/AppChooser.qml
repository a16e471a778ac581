import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Veilmark
import Veilmark.Models

// "Add App": the installed applications, several of which can be chosen at once, found by typing
// part of a name, an ID or a keyword; Down moves from the search field into the list.
ChooserFrame {
    id: chooser

    required property DesktopEntryModel entries
    signal chosen(var paths)

    title: qsTr("Choose an application to protect")
    chosenCount: entries.chosenCount
    onConfirmed: chosen(entries.chosenPaths())

    function openChooser() {
        entries.reload()
        open()
        search.forceActiveFocus()
    }

    TextField {
        id: search

        objectName: "appSearch"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.rightMargin: 14
        placeholderText: qsTr("Search")
        leftPadding: 10
        topPadding: 7
        bottomPadding: 7
        font.pixelSize: 13
        Accessible.name: qsTr("Search applications")
        text: chooser.entries.filter
        onTextEdited: chooser.entries.filter = text
        Keys.onDownPressed: list.forceActiveFocus()
        color: Theme.primary
        placeholderTextColor: Theme.tertiary
        background: Rectangle {
            radius: 8
            color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.06)
            border.width: search.activeFocus ? 2 : 1
            border.color: search.activeFocus ? Theme.accent : Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.15)
        }
    }

    ListView {
        id: list

        objectName: "appChooserList"
        anchors.top: search.bottom
        anchors.topMargin: 8
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        clip: true
        spacing: 2
        model: chooser.entries
        reuseItems: true
        keyNavigationEnabled: true
        ScrollBar.vertical: ScrollBar { policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff }
        delegate: ChoiceRow {
            required property int index
            required property string name
            required property var iconImage
            required property bool chosen
            required property bool hasIcon

            width: ListView.view.width - 14
            // A pooled row stays among the list's children: hidden, Tab and searches skip it.
            ListView.onPooled: visible = false
            ListView.onReused: visible = true
            text: name
            image: iconImage
            hasImage: hasIcon
            symbol: "app.fill"
            isChosen: chosen
            onClicked: chooser.entries.toggle(index)
        }
    }
}
