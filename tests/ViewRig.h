#pragma once

#include "ModelRig.h"
#include "Theme.h"
#include "ViewContext.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <functional>

// The view models over the coordinator, and the palette following its appearance as in the program.
struct ViewRig : ModelRig
{
    std::unique_ptr<ViewContext> context;

    explicit ViewRig(bool appsSupported = true)
        : ModelRig(appsSupported)
        , context(std::make_unique<ViewContext>(*state, home.path()))
    {
        Theme::follow(*state);
    }
};

namespace view {
// Visible items below `item` (itself included) that `match`, in drawing order.
inline QList<QQuickItem*> collect(QQuickItem* item, const std::function<bool(QQuickItem*)>& match)
{
    QList<QQuickItem*> out;
    if (!item || !item->isVisible())
        return out;
    if (match(item))
        out << item;
    for (QQuickItem* child : item->childItems())
        out << collect(child, match);
    return out;
}

// The one visible item with this objectName, or null when there is none or several.
inline QQuickItem* one(QQuickItem* root, const QString& name)
{
    const auto found = collect(root, [&](QQuickItem* i) { return i->objectName() == name; });
    return found.size() == 1 ? found.first() : nullptr;
}

inline bool isOn(QQuickItem* root, const QString& name)
{
    QQuickItem* item = one(root, name);
    return item && item->property("isOn").toBool();
}

inline QString textOf(QQuickItem* root, const QString& name)
{
    QQuickItem* item = one(root, name);
    return item ? item->property("text").toString() : QString();
}

// The texts of the visible Text items below `root`, symbols left out.
inline QStringList texts(QQuickItem* root)
{
    QStringList out;
    for (QQuickItem* i : collect(root, [](QQuickItem* i) {
             return i->inherits("QQuickText") && !i->property("text").toString().isEmpty() &&
                    i->property("font").value<QFont>().family() != Theme::symbolFamily();
         }))
        out << i->property("text").toString();
    return out;
}

// The chooser row showing `text`.
inline QQuickItem* choice(QQuickItem* list, const QString& text)
{
    return collect(list,
                   [&](QQuickItem* i) {
                       return i->property("text").toString() == text && i->inherits("QQuickItemDelegate");
                   })
        .value(0);
}

inline void click(QQuickItem* item, QPointF at = {-1, -1})
{
    QVERIFY(item);
    // Rows that just appeared are placed by the layouts on the next frame.
    QTest::qWait(40);
    for (QQuickItem* i = item; i; i = i->parentItem())
        QVERIFY2(i->isVisible() && i->opacity() > 0, qPrintable(item->objectName() + " is hidden"));
    const QPointF local = at.x() < 0 ? QPointF(item->width() / 2, item->height() / 2) : at;
    QTest::mouseClick(item->window(), Qt::LeftButton, {}, item->mapToScene(local).toPoint());
}
} // namespace view
