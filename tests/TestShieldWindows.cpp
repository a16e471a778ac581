#include "PresencePromptWindow.h"
#include "ShieldWindow.h"
#include "ShieldWindows.h"
#include "apps/ShieldModel.h"

#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

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

        // Taken down, the windows go with their QML and images; shown again, a new set covers.
        const QPointer<ShieldWindow> gone(first);
        shield.hideWindows();
        QVERIFY(shield.windows().empty());
        QTRY_VERIFY(!gone);
        QCOMPARE(shield.showWindows(model), 2);
        QVERIFY(shield.windows().front()->isVisible() && shield.windows().back()->isVisible());
        shield.hideWindows();
    }

    // With the shield up the prompt is in the card of the shield on the pointer's screen, and has the
    // keyboard there; taken down under it, or with no shield, it has a window of its own.
    void promptInTheShieldsCard()
    {
        ShieldModel model;
        model.setApp("Firefox", QImage());
        ShieldWindows shield;
        PresencePromptWindow prompt;
        QList<QByteArray> submitted;
        // Copied as it is sent: the prompt wipes the password once its receivers have it.
        connect(&prompt, &PresencePrompt::passwordSubmitted, this, [&](const QByteArray& password) {
            submitted << QByteArray(password.constData(), password.size());
        });
        QSignalSpy cancelled(&prompt, &PresencePrompt::cancelled);
        const auto field = [](QWindow* window) {
            auto* view = qobject_cast<QQuickView*>(window);
            for (QQuickItem* item : view->rootObject()->findChildren<QQuickItem*>("passwordField"))
                if (item->isVisible())
                    return item;
            return static_cast<QQuickItem*>(nullptr);
        };
        for (const int screen : {1, 0}) {
            const QRect area = QGuiApplication::screens()[screen]->geometry();
            QProcess::execute("xdotool", {"mousemove", QString::number(area.center().x()),
                                          QString::number(area.center().y())});
            QTRY_COMPARE(QGuiApplication::screenAt(QCursor::pos()), QGuiApplication::screens()[screen]);
            shield.showWindows(model);
            model.setStatus("Authenticating…", true, false);
            prompt.open(PresencePrompt::Mode::password, "unlock Firefox");
            prompt.setStatus("Enter your password to allow this.", false);
            ShieldWindow* host = shield.windows()[size_t(screen)].get();
            ShieldWindow* other = shield.windows()[size_t(1 - screen)].get();
            QVERIFY(!(prompt.view() && prompt.view()->isVisible()) && prompt.host() == host &&
                    prompt.isVisible());
            QCOMPARE(host->title(), "Veilmark is trying to unlock Firefox.");
            QVERIFY(field(host) && !field(other));
            const QStringList texts = visibleTexts(host->contentItem());
            QVERIFY(texts.contains("Firefox") && texts.contains("Enter your password to allow this.") &&
                    texts.contains("button:Unlock") && texts.contains("button:Cancel"));
            QVERIFY(visibleTexts(other->contentItem()).contains("Authenticating…"));
            // Keys typed now reach the field in the card, though the first shield window holds the grab.
            QTRY_COMPARE(QGuiApplication::focusWindow(), host);
            QTRY_VERIFY(field(host)->hasActiveFocus());
            if (screen == 1)
                QVERIFY(host->grabWindow().save("screenshots/shield-prompt.png"));
            // Taking the keyboard back (an application brought forward behind) keeps it there.
            shield.activateWindows();
            QProcess::execute("xdotool", {"type", "--delay", "30", "pw"});
            QProcess::execute("xdotool", {"key", "Return"});
            QTRY_COMPARE(submitted.count(), 3 - 2 * screen);
            QCOMPARE(submitted.last(), QByteArray("pw"));
            QVERIFY(field(host)->property("text").toString().isEmpty());
            // Escape cancels the prompt, not the shield; closed, a typed password goes with it.
            QProcess::execute("xdotool", {"type", "--delay", "30", "x"});
            QTRY_COMPARE(field(host)->property("length").toInt(), 1);
            const QPointer<QObject> typed = field(host);
            QProcess::execute("xdotool", {"key", "Escape"});
            QTRY_COMPARE(cancelled.count(), 2 - screen);
            prompt.close();
            QVERIFY(!prompt.host() && !prompt.isVisible() && host->title() == "Veilmark");
            QVERIFY(!field(host) && visibleTexts(host->contentItem()).contains("Authenticating…"));
            QVERIFY(!typed || typed->property("text").toString().isEmpty());
            if (screen == 1) {
                // The shield goes under an open prompt: the prompt moves into a window of its own.
                prompt.open(PresencePrompt::Mode::password, "unlock Firefox");
                QVERIFY(prompt.host() == host);
                QTRY_COMPARE(QGuiApplication::focusWindow(), host);
                QProcess::execute("xdotool", {"type", "--delay", "30", "pw"});
                QTRY_COMPARE(field(host)->property("length").toInt(), 2);
                shield.hideWindows();
                QVERIFY(!prompt.host() && prompt.view() && prompt.view()->isVisible());
                QVERIFY(field(prompt.view()) && field(prompt.view())->property("length").toInt() == 0);
                QTRY_COMPARE(QGuiApplication::focusWindow(), prompt.view());
                QProcess::execute("xdotool", {"type", "--delay", "30", "pw"});
                QProcess::execute("xdotool", {"key", "Return"});
                QTRY_COMPARE(submitted.count(), 2);
                QCOMPARE(submitted.last(), QByteArray("pw"));
                prompt.close();
            }
        }
        shield.hideWindows();

        // Destroyed under an open prompt (Veilmark quitting): the prompt is let go where it is, not
        // moved from window to window as they go and then into one of its own.
        auto going = std::make_unique<ShieldWindows>();
        going->showWindows(model);
        prompt.open(PresencePrompt::Mode::password, "unlock Firefox");
        QVERIFY(prompt.host());
        going.reset();
        QVERIFY(!prompt.host() && !(prompt.view() && prompt.view()->isVisible()));
        prompt.close();
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
