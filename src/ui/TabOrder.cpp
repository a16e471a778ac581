#include "TabOrder.h"

#include <QQuickItem>

void TabOrder::placeRow(QQuickItem* row)
{
    if (!row || !row->parentItem())
        return;
    const int index = row->property("index").toInt();
    QQuickItem* next = nullptr;
    QQuickItem* previous = nullptr;
    int nextIndex = 0, previousIndex = 0;
    for (QQuickItem* other : row->parentItem()->childItems()) {
        const QVariant otherIndex = other->property("index");
        if (other == row || !other->isVisible() || !otherIndex.isValid())
            continue;
        const int i = otherIndex.toInt();
        if (i > index && (!next || i < nextIndex)) {
            next = other;
            nextIndex = i;
        }
        if (i < index && (!previous || i > previousIndex)) {
            previous = other;
            previousIndex = i;
        }
    }
    if (next)
        row->stackBefore(next);
    else if (previous)
        row->stackAfter(previous);
}
