#include "PresencePromptWindow.h"
#include "ShieldWindow.h"
#include "ShieldWindows.h"
#include "apps/ShieldModel.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickItem>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

#include <xcb/xcb.h>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

namespace {
// The texts of the visible items below `item`; buttons (checkable items) as "button:text".
QStringList visibleTexts(QQuickItem* item)
{
    if (!item->isVisible())
        return {};
    const QString text = item->property("text").toString();
    QStringList texts;
    if (!text.isEmpty())
        texts << (item->property("checkable").isValid() ? "button:" + text : text);
    for (QQuickItem* child : item->childItems())
        texts << visibleTexts(child);
    return texts;
}

// Whether `window` is above all of `below` in the root's children, which are listed bottom to top.
bool stackedAbove(QWindow* window, const std::vector<std::unique_ptr<ShieldWindow>>& below)
{
    xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree)
        return false;
    const QList<xcb_window_t> order(xcb_query_tree_children(tree),
                                    xcb_query_tree_children(tree) + xcb_query_tree_children_length(tree));
    free(tree);
    const qsizetype at = order.indexOf(xcb_window_t(window->winId()));
    return at >= 0 && std::all_of(below.cbegin(), below.cend(), [&](const auto& other) {
               return order.indexOf(xcb_window_t(other->winId())) < at;
           });
}
} // namespace

// The shield windows on a real X server split into two monitors, with a real window behind.
class TestShieldWindows : public QObject
{
    Q_OBJECT

    QProcess m_behind;

private slots:
    // A QML error or warning fails the test that caused it.
    void init() { QTest::failOnWarning(QRegularExpression(".+")); }

    void initTestCase()
    {
        // Something on the desktop to blur.
        m_behind.start("xterm", {"-geometry", "100x30+40+40", "-bg", "#204a87", "-fg", "white", "-e",
                                 "sh -c 'ls -la /usr/bin | head -40; sleep 60'"});
        QVERIFY(m_behind.waitForStarted());
        QCOMPARE(QProcess::execute("xdotool", {"search", "--sync", "--onlyvisible", "--class", "xterm"}), 0);
    }

    void cleanupTestCase()
    {
        m_behind.kill();
        m_behind.waitForFinished();
    }

    void oneWindowPerScreenFollowingTheModel()
    {
        const QList<QScreen*> screens = QGuiApplication::screens();
        QVERIFY2(screens.size() == 2, "expected two monitors (VEILMARK_XVFB_MONITORS=2)");
        ShieldModel model;
        int unlocks = 0, cancels = 0;
        model.onUnlockRequested = [&] { ++unlocks; };
        model.onCancel = [&] { ++cancels; };
        model.setApp("Firefox", QImage());
        model.setStatus("Locked — Password required", false, false);
        ShieldWindows shield;
        QCOMPARE(shield.showWindows(model), 2);
        // Unmanaged, like a screen locker: no window manager moves it or hides it on another desktop.
        for (const auto& window : shield.windows()) {
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
            QProcess xwininfo;
            xwininfo.start("xwininfo", {"-id", QString::number(window->winId())});
            QVERIFY(xwininfo.waitForFinished());
            QVERIFY(xwininfo.readAllStandardOutput().contains("Override Redirect State: yes"));
        }
        ShieldWindow* first = shield.windows().front().get();
        QTRY_COMPARE(QGuiApplication::focusWindow(), first);
        QDir().mkpath("screenshots"); // for a person to look at
        QVERIFY(screens[0]->grabWindow(0).save("screenshots/shield.png"));

        // Return is Unlock and Escape is Cancel while the buttons show. Every window follows the one
        // model: no buttons while the prompt is open, so the keys do nothing.
        for (const bool prompting : {false, true}) {
            const QString status = prompting ? "Authenticating…" : "Locked — Password required";
            model.setStatus(status, prompting, false);
            for (const auto& window : shield.windows()) {
                const QStringList texts = visibleTexts(window->contentItem());
                QVERIFY(texts.contains("Firefox") && texts.contains(status));
                QCOMPARE(texts.contains("button:Unlock"), !prompting);
            }
            QTest::keyClick(first, Qt::Key_Return);
            QTest::keyClick(first, Qt::Key_Escape);
            QCOMPARE(unlocks, 1);
            QCOMPARE(cancels, 1);
        }

        // Shown again: the same windows, no second set.
        shield.hideWindows();
        QCOMPARE(shield.showWindows(model), 2);
        QCOMPARE(shield.windows().front().get(), first);
        QVERIFY(first->isVisible() && shield.windows().back()->isVisible());
        shield.hideWindows();
    }

    void promptOpensAboveTheShield()
    {
        ShieldModel model;
        ShieldWindows shield;
        PresencePromptWindow prompt;
        // Built before the shield, as in the running program: stacking must not depend on it.
        prompt.open(PresencePrompt::Mode::password, "unlock the folder “Taxes”");
        // Mapped by the window manager first: closed before that, it would map it all the same.
        QVERIFY(QTest::qWaitForWindowExposed(prompt.view()));
        prompt.close();
        shield.showWindows(model);
        // The shield takes the focus once mapped; when that has happened, it cannot take it back later.
        QTRY_COMPARE(QGuiApplication::focusWindow(), shield.windows().front().get());
        prompt.open(PresencePrompt::Mode::password, "unlock Firefox");
        QVERIFY(QTest::qWaitForWindowExposed(prompt.view()));
        QTRY_VERIFY(stackedAbove(prompt.view(), shield.windows()));
        // Keys typed now reach the prompt, not the shield that holds the keyboard.
        // Copied as it is sent: the prompt wipes the password once its receivers have it.
        QList<QByteArray> submitted;
        connect(&prompt, &PresencePrompt::passwordSubmitted, this, [&](const QByteArray& password) {
            submitted << QByteArray(password.constData(), password.size());
        });
        QTRY_COMPARE(QGuiApplication::focusWindow(), prompt.view());
        QProcess::execute("xdotool", {"type", "--delay", "30", "pw"});
        QProcess::execute("xdotool", {"key", "Return"});
        QTRY_COMPARE(submitted.count(), 1);
        QCOMPARE(submitted.first(), QByteArray("pw"));
        prompt.close();
        shield.hideWindows();
    }

    // A monitor plugged in while the shield is up is covered at once; one unplugged takes its
    // window with it. (Xvfb's RandR monitors stand in for real ones.)
    void monitorsComingAndGoing()
    {
        ShieldModel model;
        ShieldWindows shield;
        QCOMPARE(shield.showWindows(model), 2);
        const auto xrandr = [](const QStringList& arguments) {
            return QProcess::execute("xrandr", arguments);
        };
        QCOMPARE(xrandr({"--delmonitor", "right"}), 0);
        QTRY_COMPARE(QGuiApplication::screens().size(), 1);
        QCOMPARE(shield.windows().size(), size_t(1));
        QCOMPARE(xrandr({"--setmonitor", "right", "1280/339x800/212+1280+0", "none"}), 0);
        QTRY_COMPARE(QGuiApplication::screens().size(), 2);
        QCOMPARE(shield.windows().size(), size_t(2));
        ShieldWindow* added = shield.windows().back().get();
        QVERIFY(QTest::qWaitForWindowExposed(added));
        QCOMPARE(added->geometry(), QRect(1280, 0, 1280, 800));
        QTRY_COMPARE(QGuiApplication::focusWindow(), shield.windows().front().get());
        shield.hideWindows();
    }
};

QTEST_MAIN(TestShieldWindows)
#include "TestShieldWindows.moc"
