#include "WaylandRig.h"
#include "platform/wayland/GnomeShellWorkspace.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
class ColourWindow : public QRasterWindow
{
public:
    explicit ColourWindow(QColor colour)
        : m_colour(colour)
    {}

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), m_colour); }

private:
    QColor m_colour;
};
} // namespace

// GNOME Shell's workspace through Veilmark's extension, in a real headless GNOME Shell
// (tests/wayland/gnome-session.sh): what it reports as clients open, take the keyboard and go, what
// hiding does, who may bring a window back or raise a shield, and what it says once the extension
// is gone.
class TestGnomeShellWorkspace : public QObject
{
    Q_OBJECT

    WaylandRig rig;
    QTemporaryDir dir;
    const QColor red{0xff, 0x20, 0x20};
    const QColor blue{0x20, 0x40, 0xff};
    const QColor green{0x20, 0xc0, 0x40};
    QDBusConnection bus = QDBusConnection::sessionBus();

    QStringList seen; // "launch x", "activate x", "deactivate x", "terminate x"
    void follow(Workspace& workspace)
    {
        for (const auto& [signal, verb] :
             {std::pair{&Workspace::didLaunch, "launch "}, std::pair{&Workspace::didActivate, "activate "},
              std::pair{&Workspace::didDeactivate, "deactivate "},
              std::pair{&Workspace::didTerminate, "terminate "}})
            connect(&workspace, signal, this,
                    [this, verb = QString(verb)](const QString& id) { seen << verb + id; });
    }
    double shown(const QColor& colour)
    {
        return qMax(WaylandRig::share(rig.screenshot(0), colour),
                    WaylandRig::share(rig.screenshot(1), colour));
    }
    // The extension's own view of a window: "focused", "visible" (not minimized), "pid".
    QJsonObject window(const QString& appId)
    {
        for (const QJsonObject& window : rig.windows())
            if (window.value("app_id").toString() == appId)
                return window;
        return {};
    }
    quint64 windowId(const QString& appId)
    {
        const QDBusMessage reply = bus.call(
            QDBusMessage::createMethodCall(GnomeShellWorkspace::ServiceName, GnomeShellWorkspace::ObjectPath,
                                           GnomeShellWorkspace::Interface, "ListWindows"));
        const QDBusArgument windows = reply.arguments().value(0).value<QDBusArgument>();
        quint64 found = 0;
        windows.beginArray();
        while (!windows.atEnd()) {
            quint64 id;
            QString app;
            uint pid;
            bool focused, minimized;
            windows.beginStructure();
            windows >> id >> app >> pid >> focused >> minimized;
            windows.endStructure();
            if (app == appId)
                found = id;
        }
        windows.endArray();
        return found;
    }
    QDBusMessage callExtension(const QString& method, const QVariantList& arguments)
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(GnomeShellWorkspace::ServiceName, GnomeShellWorkspace::ObjectPath,
                                           GnomeShellWorkspace::Interface, method);
        call.setArguments(arguments);
        return bus.call(call);
    }
    QDBusMessage callShell(const QString& method)
    {
        QDBusMessage call = QDBusMessage::createMethodCall("org.gnome.Shell", "/org/gnome/Shell",
                                                           "org.gnome.Shell.Extensions", method);
        call << GnomeShellWorkspace::ExtensionUuid;
        return bus.call(call);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qgetenv("VEILMARK_RIG") == "gnome", "run under tests/wayland/gnome-session.sh");
        QVERIFY(dir.isValid());
        QVERIFY(GnomeShellWorkspace::isGnomeShell(bus));
    }

    void followsApplicationsAndHidesThem()
    {
        // A window open before the workspace exists counts as running, not as launched.
        QProcess* redClient = rig.launchClient("veilmark.test.red", red, dir.filePath("red"));
        QVERIFY2(redClient, qPrintable(rig.error()));
        // GNOME Shell focuses a new window a moment after its first frame.
        QVERIFY(WaylandRig::waitFor([&] { return window("veilmark.test.red").value("focused").toBool(); }));
        GnomeShellWorkspace workspace(bus);
        QVERIFY2(workspace.isSupported(), qPrintable(workspace.unsupportedReason()));
        QCOMPARE(workspace.runningApplications(), QStringList{"veilmark.test.red"});
        follow(workspace);

        QVERIFY2(rig.launchClient("veilmark.test.blue", blue, dir.filePath("blue")), qPrintable(rig.error()));
        QTRY_VERIFY2_WITH_TIMEOUT(seen.contains("activate veilmark.test.blue"), qPrintable(seen.join(", ")),
                                  10000);
        QCOMPARE(seen.first(), "launch veilmark.test.blue");

        // Activation from outside, then from Veilmark: one switch each, nothing in between.
        for (const bool byRig : {true, false}) {
            seen.clear();
            const QString to = byRig ? "veilmark.test.red" : "veilmark.test.blue";
            const QString from = byRig ? "veilmark.test.blue" : "veilmark.test.red";
            if (byRig)
                QVERIFY2(rig.activate(to), qPrintable(rig.error()));
            else
                workspace.activate(to);
            QTRY_COMPARE_WITH_TIMEOUT(seen, (QStringList{"deactivate " + from, "activate " + to}), 10000);
        }

        // Hidden: deactivated at once, minimized, gone from the screen.
        seen.clear();
        workspace.hide("veilmark.test.blue");
        QTRY_COMPARE_WITH_TIMEOUT(seen, QStringList{"deactivate veilmark.test.blue"}, 5000);
        QVERIFY(
            WaylandRig::waitFor([&] { return !window("veilmark.test.blue").value("visible").toBool(true); }));
        QTRY_COMPARE_WITH_TIMEOUT(shown(blue), 0.0, 10000);

        // Only the process holding Veilmark's bus name may bring a hidden window back.
        const QDBusMessage refused = callExtension("UnminimizeWindow", {windowId("veilmark.test.blue")});
        QCOMPARE(refused.errorName(), "org.veilmark.Shell1.Error.NotVeilmark");
        QVERIFY(bus.interface()->registerService("org.veilmark.Veilmark").isValid());
        workspace.unhide("veilmark.test.blue");
        QVERIFY(WaylandRig::waitFor([&] { return window("veilmark.test.blue").value("visible").toBool(); }));
        QVERIFY(bus.interface()->unregisterService("org.veilmark.Veilmark"));

        workspace.hide("veilmark.test.blue");
        QVERIFY(
            WaylandRig::waitFor([&] { return !window("veilmark.test.blue").value("visible").toBool(true); }));
        workspace.activate("veilmark.test.blue");
        QTRY_VERIFY_WITH_TIMEOUT(shown(blue) > 0.1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains("activate veilmark.test.blue"), 10000);

        // The last window gone: terminated, without a deactivation first.
        seen.clear();
        redClient->kill();
        QTRY_COMPARE_WITH_TIMEOUT(seen, QStringList{"terminate veilmark.test.red"}, 10000);
        QCOMPARE(workspace.runningApplications(), QStringList{"veilmark.test.blue"});

        // Minimized from outside with no other window to take the keyboard: focus on none.
        seen.clear();
        QCOMPARE(callExtension("MinimizeWindow", {windowId("veilmark.test.blue")}).arguments().value(0),
                 true);
        QTRY_COMPARE_WITH_TIMEOUT(seen, QStringList{"deactivate veilmark.test.blue"}, 5000);
        workspace.activate("veilmark.test.blue");
        QVERIFY(WaylandRig::waitFor([&] { return window("veilmark.test.blue").value("focused").toBool(); }));
    }

    // While the shield is up, Veilmark's windows cover the screens and take the keyboard back from
    // anything activated; only Veilmark may raise it.
    void keepsTheShieldInFront()
    {
        ColourWindow shield(green);
        shield.setTitle("veilmark shield");
        shield.resize(400, 300);
        shield.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shield));

        // Refused to anyone but the owner of Veilmark's name: with no owner, then with another one.
        QCOMPARE(callExtension("SetShield", {true, "veilmark shield"}).errorName(),
                 "org.veilmark.Shell1.Error.NotVeilmark");
        QProcess owner;
        owner.start("/usr/bin/python3", {"-c", "import dbus, time\n"
                                               "bus = dbus.SessionBus()\n"
                                               "bus.request_name('org.veilmark.Veilmark')\n"
                                               "print('owned', flush=True)\n"
                                               "time.sleep(60)\n"});
        QVERIFY(owner.waitForReadyRead(10000));
        QCOMPARE(callExtension("SetShield", {true, "veilmark shield"}).errorName(),
                 "org.veilmark.Shell1.Error.NotVeilmark");
        owner.kill();
        owner.waitForFinished();
        QTRY_VERIFY(!bus.interface()->isServiceRegistered("org.veilmark.Veilmark"));
        QVERIFY(bus.interface()->registerService("org.veilmark.Veilmark").isValid());
        QCOMPARE(callExtension("SetShield", {true, "veilmark shield"}).type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY_WITH_TIMEOUT(WaylandRig::share(rig.screenshot(0), green) > 0.95, 10000);

        QVERIFY2(rig.activate("veilmark.test.blue"), qPrintable(rig.error()));
        QTRY_VERIFY_WITH_TIMEOUT(shield.isActive(), 10000);
        QCOMPARE(window("veilmark.test.blue").value("focused").toBool(true), false);
        QVERIFY(WaylandRig::share(rig.screenshot(0), green) > 0.95);
        // The overview (Super) would show every window and take the keyboard: it does not open.
        QDBusInterface shell("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell", bus);
        shell.setProperty("OverviewActive", true);
        QTest::qWait(500);
        QVERIFY(!shell.property("OverviewActive").toBool());
        QVERIFY(shield.isActive() && WaylandRig::share(rig.screenshot(0), green) > 0.95);

        // Veilmark leaving the bus takes the shield down with it.
        QVERIFY(bus.interface()->unregisterService("org.veilmark.Veilmark"));
        QVERIFY2(rig.activate("veilmark.test.blue"), qPrintable(rig.error()));
        QVERIFY(WaylandRig::waitFor([&] { return window("veilmark.test.blue").value("focused").toBool(); }));
    }

    // The extension turned off, then removed: a running workspace loses every application and says
    // why; a new one is unsupported with what to do, and turns the extension back on where it can.
    void saysWhatIsMissing()
    {
        GnomeShellWorkspace running(bus);
        QVERIFY2(running.isSupported(), qPrintable(running.unsupportedReason()));
        follow(running);
        seen.clear();

        QCOMPARE(callShell("DisableExtension").type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(seen.contains("terminate veilmark.test.blue"));
        QVERIFY(running.runningApplications().isEmpty());
        QVERIFY(!running.isSupported());
        QVERIFY2(running.unsupportedReason().contains("stopped"), qPrintable(running.unsupportedReason()));
        QVERIFY(!running.remedy().isEmpty());

        GnomeShellWorkspace off(bus);
        QVERIFY(!off.isSupported());
        QVERIFY2(off.unsupportedReason().contains("is turned off"), qPrintable(off.unsupportedReason()));
        QSignalSpy changed(&off, &Workspace::supportChanged);
        off.applyRemedy();
        QCOMPARE(changed.count(), 1);
        QVERIFY2(off.unsupportedReason().contains("quit and reopen"), qPrintable(off.unsupportedReason()));
        QVERIFY(off.remedy().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(GnomeShellWorkspace(bus).isSupported(), 10000);
        QCOMPARE(GnomeShellWorkspace(bus).runningApplications(), QStringList{"veilmark.test.blue"});

        QCOMPARE(callShell("UninstallExtension").type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(!bus.interface()->isServiceRegistered(GnomeShellWorkspace::ServiceName));
        const GnomeShellWorkspace missing(bus);
        QVERIFY2(missing.unsupportedReason().contains("is not installed"),
                 qPrintable(missing.unsupportedReason()));
        QVERIFY(missing.remedy().isEmpty());

        // Another process holding the extension's name is not believed.
        QVERIFY(bus.interface()->registerService(GnomeShellWorkspace::ServiceName).isValid());
        const GnomeShellWorkspace impostor(bus);
        QVERIFY(!impostor.isSupported());
        QVERIFY2(impostor.unsupportedReason().contains("other than GNOME Shell"),
                 qPrintable(impostor.unsupportedReason()));
    }
};

QTEST_MAIN(TestGnomeShellWorkspace)
#include "TestGnomeShellWorkspace.moc"
