#include "LayerShieldDisplay.h"
#include "PresencePromptWindow.h"
#include "ShieldWindow.h"
#include "ShieldWindows.h"
#include "TestDataHome.h"
#include "WaylandRig.h"
#include "apps/AppProtectionEngine.h"
#include "apps/OverlayManager.h"
#include "auth/AttemptBackoff.h"
#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "auth/PromptAuthenticator.h"
#include "auth/SessionManager.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFingerprintVerifier.h"
#include "fakes/FakePasswordVerifier.h"
#include "fakes/FakeSecretStore.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/wayland/GnomeShellShieldKeeper.h"
#include "platform/wayland/GnomeShellWorkspace.h"
#include "platform/wayland/LayerShellSurfaces.h"
#include "platform/wayland/PlasmaWorkspace.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WlrWorkspace.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QDBusConnection>
#include <QDir>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

#include <wayland-client.h>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

// A protected Wayland-native application on a real compositor, with the real workspace, shield,
// prompt and authenticator; only the system's password check is a fake that accepts "secret". The
// password is typed through the compositor into the shield's prompt. On sway and KWin the shield is
// on overlay surfaces; on GNOME Shell it is Veilmark's full-screen windows, kept above by its extension.
class TestWaylandProtection : public QObject
{
    Q_OBJECT

    TestDataHome data;
    WaylandRig rig;
    QTemporaryDir dir;
    const QColor red{0xff, 0x20, 0x20};
    const QColor blue{0x20, 0x40, 0xff};

    FakeClock clock;
    FakeFingerprintVerifier fingerprint;
    FakePasswordVerifier password;
    std::unique_ptr<AttemptBackoff> backoff;
    PresencePromptWindow prompt;
    std::unique_ptr<PromptAuthenticator> authenticator;
    FakeSecretStore secrets;
    KeychainService keychain{secrets};
    PolicyStore policy;
    EventLog log;
    SessionManager sessions{clock};
    std::unique_ptr<AuthenticationService> auth;
    WaylandConnection connection;
    std::unique_ptr<Workspace> workspace;
    DesktopEntryIndex installed;
    GnomeShellShieldKeeper keeper;
    std::unique_ptr<ShieldDisplay> display;
    std::unique_ptr<OverlayManager> overlay;
    std::unique_ptr<AppProtectionEngine> engine;

    QString keys(const char* name) const { return dir.filePath(name); }
    // The prompt's password field in the shield's card, once it has the keyboard focus.
    QQuickItem* passwordField() const
    {
        for (ShieldWindow* window : shieldWindows())
            // On GNOME the shield's windows are the compositor's to map and focus, a moment later.
            if (window->prompt() && window->rootObject() && (!gnome() || window->isActive()))
                for (auto* item : window->rootObject()->findChildren<QQuickItem*>("passwordField"))
                    if (item->isVisible() && item->hasActiveFocus() && item->isEnabled())
                        return item;
        return nullptr;
    }
    // The colour's share of each output.
    QList<double> shown(const QColor& colour)
    {
        return {WaylandRig::share(rig.screenshot(0), colour), WaylandRig::share(rig.screenshot(1), colour)};
    }
    bool covered() { return shown(red) == QList<double>{0, 0}; }
    bool gnome() const { return WaylandRig::compositor() == WaylandRig::Compositor::Gnome; }
    QList<ShieldWindow*> shieldWindows() const
    {
        if (auto* layers = dynamic_cast<LayerShieldDisplay*>(display.get()))
            return layers->windows();
        QList<ShieldWindow*> windows;
        for (const auto& window : static_cast<ShieldWindows*>(display.get())->windows())
            windows << window.get();
        return windows;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(WaylandRig::compositor() != WaylandRig::Compositor::None,
                 "run under tests/wayland/*-session.sh");
        QVERIFY2(connection.isConnected(), qPrintable(connection.problem()));
        QVERIFY2(rig.holdKeyboard(), qPrintable(rig.error()));
        QTRY_VERIFY(connection.seatCapabilities() & WL_SEAT_CAPABILITY_KEYBOARD);
        fingerprint.device = false;
        backoff = std::make_unique<AttemptBackoff>(clock, dir.filePath("attempts.json"));
        authenticator = std::make_unique<PromptAuthenticator>(prompt, fingerprint, password, *backoff);
        auth = std::make_unique<AuthenticationService>(*authenticator, keychain);
        if (WaylandRig::compositor() == WaylandRig::Compositor::KWin)
            workspace = std::make_unique<PlasmaWorkspace>(connection);
        else if (gnome())
            workspace = std::make_unique<GnomeShellWorkspace>();
        else
            workspace = std::make_unique<WlrWorkspace>(connection);
        QVERIFY2(workspace->isSupported(), qPrintable(workspace->unsupportedReason()));
        if (gnome()) {
            // The extension keeps only Veilmark's windows above: this process is Veilmark here.
            QVERIFY(QDBusConnection::sessionBus().registerService("org.veilmark.Veilmark"));
            display = std::make_unique<ShieldWindows>(&keeper);
        } else {
            display = std::make_unique<LayerShieldDisplay>(std::make_unique<LayerShellSurfaces>(connection));
        }
        overlay = std::make_unique<OverlayManager>(*display);
        engine = std::make_unique<AppProtectionEngine>(policy, *auth, sessions, *overlay, log, *workspace,
                                                       installed);
        policy.addApp({"veilmark.test.red", "Red", QString(), true, true});
        engine->start();
    }

    void shieldedUntilTheRightPassword()
    {
        // Launched: covered on both outputs, typing reaches neither it nor anything else.
        QVERIFY2(rig.launchClient("veilmark.test.red", red, keys("red")), qPrintable(rig.error()));
        QTRY_VERIFY_WITH_TIMEOUT(overlay->isShown(), 5000);
        QCOMPARE(shieldWindows().size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(covered(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(passwordField(), 5000);

        // A wrong password: still covered, the application got none of it.
        QVERIFY2(rig.type("wrong\n"), qPrintable(rig.error()));
        QTRY_COMPARE_WITH_TIMEOUT(password.checked, QList<QByteArray>{"wrong"}, 5000);
        password.answer();
        QVERIFY(overlay->isShown());
        QVERIFY(covered());
        QTRY_VERIFY_WITH_TIMEOUT(passwordField() && passwordField()->property("length").toInt() == 0, 5000);

        // The right one: shown, in front and typed into.
        QVERIFY2(rig.type("secret\n"), qPrintable(rig.error()));
        QTRY_COMPARE_WITH_TIMEOUT(password.checked.size(), 2, 5000);
        password.answer();
        QTRY_VERIFY_WITH_TIMEOUT(!overlay->isShown(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(shown(red).first() > 0.3 || shown(red).last() > 0.3, 5000);
        QVERIFY2(rig.type("hello"), qPrintable(rig.error()));
        QTRY_COMPARE_WITH_TIMEOUT(WaylandRig::keysReceived(keys("red")), QString("hello"), 5000);
        QVERIFY(sessions.isAppUnlocked("veilmark.test.red"));
    }

    // Another window in front relocks it (relock on focus loss); in front again, it is covered again.
    void coveredAgainOnActivation()
    {
        QVERIFY2(rig.launchClient("veilmark.test.blue", blue, keys("blue")), qPrintable(rig.error()));
        QVERIFY2(rig.activate("veilmark.test.blue"), qPrintable(rig.error()));
        QTRY_VERIFY_WITH_TIMEOUT(!sessions.isAppUnlocked("veilmark.test.red"), 5000);
        QVERIFY(!overlay->isShown());

        QVERIFY2(rig.activate("veilmark.test.red"), qPrintable(rig.error()));
        QTRY_VERIFY_WITH_TIMEOUT(overlay->isShown(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(covered(), 5000);
        QVERIFY2(rig.type("more"), qPrintable(rig.error()));
        QTest::qWait(300);
        QCOMPARE(WaylandRig::keysReceived(keys("red")), QString("hello"));
        QCOMPARE(WaylandRig::keysReceived(keys("blue")), QString());
    }
};

int main(int argc, char* argv[])
{
    // The shield is drawn off screen by the software renderer, as Veilmark draws it on Wayland.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    // Veilmark's own windows (on GNOME, the shield's) are not an application it protects.
    QGuiApplication::setDesktopFileName(AppProtectionEngine::OwnBundleID);
    TestWaylandProtection test;
    return QTest::qExec(&test, argc, argv);
}
#include "TestWaylandProtection.moc"
