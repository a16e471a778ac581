#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QQuickItem;

// Keeps the rows of a list view in row order among their siblings. Tab moves through items in the
// order of their parent's children, but a list view appends each row it makes and reuses pooled
// rows where they stand, so that order drifts from the order on screen as the list scrolls.
class TabOrder : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // Moves `row` just before the first visible sibling with a higher `index`, or just after the
    // last one with a lower `index`; siblings without an `index` (header, footer) stay put.
    Q_INVOKABLE static void placeRow(QQuickItem* row);
};
