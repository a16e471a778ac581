#include "ChildProcesses.h"
#include "platform/linux/LogindSystemEvents.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

// Runs the events against python-dbusmock on private system (logind) and session (GNOME and freedesktop
// screen savers) buses; every process started here dies with the test. A signal a mock emits while it handles
// a call from this process arrives before the call's reply: once the call has returned and the posted events
// are delivered, every signal it caused has been handled, so a test can see that a signal changed nothing.

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString kFreedesktopScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kGnomeScreenSaver = QStringLiteral("org.gnome.ScreenSaver");
const QString kDbusDaemon = QStringLiteral("/usr/bin/dbus-daemon");
constexpr int kWaitMs = 10000;

// logind with three sessions of one user (c1 active, c2 and c3 not) and real logind's session lookups: the
// caller's session by PID, any session by id, and "auto" for the caller's or else the user's graphical one,
// each under its own object path. All is in place before the first call.
const char kLogindTemplate[] = R"(
import dbus
from dbusmock import MOCK_IFACE
from dbusmock.mockobject import objects
from dbusmock.templates import logind
from dbusmock.templates.logind import (BUS_NAME, MAIN_OBJ, MAIN_IFACE, SYSTEM_BUS, AddSeat, AddSession,
                                       AddUser, Inhibit, ListInhibitors, ListSessions, ListUsers)


def session(name):
    path = '/org/freedesktop/login1/session/' + name
    if not name or path not in objects:
        raise dbus.exceptions.DBusException('No session %r' % name, name='org.freedesktop.login1.NoSuchSession')
    return dbus.ObjectPath(path)


# "what who mode" of each inhibitor handed out and not yet seen closed.
@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def Inhibitors(self):
    return [' '.join((what, who, mode)) for what, who, _, mode, _, _ in ListInhibitors(self)]


def load(mock, parameters):
    logind.load(mock, parameters)
    for name in ('c1', 'c2', 'c3'):
        mock.AddSession(name, 'seat0', dbus.UInt32(1000), 'user', name == 'c1')
    mock.session = session
    mock.own_pid = int(parameters['pid'])
    # Which session GetSessionByPID names for the test process, and which one "auto" means; '' for none.
    mock.own_session = mock.auto_session = 'c1'
    mock.AddMethod(MOCK_IFACE, 'SetSessionLookups', 'ss', '', 'self.own_session, self.auto_session = args')
    mock.AddMethods(MAIN_IFACE, [
        ('GetSessionByPID', 'u', 'o', 'ret = self.session(self.own_session if args[0] == self.own_pid else "")'),
        ('GetSession', 's', 'o', 'ret = self.session(self.auto_session if args[0] == "auto" else args[0])'),
    ])
)";

QString sessionPath(const QString& id)
{
    return QStringLiteral("/org/freedesktop/login1/session/") + id;
}

// The reply to the call, or none if it failed.
std::optional<QDBusMessage> call(QDBusConnection bus, const QString& service, const QString& path,
                                 const QString& interface, const QString& method,
                                 const QVariantList& arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    message = bus.call(message, QDBus::Block, 5000);
    return message.type() == QDBusMessage::ReplyMessage ? std::optional(message) : std::nullopt;
}

bool isRegistered(QDBusConnection bus, const QString& service)
{
    return bus.interface()->isServiceRegistered(service).value();
}

} // namespace

class TestLogindSystemEvents : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_systemBus;
    QProcess m_sessionBus;
    QProcess m_logind;
    QProcess m_gnomeScreenSaver;
    QProcess m_freedesktopScreenSaver;
    QByteArray m_systemBusAddress;
    // What the events under test emitted, in order: S goingToSleep, W sessionSwitched, L screenLocked, E
    // sessionEnding.
    QByteArray m_emitted;

    // A bus of the test's own (the session configuration lets everyone in); it prints its address.
    QByteArray startBus(QProcess& bus)
    {
        dieWithTest(bus);
        bus.start(kDbusDaemon,
                  {"--session", "--nofork", "--print-address=1", "--address=unix:dir=" + m_dir.path()});
        while (!bus.canReadLine() && bus.waitForReadyRead(kWaitMs)) {
        }
        return bus.readLine().trimmed();
    }
    bool startMock(QProcess& mock, const QStringList& arguments, QDBusConnection bus, const QString& service)
    {
        dieWithTest(mock);
        mock.setProcessChannelMode(QProcess::MergedChannels);
        mock.setStandardOutputFile(m_dir.filePath(service + ".log"), QIODevice::Append);
        mock.start("/usr/bin/python3", QStringList{"-m", "dbusmock"} + arguments);
        return mock.waitForStarted() && QTest::qWaitFor([&] { return isRegistered(bus, service); }, kWaitMs);
    }
    // Starts or stops the logind mock and waits until the bus has seen it come or go.
    bool runLogind(bool run)
    {
        if (!run)
            stop(m_logind);
        const QString parameters = QStringLiteral(R"({"pid": %1})").arg(QCoreApplication::applicationPid());
        QDBusConnection bus = QDBusConnection::systemBus();
        return run ? startMock(m_logind,
                               {"--system", "--template", m_dir.filePath("logind_sessions.py"),
                                "--parameters", parameters},
                               bus, kLogind)
                   : QTest::qWaitFor([&] { return !isRegistered(bus, kLogind); }, kWaitMs);
    }
    bool logind(const QString& path, const QString& interface, const QString& method,
                const QVariantList& arguments = {})
    {
        return call(QDBusConnection::systemBus(), kLogind, path, interface, method, arguments).has_value();
    }
    bool emitManagerSignal(const QString& name, const QString& signature, const QVariantList& arguments)
    {
        return logind(kManagerPath, kMockInterface, "EmitSignal",
                      {kManagerInterface, name, signature, arguments});
    }
    bool emitPrepareForSleep(bool preparing)
    {
        return emitManagerSignal("PrepareForSleep", "b", {preparing});
    }
    bool removeSession(const QString& id)
    {
        return emitManagerSignal("SessionRemoved", "so",
                                 {id, QVariant::fromValue(QDBusObjectPath(sessionPath(id)))});
    }
    // As logind announces it: PropertiesChanged of the session with the new value.
    bool setSessionProperty(const QString& id, const QString& name, bool value)
    {
        return logind(sessionPath(id), kMockInterface, "UpdateProperties",
                      {kSessionInterface, QVariantMap{{name, value}}});
    }
    bool setSessionActive(const QString& id, bool active) { return setSessionProperty(id, "Active", active); }
    bool lockSession(const QString& id) { return logind(sessionPath(id), kSessionInterface, "Lock"); }
    // The GNOME template's own SetActive announces the change with ActiveChanged; the freedesktop mock
    // announces it on `path`.
    bool setScreenSaverActive(const QString& service, bool active,
                              const QString& path = "/org/freedesktop/ScreenSaver")
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (service == kGnomeScreenSaver)
            return call(bus, service, "/org/gnome/ScreenSaver", service, "SetActive", {active}).has_value();
        return call(bus, service, "/org/freedesktop/ScreenSaver", kMockInterface, "EmitSignalDetailed",
                    {service, "ActiveChanged", "b", QVariantList{active}, QVariantMap{{"path", path}}})
            .has_value();
    }
    QStringList inhibitors()
    {
        const auto reply =
            call(QDBusConnection::systemBus(), kLogind, kManagerPath, kMockInterface, "Inhibitors");
        return reply ? reply->arguments().value(0).toStringList() : QStringList{"(no answer)"};
    }
    // Records what `events` emits, starts them and waits until logind has handed out the inhibitor and named
    // the session.
    bool start(LogindSystemEvents& events, bool awaitLogind = true)
    {
        m_emitted.clear();
        connect(&events, &SystemEvents::goingToSleep, this, [this] { m_emitted += 'S'; });
        connect(&events, &SystemEvents::sessionSwitched, this, [this] { m_emitted += 'W'; });
        connect(&events, &SystemEvents::screenLocked, this, [this] { m_emitted += 'L'; });
        connect(&events, &SystemEvents::sessionEnding, this, [this] { m_emitted += 'E'; });
        events.start();
        return !awaitLogind ||
               QTest::qWaitFor(
                   [&] { return events.holdsSleepInhibitor() && !events.sessionPath().isEmpty(); }, kWaitMs);
    }
    // What was emitted once the signals that have reached this process are handed to their receivers.
    QByteArray emitted()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return m_emitted;
    }

private slots:
    void initTestCase()
    {
        if (!QFileInfo(kDbusDaemon).isExecutable() ||
            QProcess::execute("/usr/bin/python3", {"-c", "import dbusmock"}) != 0)
            QSKIP("needs dbus-daemon and python3-dbusmock");
        QVERIFY(m_dir.isValid());
        m_systemBusAddress = startBus(m_systemBus);
        const QByteArray sessionBusAddress = startBus(m_sessionBus);
        QVERIFY(!m_systemBusAddress.isEmpty() && !sessionBusAddress.isEmpty());
        // Before QDBusConnection::systemBus() or sessionBus() connects, once per process.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_systemBusAddress);
        qputenv("DBUS_SESSION_BUS_ADDRESS", sessionBusAddress);

        QFile logindTemplate(m_dir.filePath("logind_sessions.py"));
        QVERIFY(logindTemplate.open(QIODevice::WriteOnly) && logindTemplate.write(kLogindTemplate) > 0);
        logindTemplate.close();
        QVERIFY(startMock(m_gnomeScreenSaver, {"--session", "--template", "gnome_screensaver"},
                          QDBusConnection::sessionBus(), kGnomeScreenSaver));
    }

    void init()
    {
        if (m_logind.state() == QProcess::NotRunning)
            QVERIFY(runLogind(true));
        qunsetenv("XDG_SESSION_ID");
        QVERIFY(logind(kManagerPath, kMockInterface, "SetSessionLookups", {"c1", "c1"}));
        // The events of the previous test are gone; logind notices their inhibitor closing by itself.
        QTRY_COMPARE_WITH_TIMEOUT(inhibitors(), QStringList(), kWaitMs);
    }

    void cleanupTestCase()
    {
        for (QProcess* process :
             {&m_freedesktopScreenSaver, &m_gnomeScreenSaver, &m_logind, &m_sessionBus, &m_systemBus})
            stop(*process);
    }

    // Sleep waits until the handlers have relocked, and resuming takes the inhibitor again. Only logind's own
    // signals count: a fake PrepareForSleep from any other client would give the inhibitor away. No logind at
    // start is no error, and an inhibitor belongs to the logind that handed it out.
    void sleepWaitsForTheRelockWhenLogindAnnouncesIt()
    {
        QVERIFY(runLogind(false));
        LogindSystemEvents events;
        bool heldWhileHandled = false;
        connect(&events, &SystemEvents::goingToSleep, this,
                [&] { heldWhileHandled = events.holdsSleepInhibitor() && inhibitors().size() == 1; });
        QVERIFY(start(events, false));
        QVERIFY(runLogind(true));
        QTRY_VERIFY_WITH_TIMEOUT(events.holdsSleepInhibitor(), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(events.sessionPath(), sessionPath("c1"), kWaitMs);
        QCOMPARE(inhibitors(), QStringList{"sleep Veilmark delay"});

        QDBusConnection intruder =
            QDBusConnection::connectToBus(QString::fromUtf8(m_systemBusAddress), "fake");
        QDBusMessage sleep = QDBusMessage::createSignal(kManagerPath, kManagerInterface, "PrepareForSleep");
        QDBusMessage inactive = QDBusMessage::createSignal(
            events.sessionPath(), "org.freedesktop.DBus.Properties", "PropertiesChanged");
        QVERIFY(
            intruder.send(sleep << true) &&
            intruder.send(inactive << kSessionInterface << QVariantMap{{"Active", false}} << QStringList{}));
        // The bus passes the fakes on before this call, so logind's Lock signal comes after them.
        QVERIFY(call(intruder, kLogind, events.sessionPath(), kSessionInterface, "Lock"));
        // A resume without a sleep neither emits nor asks for a second inhibitor.
        QVERIFY(emitPrepareForSleep(false));
        QTRY_COMPARE_WITH_TIMEOUT(emitted(), "L", kWaitMs);
        QCOMPARE(inhibitors().size(), 1);

        // Started while the inhibitor is held, as an application launched from Veilmark would be.
        QProcess child;
        dieWithTest(child);
        child.start("/bin/cat", QStringList{});
        QVERIFY(child.waitForStarted());
        for (const QByteArray sleeps : {"LS", "LSS"}) {
            heldWhileHandled = false;
            QVERIFY(emitPrepareForSleep(true));
            QTRY_COMPARE_WITH_TIMEOUT(emitted(), sleeps, kWaitMs);
            // Held while the handlers relock; closed for real afterwards, the child holding no copy.
            QVERIFY(heldWhileHandled && !events.holdsSleepInhibitor());
            QTRY_COMPARE_WITH_TIMEOUT(inhibitors(), QStringList(), kWaitMs);
            QVERIFY(emitPrepareForSleep(false));
            QTRY_VERIFY_WITH_TIMEOUT(events.holdsSleepInhibitor(), kWaitMs);
            QCOMPARE(inhibitors().size(), 1);
        }
        QCOMPARE(child.state(), QProcess::Running);

        // A restarted logind hands out a new inhibitor, and the session is still followed.
        QVERIFY(runLogind(false));
        QTRY_VERIFY_WITH_TIMEOUT(!events.holdsSleepInhibitor(), kWaitMs);
        QVERIFY(runLogind(true));
        QTRY_VERIFY_WITH_TIMEOUT(events.holdsSleepInhibitor(), kWaitMs);
        QCOMPARE(inhibitors().size(), 1);
        QVERIFY(setSessionActive("c1", false) && emitPrepareForSleep(true));
        QTRY_COMPARE_WITH_TIMEOUT(emitted(), "LSSWS", kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(inhibitors(), QStringList(), kWaitMs);
    }

    // XDG_SESSION_ID ("" for none), the session logind names for this process, the session to follow, another
    // session of the user on the same seat.
    void followsOwnSession_data()
    {
        QTest::addColumn<QStringList>("sessions");
        QTest::newRow("process session comes first") << QStringList{"c2", "c1", "c1", "c2"};
        // Started by the user's service manager, the process is in no session; the environment names it.
        QTest::newRow("environment without process session") << QStringList{"c2", "", "c2", "c1"};
        // logind's "auto" resolves to a real session, whose real path is the one its signals come from.
        QTest::newRow("automatic, no XDG_SESSION_ID") << QStringList{"", "", "c3", "c1"};
        QTest::newRow("automatic, unknown XDG_SESSION_ID") << QStringList{"c9", "", "c3", "c1"};
    }

    void followsOwnSession()
    {
        QFETCH(QStringList, sessions);
        const QString own = sessions[2], other = sessions[3];
        if (!sessions[0].isEmpty())
            qputenv("XDG_SESSION_ID", sessions[0].toUtf8());
        QVERIFY(logind(kManagerPath, kMockInterface, "SetSessionLookups", {sessions[1], "c3"}));
        LogindSystemEvents events;
        QVERIFY(start(events));
        QCOMPARE(events.sessionPath(), sessionPath(own));

        // Another session says nothing about this one; nor do other properties of this one, or Active staying
        // true.
        QVERIFY(setSessionActive(other, true) && setSessionActive(other, false) && lockSession(other));
        QVERIFY(setSessionProperty(own, "IdleHint", true) && setSessionActive(own, true));
        QCOMPARE(emitted(), "");

        // Coming back is no switch; the next switch away counts again.
        QVERIFY(lockSession(own) && setSessionActive(own, false));
        QVERIFY(setSessionActive(own, true) && setSessionActive(own, false));
        QTRY_COMPARE_WITH_TIMEOUT(emitted(), "LWW", kWaitMs);

        // Another session's end and a shutdown called off end nothing; its own end and a shutdown do.
        QVERIFY(removeSession(other) && emitManagerSignal("PrepareForShutdown", "b", {false}));
        QCOMPARE(emitted(), "LWW");
        QVERIFY(removeSession(own) && emitManagerSignal("PrepareForShutdown", "b", {true}));
        QTRY_COMPARE_WITH_TIMEOUT(emitted(), "LWWEE", kWaitMs);
    }

    // One lock counts once per announcing screen saver, however many paths it announces it on (KDE uses both
    // freedesktop paths); a screen saver that starts after the events is heard as well, and one screen
    // saver's lock is heard while another one is active.
    void screenSaversLockTheScreen()
    {
        LogindSystemEvents events;
        QVERIFY(start(events));
        QVERIFY(startMock(
            m_freedesktopScreenSaver,
            {"--session", kFreedesktopScreenSaver, "/org/freedesktop/ScreenSaver", kFreedesktopScreenSaver},
            QDBusConnection::sessionBus(), kFreedesktopScreenSaver));

        QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, true));
        QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, true, "/ScreenSaver"));
        QCOMPARE(emitted(), "L");
        QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, false));
        QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, true, "/ScreenSaver"));
        QCOMPARE(emitted(), "LL");

        QVERIFY(setScreenSaverActive(kGnomeScreenSaver, true));
        QTRY_COMPARE_WITH_TIMEOUT(emitted(), "LLL", kWaitMs);
        // ... and its end ends only its own lock.
        QVERIFY(setScreenSaverActive(kGnomeScreenSaver, false));
        QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, true));
        QCOMPARE(emitted(), "LLL");
    }
};

QTEST_GUILESS_MAIN(TestLogindSystemEvents)
#include "TestLogindSystemEvents.moc"
