#include "ShieldWindow.h"
#include "ShieldWindows.h"
#include "TestDataHome.h"
#include "apps/AppProtectionEngine.h"
#include "apps/OverlayManager.h"
#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSecretStore.h"
#include "platform/linux/X11Workspace.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)

using Result = Authenticator::Result;

namespace {
QString run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// All client windows of the test terminal, by its WM_CLASS.
QStringList terminalWindows()
{
    return run("xdotool", {"search", "--class", "VmTestTerm"}).split('\n', Qt::SkipEmptyParts);
}

bool isIconic(const QString& window)
{
    return run("xprop", {"-id", window, "WM_STATE"}).contains("Iconic");
}

QString activeWindow()
{
    return run("xdotool", {"getactivewindow"});
}

// The window manager may still be working through an activation, so a single iconic reading
// proves little: the window must turn iconic and then stay so for half a second.
bool settlesIconic(const QString& window)
{
    QDeadlineTimer deadline(5000);
    QElapsedTimer iconicFor;
    while (!deadline.hasExpired()) {
        if (!isIconic(window)) {
            iconicFor.invalidate();
        } else if (!iconicFor.isValid()) {
            iconicFor.start();
        } else if (iconicFor.elapsed() >= 500) {
            return true;
        }
        QTest::qWait(20);
    }
    return false;
}
} // namespace

// The whole road of a protected application on a real X server with two monitors: a terminal
// brought to the front goes behind the shield on every screen and cannot be typed into; a
// successful (scripted) prompt brings it back to the front.
class TestProtectionEndToEnd : public QObject
{
    Q_OBJECT

    TestDataHome m_data;
    QTemporaryDir m_dir;
    QProcess m_terminal;

private slots:
    void initTestCase()
    {
        // Installed like any application the user added to their menu.
        const QString applications = qEnvironmentVariable("XDG_DATA_HOME") + "/applications";
        QVERIFY(QDir().mkpath(applications));
        QFile file(applications + "/vmtestterm.desktop");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nName=Test Terminal\nExec=xterm -class VmTestTerm\n"
                   "StartupWMClass=VmTestTerm\n");
        file.close();
        QVERIFY2(QGuiApplication::screens().size() == 2, "expected two monitors (VEILMARK_XVFB_MONITORS=2)");
        // The terminal writes whatever it is typed into this file.
        m_terminal.start("xterm", {"-class", "VmTestTerm", "-geometry", "80x20+100+100", "-e", "sh", "-c",
                                   "cat > " + m_dir.filePath("typed")});
        QVERIFY(m_terminal.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!terminalWindows().isEmpty(), 10000);
    }

    void cleanupTestCase()
    {
        m_terminal.kill();
        m_terminal.waitForFinished();
    }

    void shieldedUntilUnlocked()
    {
        FakeClock clock;
        FakeAuthenticator authenticator;
        FakeSecretStore secrets;
        KeychainService keychain(secrets);
        PolicyStore policy;
        EventLog log;
        SessionManager sessions(clock);
        AuthenticationService auth(authenticator, keychain);
        X11Workspace workspace;
        ShieldWindows display;
        OverlayManager overlay(display);
        AppProtectionEngine engine(policy, auth, sessions, overlay, log, workspace);
        QTRY_VERIFY(workspace.runningApplications().contains("vmtestterm"));

        // Its desktop entry is made unreadable while it is locked; it must still be recognised.
        const QString entry = qEnvironmentVariable("XDG_DATA_HOME") + "/applications/vmtestterm.desktop";
        const ProtectedApp app{"vmtestterm", "Test Terminal", entry, true, true};
        policy.addApp(app);
        engine.start();
        // Protected while running: hidden at once, no shield until it comes to the front.
        const QString window = terminalWindows().first();
        QTRY_VERIFY(isIconic(window));
        QVERIFY(!overlay.isShown());

        run("xdotool", {"windowactivate", window});
        QTRY_VERIFY_WITH_TIMEOUT(overlay.isShown(), 5000);
        QCOMPARE(overlay.windowCount(), 2);
        QVERIFY(settlesIconic(window));
        const QList<QScreen*> screens = QGuiApplication::screens();
        for (size_t i = 0; i < display.windows().size(); ++i) {
            QVERIFY(display.windows()[i]->isVisible());
            QCOMPARE(display.windows()[i]->geometry(), screens[qsizetype(i)]->geometry());
        }
        QCOMPARE(authenticator.calls.size(), 1);
        QCOMPARE(authenticator.calls.first().reason, QString("unlock Test Terminal"));

        // Activated again behind the shield (a task bar click): back to iconic, and keys typed at
        // it go nowhere near it.
        QSignalSpy activations(&workspace, &Workspace::didActivate);
        run("xdotool", {"windowactivate", window});
        QTRY_VERIFY(activations.contains(QVariantList{QString("vmtestterm")}));
        QVERIFY(settlesIconic(window));
        run("xdotool", {"type", "--window", window, "secret"});
        run("xdotool", {"type", "secret"});
        QTest::qWait(300);
        QCOMPARE(QFile(m_dir.filePath("typed")).size(), 0);
        QCOMPARE(overlay.windowCount(), 2);

        authenticator.reply(Result::success);
        QVERIFY(!overlay.isShown());
        for (const auto& shield : display.windows())
            QVERIFY(!shield->isVisible());
        QTRY_VERIFY(!isIconic(window));
        QTRY_COMPARE(activeWindow(), window);
        QVERIFY(sessions.isAppUnlocked("vmtestterm"));
        QCOMPARE(log.events().first().kind, LogEventKind::appUnlocked);

        // Unlocked and at the front, it takes keys again.
        run("xdotool", {"type", "--delay", "20", "hello\n"});
        QTRY_VERIFY(QFile(m_dir.filePath("typed")).size() > 0);
    }
};

QTEST_MAIN(TestProtectionEndToEnd)
#include "TestProtectionEndToEnd.moc"
