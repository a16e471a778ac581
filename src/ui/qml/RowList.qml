import QtQuick
import QtQuick.Controls
import Veilmark

// A long list of rows: only the rows in sight (and a few beyond) exist, and rows scrolled out
// are pooled and reused for those scrolling in, so ten thousand rows open and scroll like ten.
// The list takes no keys of its own: Tab goes through the rows' controls, row after row, and a
// row whose control takes the focus scrolls itself into sight. Each delegate hides itself while
// pooled and calls keepInTabOrder() when it is made, reused or moved to another index.
ListView {
    id: list

    clip: true
    reuseItems: true
    keyNavigationEnabled: false
    boundsBehavior: Flickable.StopAtBounds
    // The rows just past either edge are made at once (rows further out come a frame or more
    // later), so Tab and Shift+Tab always find the next row.
    displayMarginBeginning: 120
    displayMarginEnd: 120
    // No current row: the list would keep it made, and reachable by Tab, wherever it scrolls.
    currentIndex: -1
    // Shown only when there is something to scroll to.
    ScrollBar.vertical: ScrollBar { policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff }

    // Tab goes through the rows in the order of the list's children, which is not the order on
    // screen once rows are reused: each row puts itself back in place.
    function keepInTabOrder(row) {
        TabOrder.placeRow(row)
    }
}
