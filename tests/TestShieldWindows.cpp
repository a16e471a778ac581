#include "PresencePromptWindow.h"
#include "ShieldWindow.h"
#include "ShieldWindows.h"
#include "apps/ShieldModel.h"

#include <QGuiApplication>
#include <QProcess>
#include <QQuickItem>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

#include <xcb/xcb.h>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)

namespace {
QStringList visibleTexts(QQuickItem* item)
{
    QStringList texts;
    if (!item->isVisible())
        return texts;
    const QVariant text = item->property("text");
    if (text.isValid() && !text.toString().isEmpty() && item->property("checkable").isValid())
        texts << "button:" + text.toString();
    else if (text.isValid() && !text.toString().isEmpty() && !item->property("checkable").isValid())
        texts << text.toString();
    for (QQuickItem* child : item->childItems())
        texts << visibleTexts(child);
    return texts;
}

QString xwininfo(QWindow* window)
{
    QProcess p;
    p.start("xwininfo", {"-id", QString::number(window->winId())});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}
// Position of each window among the root's children, bottom to top.
QList<xcb_window_t> stackingOrder()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    QList<xcb_window_t> order;
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
            order.append(children[i]);
    }
    free(tree);
    return order;
}
} // namespace

// The shield windows on a real X server split into two monitors, with a real window behind.
class TestShieldWindows : public QObject
{
    Q_OBJECT

    QProcess m_behind;

    void shoot(const char* name)
    {
        QTest::qWait(150);
        QScreen* screen = QGuiApplication::primaryScreen();
        const QImage image = screen->grabWindow(0).toImage();
        QDir().mkpath("screenshots");
        QVERIFY(image.save(QStringLiteral("screenshots/%1.png").arg(QLatin1String(name))));
    }

private slots:
    // A QML error or warning fails the test that caused it.
    void init() { QTest::failOnWarning(QRegularExpression(".+")); }

    void initTestCase()
    {
        // Something on the desktop to blur.
        m_behind.start("xterm", {"-geometry", "100x30+40+40", "-bg", "#204a87", "-fg", "white", "-e",
                                 "sh -c 'ls -la /usr/bin | head -40; sleep 60'"});
        QVERIFY(m_behind.waitForStarted());
        QTest::qWait(800);
    }

    void cleanupTestCase()
    {
        m_behind.kill();
        m_behind.waitForFinished();
    }

    void oneWindowPerScreenAboveEverything()
    {
        const QList<QScreen*> screens = QGuiApplication::screens();
        QVERIFY2(screens.size() == 2, "expected two monitors (VEILMARK_XVFB_MONITORS=2)");
        ShieldModel model;
        model.setApp("Firefox", QImage());
        model.setStatus("Locked — Password required", false, false);
        ShieldWindows shield;
        QCOMPARE(shield.showWindows(model), 2);
        for (size_t i = 0; i < shield.windows().size(); ++i) {
            ShieldWindow* window = shield.windows()[i].get();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QTRY_COMPARE(window->geometry(), screens[qsizetype(i)]->geometry());
            QVERIFY(window->flags().testFlag(Qt::FramelessWindowHint));
            // Unmanaged, like a screen locker: no window manager moves it or hides it on another desktop.
            QVERIFY(xwininfo(window).contains("Override Redirect State: yes"));
            QVERIFY(visibleTexts(window->contentItem()).contains("Firefox"));
        }
        QTRY_COMPARE(QGuiApplication::focusWindow(), shield.windows().front().get());
        shoot("shield-idle");

        // Every window follows the one model.
        model.setStatus("Authenticating…", true, false);
        for (const auto& window : shield.windows()) {
            const QStringList texts = visibleTexts(window->contentItem());
            QVERIFY(texts.contains("Authenticating…"));
            QVERIFY(!texts.contains("button:Unlock"));
        }
        shoot("shield-authenticating");
        model.setStatus("Fingerprint not recognized — try again", false, true);
        shoot("shield-failed");

        // Shown again: the same windows, no second set.
        shield.hideWindows();
        QVERIFY(!shield.windows().front()->isVisible());
        QCOMPARE(shield.showWindows(model), 2);
        QCOMPARE(shield.windows().size(), size_t(2));
        shield.hideWindows();
    }

    void promptOpensAboveTheShield()
    {
        ShieldModel model;
        ShieldWindows shield;
        PresencePromptWindow prompt;
        // Built before the shield, as in the running program: stacking must not depend on it.
        prompt.open(PresencePrompt::Mode::password, "unlock the folder “Taxes”");
        prompt.close();
        shield.showWindows(model);
        prompt.open(PresencePrompt::Mode::password, "unlock Firefox");
        QVERIFY(QTest::qWaitForWindowExposed(prompt.view()));
        QTRY_VERIFY([&] {
            const QList<xcb_window_t> order = stackingOrder();
            const qsizetype promptAt = order.indexOf(xcb_window_t(prompt.view()->winId()));
            for (const auto& window : shield.windows())
                if (promptAt < 0 || order.indexOf(xcb_window_t(window->winId())) > promptAt)
                    return false;
            return true;
        }());
        // Keys typed now reach the prompt, not the shield that holds the keyboard.
        QSignalSpy submitted(&prompt, &PresencePrompt::passwordSubmitted);
        QTest::qWait(200);
        QProcess::execute("xdotool", {"type", "--delay", "30", "pw"});
        QProcess::execute("xdotool", {"key", "Return"});
        QTRY_COMPARE(submitted.count(), 1);
        QCOMPARE(submitted.first().first().toByteArray(), QByteArray("pw"));
        prompt.close();
        shield.hideWindows();
    }

    void keysWhileButtonsShow()
    {
        ShieldModel model;
        int unlocks = 0, cancels = 0;
        model.onUnlockRequested = [&] { ++unlocks; };
        model.onCancel = [&] { ++cancels; };
        model.setStatus("Locked — Fingerprint required", false, false);
        ShieldWindows shield;
        shield.showWindows(model);
        QWindow* first = shield.windows().front().get();
        QTRY_COMPARE(QGuiApplication::focusWindow(), first);
        QTest::keyClick(first, Qt::Key_Return);
        QTest::keyClick(first, Qt::Key_Escape);
        QCOMPARE(unlocks, 1);
        QCOMPARE(cancels, 1);

        // No buttons while the prompt is open, so the keys do nothing.
        model.setStatus("Authenticating…", true, false);
        QTest::keyClick(first, Qt::Key_Return);
        QTest::keyClick(first, Qt::Key_Escape);
        QCOMPARE(unlocks, 1);
        QCOMPARE(cancels, 1);
        shield.hideWindows();
    }
};

QTEST_MAIN(TestShieldWindows)
#include "TestShieldWindows.moc"
