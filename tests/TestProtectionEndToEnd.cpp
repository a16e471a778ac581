#include "ShieldWindow.h"
#include "TestDataHome.h"
#include "X11ProtectionRig.h"

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
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

using Result = Authenticator::Result;

namespace {
QString run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The client windows of the test terminal, by its WM_CLASS, one a line.
QString terminalWindows()
{
    return run("xdotool", {"search", "--class", "VmTestTerm"});
}

bool isIconic(const QString& window)
{
    return run("xprop", {"-id", window, "WM_STATE"}).contains("Iconic");
}

// The window manager may still be working through an activation, so a single iconic reading
// proves little: the window must turn iconic and then stay so for half a second.
bool settlesIconic(const QString& window)
{
    QElapsedTimer iconicFor;
    return QTest::qWaitFor(
        [&] {
            if (!isIconic(window))
                iconicFor.invalidate();
            else if (!iconicFor.isValid())
                iconicFor.start();
            return iconicFor.isValid() && iconicFor.elapsed() >= 500;
        },
        5000);
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
        X11ProtectionRig rig;
        QTRY_VERIFY(rig.workspace.runningApplications().contains("vmtestterm"));

        // Its desktop entry is made unreadable while it is locked; it must still be recognised.
        const QString entry = qEnvironmentVariable("XDG_DATA_HOME") + "/applications/vmtestterm.desktop";
        const ProtectedApp app{"vmtestterm", "Test Terminal", entry, true, true};
        rig.policy.addApp(app);
        rig.engine.start();
        // Protected while running: hidden at once, no shield until it comes to the front.
        const QString window = terminalWindows().section('\n', 0, 0);
        QTRY_VERIFY(isIconic(window));
        QVERIFY(!rig.overlay.isShown());

        run("xdotool", {"windowactivate", window});
        QTRY_VERIFY_WITH_TIMEOUT(rig.overlay.isShown(), 5000);
        QCOMPARE(rig.overlay.windowCount(), 2);
        QVERIFY(settlesIconic(window));
        const QList<QScreen*> screens = QGuiApplication::screens();
        for (size_t i = 0; i < rig.display.windows().size(); ++i) {
            QVERIFY(rig.display.windows()[i]->isVisible());
            QCOMPARE(rig.display.windows()[i]->geometry(), screens[qsizetype(i)]->geometry());
        }
        QCOMPARE(rig.authenticator.calls.size(), 1);
        QCOMPARE(rig.authenticator.calls.first().reason, QString("unlock Test Terminal"));

        // Activated again behind the shield (a task bar click): back to iconic, and keys typed at
        // it go nowhere near it.
        QSignalSpy activations(&rig.workspace, &Workspace::didActivate);
        run("xdotool", {"windowactivate", window});
        QTRY_VERIFY(activations.contains(QVariantList{QString("vmtestterm")}));
        QVERIFY(settlesIconic(window));
        run("xdotool", {"type", "--window", window, "secret"});
        run("xdotool", {"type", "secret"});
        QTest::qWait(300);
        QCOMPARE(QFile(m_dir.filePath("typed")).size(), 0);
        QCOMPARE(rig.overlay.windowCount(), 2);

        rig.authenticator.reply(Result::success);
        QVERIFY(!rig.overlay.isShown());
        for (const auto& shield : rig.display.windows())
            QVERIFY(!shield->isVisible());
        QTRY_VERIFY(!isIconic(window));
        QTRY_COMPARE(run("xdotool", {"getactivewindow"}), window);
        QVERIFY(rig.sessions.isAppUnlocked("vmtestterm"));
        QCOMPARE(rig.log.events().first().kind, LogEventKind::appUnlocked);

        // Unlocked and at the front, it takes keys again.
        run("xdotool", {"type", "--delay", "20", "hello\n"});
        QTRY_VERIFY(QFile(m_dir.filePath("typed")).size() > 0);
    }
};

QTEST_MAIN(TestProtectionEndToEnd)
#include "TestProtectionEndToEnd.moc"
