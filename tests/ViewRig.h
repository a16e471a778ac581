#pragma once

#include "TestDataHome.h"
#include "Theme.h"
#include "ViewContext.h"
#include "app/AppState.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeLoginItems.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeShieldDisplay.h"
#include "fakes/FakeSystemEvents.h"
#include "fakes/FakeWorkspace.h"
#include "platform/LoginItems.h"
#include "platform/linux/DesktopAppearance.h"
#include "store/DataDirectory.h"
#include "store/PolicySnapshot.h"

#include <QDir>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// A desktop where windows cannot be watched (Wayland).
struct UnsupportedWorkspace : FakeWorkspace
{
    bool isSupported() const override { return false; }
};

// The real coordinator with fakes of every platform service except the appearance, whose
// palette switch the views follow; a temporary data directory and home.
struct ViewRig
{
    TestDataHome data;
    QTemporaryDir home;
    FakeClock clock;
    FakeAuthenticator authenticator;
    FakeSecretStore secrets;
    std::unique_ptr<FakeWorkspace> workspace;
    FakeShieldDisplay display;
    FakeSystemEvents system;
    ScriptedLoginItems loginItems;
    DesktopAppearance appearance;
    std::unique_ptr<AppState> state;
    std::unique_ptr<ViewContext> context;

    explicit ViewRig(const std::function<void(PolicySnapshot&)>& stored = {}, bool appsSupported = true)
    {
        workspace =
            appsSupported ? std::make_unique<FakeWorkspace>() : std::make_unique<UnsupportedWorkspace>();
        if (stored) {
            PolicySnapshot snapshot;
            stored(snapshot);
            QDir().mkpath(DataDirectory::path());
            QFile file(DataDirectory::filePath("policies.json"));
            file.open(QIODevice::WriteOnly);
            file.write(snapshot.encode());
        }
        state = std::make_unique<AppState>(PlatformServices{clock, authenticator, secrets, *workspace,
                                                            display, system, loginItems, appearance,
                                                            home.path(), DataDirectory::path()});
        context = std::make_unique<ViewContext>(*state, &authenticator, workspace.get(), home.path());
    }
    ~ViewRig()
    {
        context.reset();
        state.reset();
    }
};

namespace view {
inline bool isShown(QQuickItem* item)
{
    for (QQuickItem* i = item; i; i = i->parentItem()) {
        if (!i->isVisible() || i->opacity() == 0)
            return false;
    }
    return true;
}

inline void collect(QQuickItem* item, const std::function<bool(QQuickItem*)>& match, QList<QQuickItem*>& out)
{
    if (!item->isVisible())
        return;
    if (match(item))
        out << item;
    for (QQuickItem* child : item->childItems())
        collect(child, match, out);
}

// Visible items with this objectName, in drawing order.
inline QList<QQuickItem*> all(QQuickItem* root, const QString& name)
{
    QList<QQuickItem*> out;
    collect(
        root, [&](QQuickItem* i) { return i->objectName() == name; }, out);
    return out;
}

inline QQuickItem* one(QQuickItem* root, const QString& name)
{
    const QList<QQuickItem*> found = all(root, name);
    return found.size() == 1 ? found.first() : nullptr;
}

// The texts of the visible Text items below `root`.
inline QStringList texts(QQuickItem* root)
{
    QList<QQuickItem*> items;
    collect(
        root,
        [](QQuickItem* i) {
            return i->inherits("QQuickText") && !i->property("text").toString().isEmpty() &&
                   i->property("font").value<QFont>().family() != Theme::symbolFamily();
        },
        items);
    QStringList out;
    for (QQuickItem* i : items)
        out << i->property("text").toString();
    return out;
}

inline void click(QQuickItem* item, QPointF at = {-1, -1})
{
    QVERIFY(item);
    // Rows that just appeared are placed by the layouts on the next frame.
    QTest::qWait(40);
    QVERIFY(isShown(item));
    const QPointF local = at.x() < 0 ? QPointF(item->width() / 2, item->height() / 2) : at;
    QTest::mouseClick(item->window(), Qt::LeftButton, {}, item->mapToScene(local).toPoint());
}
} // namespace view
