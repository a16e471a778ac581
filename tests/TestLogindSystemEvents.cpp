#include "ChildProcesses.h"
#include "platform/linux/LogindSystemEvents.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <optional>
#include <sys/prctl.h>

// Runs the events against python-dbusmock on a private system bus (logind) and a private session bus
// (the GNOME screen saver template and a plain mock of org.freedesktop.ScreenSaver). Every process
// started here dies with the test.
//
// Signals a mock emits reach this process in the order it emits them, and a signal emitted while the
// mock handles a call from this process's connection arrives before that call's reply. So once such a
// call has returned and the posted events are delivered, every signal it caused has been handled: that
// is how the tests see that a signal changed nothing.

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString kFreedesktopScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kFreedesktopPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kGnomeScreenSaver = QStringLiteral("org.gnome.ScreenSaver");
const QString kGnomePath = QStringLiteral("/org/gnome/ScreenSaver");
const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kDbusDaemon = QStringLiteral("/usr/bin/dbus-daemon");
// Set in the copy of this test that runs without any bus.
const char kWithoutBusesVariable[] = "VEILMARK_TEST_WITHOUT_BUSES";
constexpr int kCallTimeoutMs = 5000;
constexpr int kWaitMs = 10000;

// logind with three sessions of the running user (c1 active, c2 and c3 not) and the session lookups
// the stock template lacks. Everything is in place before the mock answers its first call, so a
// client that sees logind appear never meets a half-made one.
const char kLogindTemplate[] = R"(
import os
import pwd

import dbus

from dbusmock import MOCK_IFACE
from dbusmock.templates import logind
from dbusmock.templates.logind import (BUS_NAME, MAIN_OBJ, MAIN_IFACE, SYSTEM_BUS, AddSeat, AddSession,
                                       AddUser, Inhibit, ListInhibitors, ListSessions, ListUsers)

# Real logind's answers: the caller's session by PID, any session by id, and "auto" for the caller's or
# else the user's graphical session, each under its own object path.
GET_SESSION_BY_PID = '''
if not self.own_session or args[0] != self.own_pid:
    raise dbus.exceptions.DBusException('PID %d does not belong to any known session' % args[0],
                                        name='org.freedesktop.login1.NoSessionForPID')
ret = dbus.ObjectPath('/org/freedesktop/login1/session/' + self.own_session)
'''

GET_SESSION = '''
name = self.auto_session if args[0] == 'auto' else args[0]
path = '/org/freedesktop/login1/session/' + name
if not name or path not in objects:
    raise dbus.exceptions.DBusException('No session %r known' % args[0],
                                        name='org.freedesktop.login1.NoSuchSession')
ret = dbus.ObjectPath(path)
'''


def load(mock, parameters):
    logind.load(mock, parameters)
    uid = os.getuid()
    user = pwd.getpwuid(uid).pw_name
    mock.AddSession('c1', 'seat0', dbus.UInt32(uid), user, True)
    mock.AddSession('c2', 'seat0', dbus.UInt32(uid), user, False)
    mock.AddSession('c3', 'seat0', dbus.UInt32(uid), user, False)
    mock.own_pid = int(parameters['pid'])
    mock.own_session = 'c1'
    mock.auto_session = 'c1'
    mock.AddMethods(MAIN_IFACE, [
        ('GetSessionByPID', 'u', 'o', GET_SESSION_BY_PID),
        ('GetSession', 's', 'o', GET_SESSION),
    ])
    # Which session GetSessionByPID names for the test process, and which one "auto" means; '' for none.
    mock.AddMethod(MOCK_IFACE, 'SetSessionLookups', 'ss', '',
                   'self.own_session = args[0]; self.auto_session = args[1]')
)";

QString sessionPath(const QString& id)
{
    return QStringLiteral("/org/freedesktop/login1/session/") + id;
}

QDBusMessage call(QDBusConnection bus, const QString& service, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, kCallTimeoutMs);
}

bool succeeded(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qWarning() << reply.errorName() << reply.errorMessage();
        return false;
    }
    return true;
}

bool isRegistered(QDBusConnection bus, const QString& service)
{
    return bus.interface()->isServiceRegistered(service).value();
}

// Hands the signals that have reached this process to their receivers.
void deliverArrivedSignals()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

} // namespace

class TestLogindSystemEvents : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void takesDelayInhibitorAtStart();
    void sleepWaitsUntilHandled();
    void resumeTakesInhibitorAgain();
    void resumeWithoutSleepChangesNothing();
    void childProcessesDoNotHoldUpSleep();
    void othersCannotAnnounceSleepOrSwitch();
    void sessionGoingInactiveIsSwitch();
    void sessionLockLocksScreen();
    void otherSessionsAreIgnored();
    void screenSaverActivationLocksScreen_data();
    void screenSaverActivationLocksScreen();
    void oneLockOnSeveralPathsCountsOnce();
    void screenSaverStartingLaterIsHeard();
    void processSessionComesFirst();
    void environmentSessionWithoutProcessSession();
    void automaticSessionAsLastResort_data();
    void automaticSessionAsLastResort();
    void logindStartingLaterIsFollowed();
    void logindRestartRenewsInhibitor();
    void withoutBusesNothingHappens();

private:
    bool startBus(QProcess& bus, const QString& type, QByteArray& address);
    bool startMock(QProcess& mock, const QString& log, const QStringList& arguments, QDBusConnection bus,
                   const QString& service);
    bool startLogind();
    bool stopLogind();
    bool startFreedesktopScreenSaver();
    bool stopFreedesktopScreenSaver();
    bool setSessionLookups(const QString& processSession, const QString& automaticSession);
    bool emitPrepareForSleep(bool preparing);
    bool setSessionActive(const QString& id, bool active);
    bool lockSession(const QString& id);
    bool setScreenSaverActive(const QString& service, const QString& path, bool active);
    std::optional<QList<QStringList>> inhibitors();
    int inhibitorCount();
    bool start(LogindSystemEvents& events);
    QList<qsizetype> emissions() const;

    bool m_withoutBuses = false;
    QTemporaryDir m_dir;
    QProcess m_systemBus;
    QProcess m_sessionBus;
    QProcess m_logind;
    QProcess m_gnomeScreenSaver;
    QProcess m_freedesktopScreenSaver;
    QByteArray m_systemBusAddress;
    // goingToSleep, sessionSwitched and screenLocked of the events under test.
    std::unique_ptr<QSignalSpy> m_sleeps;
    std::unique_ptr<QSignalSpy> m_switches;
    std::unique_ptr<QSignalSpy> m_locks;
};

void TestLogindSystemEvents::initTestCase()
{
    m_withoutBuses = qEnvironmentVariableIsSet(kWithoutBusesVariable);
    if (m_withoutBuses) {
        return;
    }
    for (const QString& program : {kDbusDaemon, kPython}) {
        if (!QFileInfo(program).isExecutable()) {
            QSKIP(qPrintable(program + QLatin1String(" is not installed")));
        }
    }
    if (QProcess::execute(kPython, {QStringLiteral("-c"), QStringLiteral("import dbusmock, gi")}) != 0) {
        QSKIP("python3-dbusmock is not installed for /usr/bin/python3");
    }
    QVERIFY(m_dir.isValid());
    qunsetenv("XDG_SESSION_ID");

    QByteArray sessionBusAddress;
    QVERIFY(startBus(m_systemBus, QStringLiteral("system"), m_systemBusAddress));
    QVERIFY(startBus(m_sessionBus, QStringLiteral("session"), sessionBusAddress));
    // Before anything touches QDBusConnection::systemBus() or sessionBus(), which connect once per process.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_systemBusAddress);
    qputenv("DBUS_SESSION_BUS_ADDRESS", sessionBusAddress);
    QVERIFY(QDBusConnection::systemBus().isConnected());
    QVERIFY(QDBusConnection::sessionBus().isConnected());

    QFile logindTemplate(m_dir.filePath(QStringLiteral("logind_sessions.py")));
    QVERIFY(logindTemplate.open(QIODevice::WriteOnly));
    logindTemplate.write(kLogindTemplate);
    logindTemplate.close();

    QVERIFY(startLogind());
    QVERIFY(startMock(
        m_gnomeScreenSaver, QStringLiteral("gnome-screensaver.log"),
        {QStringLiteral("--session"), QStringLiteral("--template"), QStringLiteral("gnome_screensaver")},
        QDBusConnection::sessionBus(), kGnomeScreenSaver));
    QVERIFY(startFreedesktopScreenSaver());
}

void TestLogindSystemEvents::init()
{
    if (m_withoutBuses) {
        if (QByteArray(QTest::currentTestFunction()) != "withoutBusesNothingHappens") {
            QSKIP("only the test without buses runs without buses");
        }
        return;
    }
    if (m_logind.state() == QProcess::NotRunning) {
        QVERIFY(startLogind());
    }
    if (m_freedesktopScreenSaver.state() == QProcess::NotRunning) {
        QVERIFY(startFreedesktopScreenSaver());
    }
    qunsetenv("XDG_SESSION_ID");
    QVERIFY(setSessionLookups(QStringLiteral("c1"), QStringLiteral("c1")));
    for (const QString& id : {QStringLiteral("c1"), QStringLiteral("c2"), QStringLiteral("c3")}) {
        QVERIFY(setSessionActive(id, id == QLatin1String("c1")));
    }
    QVERIFY(setScreenSaverActive(kGnomeScreenSaver, kGnomePath, false));
    // The events of the previous test are gone; logind notices their inhibitor closing by itself.
    QTRY_COMPARE_WITH_TIMEOUT(inhibitorCount(), 0, kWaitMs);
}

void TestLogindSystemEvents::cleanup()
{
    m_sleeps.reset();
    m_switches.reset();
    m_locks.reset();
}

void TestLogindSystemEvents::cleanupTestCase()
{
    stop(m_freedesktopScreenSaver);
    stop(m_gnomeScreenSaver);
    stop(m_logind);
    stop(m_sessionBus);
    stop(m_systemBus);
}

// A bus of the test's own, open to everyone; its address is printed once it listens.
bool TestLogindSystemEvents::startBus(QProcess& bus, const QString& type, QByteArray& address)
{
    const QString socket = m_dir.filePath(type + QLatin1String("_bus_socket"));
    QFile config(m_dir.filePath(type + QLatin1String("-bus.conf")));
    if (!config.open(QIODevice::WriteOnly)) {
        return false;
    }
    config.write(
        QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>%1</type>
  <listen>unix:path=%2</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
)")
            .arg(type, socket)
            .toUtf8());
    config.close();

    dieWithTest(bus);
    bus.start(kDbusDaemon, {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address=1")});
    if (!bus.waitForStarted()) {
        qWarning() << "dbus-daemon:" << bus.errorString();
        return false;
    }
    while (!bus.canReadLine() && bus.waitForReadyRead(kWaitMs)) {
    }
    address = bus.readLine().trimmed();
    return !address.isEmpty();
}

bool TestLogindSystemEvents::startMock(QProcess& mock, const QString& log, const QStringList& arguments,
                                       QDBusConnection bus, const QString& service)
{
    dieWithTest(mock);
    mock.setStandardOutputFile(m_dir.filePath(log), QIODevice::Append);
    mock.setStandardErrorFile(m_dir.filePath(log), QIODevice::Append);
    mock.start(kPython, QStringList{QStringLiteral("-m"), QStringLiteral("dbusmock")} + arguments);
    if (!mock.waitForStarted()) {
        qWarning() << service << mock.errorString();
        return false;
    }
    return QTest::qWaitFor([&] { return isRegistered(bus, service); }, kWaitMs);
}

bool TestLogindSystemEvents::startLogind()
{
    const QString parameters = QStringLiteral(R"({"pid": %1})").arg(QCoreApplication::applicationPid());
    return startMock(m_logind, QStringLiteral("logind.log"),
                     {QStringLiteral("--system"), QStringLiteral("--template"),
                      m_dir.filePath(QStringLiteral("logind_sessions.py")), QStringLiteral("--parameters"),
                      parameters},
                     QDBusConnection::systemBus(), kLogind);
}

bool TestLogindSystemEvents::stopLogind()
{
    stop(m_logind);
    return QTest::qWaitFor([] { return !isRegistered(QDBusConnection::systemBus(), kLogind); }, kWaitMs);
}

bool TestLogindSystemEvents::startFreedesktopScreenSaver()
{
    return startMock(
        m_freedesktopScreenSaver, QStringLiteral("freedesktop-screensaver.log"),
        {QStringLiteral("--session"), kFreedesktopScreenSaver, kFreedesktopPath, kFreedesktopScreenSaver},
        QDBusConnection::sessionBus(), kFreedesktopScreenSaver);
}

bool TestLogindSystemEvents::stopFreedesktopScreenSaver()
{
    stop(m_freedesktopScreenSaver);
    return QTest::qWaitFor(
        [] { return !isRegistered(QDBusConnection::sessionBus(), kFreedesktopScreenSaver); }, kWaitMs);
}

bool TestLogindSystemEvents::setSessionLookups(const QString& processSession, const QString& automaticSession)
{
    return succeeded(call(QDBusConnection::systemBus(), kLogind, kManagerPath, kMockInterface,
                          QStringLiteral("SetSessionLookups"), {processSession, automaticSession}));
}

bool TestLogindSystemEvents::emitPrepareForSleep(bool preparing)
{
    return succeeded(call(QDBusConnection::systemBus(), kLogind, kManagerPath, kMockInterface,
                          QStringLiteral("EmitSignal"),
                          {kManagerInterface, QStringLiteral("PrepareForSleep"), QStringLiteral("b"),
                           QVariantList{preparing}}));
}

// As logind announces it: PropertiesChanged of the session with the new value.
bool TestLogindSystemEvents::setSessionActive(const QString& id, bool active)
{
    return succeeded(call(QDBusConnection::systemBus(), kLogind, sessionPath(id), kMockInterface,
                          QStringLiteral("UpdateProperties"),
                          {kSessionInterface, QVariantMap{{QStringLiteral("Active"), active}}}));
}

// The session's Lock method emits its Lock signal, as `loginctl lock-session` makes logind do.
bool TestLogindSystemEvents::lockSession(const QString& id)
{
    return succeeded(call(QDBusConnection::systemBus(), kLogind, sessionPath(id), kSessionInterface,
                          QStringLiteral("Lock")));
}

bool TestLogindSystemEvents::setScreenSaverActive(const QString& service, const QString& path, bool active)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (service == kGnomeScreenSaver) {
        // The template's own SetActive announces the change with ActiveChanged.
        return succeeded(call(bus, service, path, service, QStringLiteral("SetActive"), {active}));
    }
    return succeeded(call(bus, service, kFreedesktopPath, kMockInterface,
                          QStringLiteral("EmitSignalDetailed"),
                          {service, QStringLiteral("ActiveChanged"), QStringLiteral("b"),
                           QVariantList{active}, QVariantMap{{QStringLiteral("path"), path}}}));
}

// what, who, why and mode of each inhibitor the logind mock has handed out and not yet seen closed;
// nothing when it cannot be asked.
std::optional<QList<QStringList>> TestLogindSystemEvents::inhibitors()
{
    const QDBusMessage reply = call(QDBusConnection::systemBus(), kLogind, kManagerPath, kManagerInterface,
                                    QStringLiteral("ListInhibitors"));
    if (!succeeded(reply) || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    QList<QStringList> result;
    const QDBusArgument list = reply.arguments().constFirst().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString what;
        QString who;
        QString why;
        QString mode;
        uint uid = 0;
        uint pid = 0;
        list.beginStructure();
        list >> what >> who >> why >> mode >> uid >> pid;
        list.endStructure();
        result.append({what, who, why, mode});
    }
    list.endArray();
    return result;
}

int TestLogindSystemEvents::inhibitorCount()
{
    const std::optional<QList<QStringList>> listed = inhibitors();
    return listed ? static_cast<int>(listed->size()) : -1;
}

// Starts the events and waits until logind has handed out the inhibitor and named the session.
bool TestLogindSystemEvents::start(LogindSystemEvents& events)
{
    m_sleeps = std::make_unique<QSignalSpy>(&events, &SystemEvents::goingToSleep);
    m_switches = std::make_unique<QSignalSpy>(&events, &SystemEvents::sessionSwitched);
    m_locks = std::make_unique<QSignalSpy>(&events, &SystemEvents::screenLocked);
    events.start();
    if (m_withoutBuses) {
        return true;
    }
    return QTest::qWaitFor([&] { return events.holdsSleepInhibitor() && !events.sessionPath().isEmpty(); },
                           kWaitMs);
}

QList<qsizetype> TestLogindSystemEvents::emissions() const
{
    return {m_sleeps->count(), m_switches->count(), m_locks->count()};
}

using Emissions = QList<qsizetype>;

void TestLogindSystemEvents::takesDelayInhibitorAtStart()
{
    LogindSystemEvents events;
    QVERIFY(!events.holdsSleepInhibitor());
    QVERIFY(start(events));

    const std::optional<QList<QStringList>> listed = inhibitors();
    QVERIFY(listed);
    QCOMPARE(listed->size(), 1);
    const QStringList inhibitor = listed->constFirst();
    QCOMPARE(inhibitor.at(0), QStringLiteral("sleep"));
    QCOMPARE(inhibitor.at(1), QStringLiteral("Veilmark"));
    QVERIFY(!inhibitor.at(2).isEmpty());
    QCOMPARE(inhibitor.at(3), QStringLiteral("delay"));
    QCOMPARE(emissions(), Emissions({0, 0, 0}));
}

void TestLogindSystemEvents::sleepWaitsUntilHandled()
{
    LogindSystemEvents events;
    bool heldWhileHandled = false;
    int listedWhileHandled = -1;
    connect(&events, &SystemEvents::goingToSleep, this, [&] {
        heldWhileHandled = events.holdsSleepInhibitor();
        listedWhileHandled = inhibitorCount();
    });
    QVERIFY(start(events));

    QVERIFY(emitPrepareForSleep(true));
    QTRY_COMPARE_WITH_TIMEOUT(m_sleeps->count(), 1, kWaitMs);
    QVERIFY(heldWhileHandled);
    QCOMPARE(listedWhileHandled, 1);
    QVERIFY(!events.holdsSleepInhibitor());
    // Closed for real: logind sees the inhibitor go and lets the computer sleep.
    QTRY_COMPARE_WITH_TIMEOUT(inhibitorCount(), 0, kWaitMs);
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({1, 0, 0}));
}

void TestLogindSystemEvents::resumeTakesInhibitorAgain()
{
    LogindSystemEvents events;
    QVERIFY(start(events));
    QVERIFY(emitPrepareForSleep(true));
    QTRY_COMPARE_WITH_TIMEOUT(m_sleeps->count(), 1, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(inhibitorCount(), 0, kWaitMs);

    QVERIFY(emitPrepareForSleep(false));
    QTRY_VERIFY_WITH_TIMEOUT(events.holdsSleepInhibitor(), kWaitMs);
    QCOMPARE(inhibitorCount(), 1);
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({1, 0, 0}));

    // And the next sleep waits again.
    QVERIFY(emitPrepareForSleep(true));
    QTRY_COMPARE_WITH_TIMEOUT(m_sleeps->count(), 2, kWaitMs);
    QVERIFY(!events.holdsSleepInhibitor());
    QTRY_COMPARE_WITH_TIMEOUT(inhibitorCount(), 0, kWaitMs);
}

void TestLogindSystemEvents::resumeWithoutSleepChangesNothing()
{
    LogindSystemEvents events;
    QVERIFY(start(events));

    QVERIFY(emitPrepareForSleep(false));
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 0}));
    QVERIFY(events.holdsSleepInhibitor());
    // A second inhibitor would have been asked for before this question.
    QCOMPARE(inhibitorCount(), 1);
}

void TestLogindSystemEvents::childProcessesDoNotHoldUpSleep()
{
    LogindSystemEvents events;
    QVERIFY(start(events));
    // Started while the inhibitor is held, as an application launched from Veilmark would be.
    QProcess child;
    dieWithTest(child);
    child.start(QStringLiteral("/bin/cat"), QStringList{});
    QVERIFY(child.waitForStarted());

    QVERIFY(emitPrepareForSleep(true));
    QTRY_COMPARE_WITH_TIMEOUT(m_sleeps->count(), 1, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(inhibitorCount(), 0, kWaitMs);
    QVERIFY(child.state() == QProcess::Running);
    child.closeWriteChannel();
    QVERIFY(child.waitForFinished(kWaitMs));
}

// Any system bus client can send a signal that looks like logind's; only logind's own count. A
// fake PrepareForSleep would give the inhibitor away, and a real sleep would then no longer wait.
void TestLogindSystemEvents::othersCannotAnnounceSleepOrSwitch()
{
    LogindSystemEvents events;
    QVERIFY(start(events));
    const QString name = QStringLiteral("intruder");
    {
        QDBusConnection intruder = QDBusConnection::connectToBus(QString::fromUtf8(m_systemBusAddress), name);
        QVERIFY(intruder.isConnected());
        QDBusMessage sleep =
            QDBusMessage::createSignal(kManagerPath, kManagerInterface, QStringLiteral("PrepareForSleep"));
        sleep.setArguments({true});
        QVERIFY(intruder.send(sleep));
        QDBusMessage inactive = QDBusMessage::createSignal(events.sessionPath(),
                                                           QStringLiteral("org.freedesktop.DBus.Properties"),
                                                           QStringLiteral("PropertiesChanged"));
        inactive.setArguments(
            {kSessionInterface, QVariantMap{{QStringLiteral("Active"), false}}, QStringList{}});
        QVERIFY(intruder.send(inactive));
        // The bus passes the fakes on before it passes this call to logind, whose Lock signal therefore
        // comes after them.
        QVERIFY(succeeded(call(intruder, kLogind, sessionPath(QStringLiteral("c1")), kSessionInterface,
                               QStringLiteral("Lock"))));
    }
    QDBusConnection::disconnectFromBus(name);

    QTRY_COMPARE_WITH_TIMEOUT(m_locks->count(), 1, kWaitMs);
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 1}));
    QVERIFY(events.holdsSleepInhibitor());
    QCOMPARE(inhibitorCount(), 1);
}

void TestLogindSystemEvents::sessionGoingInactiveIsSwitch()
{
    LogindSystemEvents events;
    QVERIFY(start(events));
    QCOMPARE(events.sessionPath(), sessionPath(QStringLiteral("c1")));

    // Other properties of the session, and Active staying true, are no switch.
    QVERIFY(succeeded(call(QDBusConnection::systemBus(), kLogind, sessionPath(QStringLiteral("c1")),
                           kMockInterface, QStringLiteral("UpdateProperties"),
                           {kSessionInterface, QVariantMap{{QStringLiteral("IdleHint"), true}}})));
    QVERIFY(setSessionActive(QStringLiteral("c1"), true));
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 0}));

    QVERIFY(setSessionActive(QStringLiteral("c1"), false));
    QTRY_COMPARE_WITH_TIMEOUT(m_switches->count(), 1, kWaitMs);

    // Coming back is no switch.
    QVERIFY(setSessionActive(QStringLiteral("c1"), true));
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 1, 0}));

    // The next switch away counts again.
    QVERIFY(setSessionActive(QStringLiteral("c1"), false));
    QTRY_COMPARE_WITH_TIMEOUT(m_switches->count(), 2, kWaitMs);
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 2, 0}));
}

void TestLogindSystemEvents::sessionLockLocksScreen()
{
    LogindSystemEvents events;
    QVERIFY(start(events));

    QVERIFY(lockSession(QStringLiteral("c1")));
    QTRY_COMPARE_WITH_TIMEOUT(m_locks->count(), 1, kWaitMs);
    QVERIFY(succeeded(call(QDBusConnection::systemBus(), kLogind, sessionPath(QStringLiteral("c1")),
                           kSessionInterface, QStringLiteral("Unlock"))));
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 1}));

    QVERIFY(lockSession(QStringLiteral("c1")));
    QTRY_COMPARE_WITH_TIMEOUT(m_locks->count(), 2, kWaitMs);
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 2}));
}

// Another session of the same user on the same seat locking or going inactive says nothing about
// this one.
void TestLogindSystemEvents::otherSessionsAreIgnored()
{
    LogindSystemEvents events;
    QVERIFY(start(events));

    QVERIFY(setSessionActive(QStringLiteral("c2"), true));
    QVERIFY(setSessionActive(QStringLiteral("c2"), false));
    QVERIFY(lockSession(QStringLiteral("c2")));
    QVERIFY(lockSession(QStringLiteral("c3")));
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 0}));
}

void TestLogindSystemEvents::screenSaverActivationLocksScreen_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("path");
    QTest::newRow("freedesktop") << kFreedesktopScreenSaver << kFreedesktopPath;
    QTest::newRow("freedesktop at /ScreenSaver") << kFreedesktopScreenSaver << QStringLiteral("/ScreenSaver");
    QTest::newRow("gnome") << kGnomeScreenSaver << kGnomePath;
}

void TestLogindSystemEvents::screenSaverActivationLocksScreen()
{
    QFETCH(QString, service);
    QFETCH(QString, path);
    LogindSystemEvents events;
    QVERIFY(start(events));

    QVERIFY(setScreenSaverActive(service, path, false));
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 0}));

    QVERIFY(setScreenSaverActive(service, path, true));
    QTRY_COMPARE_WITH_TIMEOUT(m_locks->count(), 1, kWaitMs);
    QVERIFY(setScreenSaverActive(service, path, false));
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 1}));

    // The next activation is the next lock.
    QVERIFY(setScreenSaverActive(service, path, true));
    QTRY_COMPARE_WITH_TIMEOUT(m_locks->count(), 2, kWaitMs);
    QVERIFY(setScreenSaverActive(service, path, false));
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 2}));
}

// KDE's screen locker announces one lock at both freedesktop paths.
void TestLogindSystemEvents::oneLockOnSeveralPathsCountsOnce()
{
    LogindSystemEvents events;
    QVERIFY(start(events));
    const QString legacyPath = QStringLiteral("/ScreenSaver");

    QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, kFreedesktopPath, true));
    QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, legacyPath, true));
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 1}));

    QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, kFreedesktopPath, false));
    QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, legacyPath, false));
    QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, legacyPath, true));
    QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, kFreedesktopPath, true));
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 2}));

    // A different screen saver's lock is heard even while this one is active.
    QVERIFY(setScreenSaverActive(kGnomeScreenSaver, kGnomePath, true));
    QTRY_COMPARE_WITH_TIMEOUT(m_locks->count(), 3, kWaitMs);
    QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, kFreedesktopPath, false));
    QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, legacyPath, false));
}

void TestLogindSystemEvents::screenSaverStartingLaterIsHeard()
{
    QVERIFY(stopFreedesktopScreenSaver());
    LogindSystemEvents events;
    QVERIFY(start(events));

    QVERIFY(startFreedesktopScreenSaver());
    QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, kFreedesktopPath, true));
    QTRY_COMPARE_WITH_TIMEOUT(m_locks->count(), 1, kWaitMs);
    QVERIFY(setScreenSaverActive(kFreedesktopScreenSaver, kFreedesktopPath, false));
}

void TestLogindSystemEvents::processSessionComesFirst()
{
    qputenv("XDG_SESSION_ID", "c2");
    QVERIFY(setSessionLookups(QStringLiteral("c1"), QStringLiteral("c3")));
    LogindSystemEvents events;
    QVERIFY(start(events));
    QCOMPARE(events.sessionPath(), sessionPath(QStringLiteral("c1")));
}

// Started by the user's service manager, the process is in no session; the environment names it.
void TestLogindSystemEvents::environmentSessionWithoutProcessSession()
{
    qputenv("XDG_SESSION_ID", "c2");
    QVERIFY(setSessionLookups(QString(), QStringLiteral("c3")));
    LogindSystemEvents events;
    QVERIFY(start(events));
    QCOMPARE(events.sessionPath(), sessionPath(QStringLiteral("c2")));

    QVERIFY(lockSession(QStringLiteral("c1")));
    QVERIFY(setSessionActive(QStringLiteral("c1"), false));
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 0, 0}));

    QVERIFY(lockSession(QStringLiteral("c2")));
    QTRY_COMPARE_WITH_TIMEOUT(m_locks->count(), 1, kWaitMs);
    QVERIFY(setSessionActive(QStringLiteral("c2"), true));
    QVERIFY(setSessionActive(QStringLiteral("c2"), false));
    QTRY_COMPARE_WITH_TIMEOUT(m_switches->count(), 1, kWaitMs);
    deliverArrivedSignals();
    QCOMPARE(emissions(), Emissions({0, 1, 1}));
}

void TestLogindSystemEvents::automaticSessionAsLastResort_data()
{
    QTest::addColumn<QByteArray>("environmentSession");
    QTest::newRow("no XDG_SESSION_ID") << QByteArray();
    QTest::newRow("unknown XDG_SESSION_ID") << QByteArrayLiteral("c9");
}

// logind's "auto" resolves to a real session, whose real object path is the one its signals come
// from.
void TestLogindSystemEvents::automaticSessionAsLastResort()
{
    QFETCH(QByteArray, environmentSession);
    if (!environmentSession.isEmpty()) {
        qputenv("XDG_SESSION_ID", environmentSession);
    }
    QVERIFY(setSessionLookups(QString(), QStringLiteral("c3")));
    LogindSystemEvents events;
    QVERIFY(start(events));
    QCOMPARE(events.sessionPath(), sessionPath(QStringLiteral("c3")));

    QVERIFY(setSessionActive(QStringLiteral("c3"), true));
    QVERIFY(setSessionActive(QStringLiteral("c3"), false));
    QTRY_COMPARE_WITH_TIMEOUT(m_switches->count(), 1, kWaitMs);
    QVERIFY(lockSession(QStringLiteral("c3")));
    QTRY_COMPARE_WITH_TIMEOUT(m_locks->count(), 1, kWaitMs);
}

void TestLogindSystemEvents::logindStartingLaterIsFollowed()
{
    QVERIFY(stopLogind());
    LogindSystemEvents events;
    m_sleeps = std::make_unique<QSignalSpy>(&events, &SystemEvents::goingToSleep);
    m_switches = std::make_unique<QSignalSpy>(&events, &SystemEvents::sessionSwitched);
    m_locks = std::make_unique<QSignalSpy>(&events, &SystemEvents::screenLocked);
    events.start();
    QVERIFY(!events.holdsSleepInhibitor());

    QVERIFY(startLogind());
    QTRY_VERIFY_WITH_TIMEOUT(events.holdsSleepInhibitor(), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(events.sessionPath(), sessionPath(QStringLiteral("c1")), kWaitMs);
    QCOMPARE(inhibitorCount(), 1);

    QVERIFY(emitPrepareForSleep(true));
    QTRY_COMPARE_WITH_TIMEOUT(m_sleeps->count(), 1, kWaitMs);
    QVERIFY(setSessionActive(QStringLiteral("c1"), false));
    QTRY_COMPARE_WITH_TIMEOUT(m_switches->count(), 1, kWaitMs);
}

// An inhibitor belongs to the logind that handed it out; the next one hands out a new one.
void TestLogindSystemEvents::logindRestartRenewsInhibitor()
{
    LogindSystemEvents events;
    QVERIFY(start(events));

    QVERIFY(stopLogind());
    QTRY_VERIFY_WITH_TIMEOUT(!events.holdsSleepInhibitor(), kWaitMs);
    QVERIFY(startLogind());
    QTRY_VERIFY_WITH_TIMEOUT(events.holdsSleepInhibitor(), kWaitMs);
    QCOMPARE(inhibitorCount(), 1);
    QCOMPARE(events.sessionPath(), sessionPath(QStringLiteral("c1")));

    QVERIFY(setSessionActive(QStringLiteral("c1"), false));
    QTRY_COMPARE_WITH_TIMEOUT(m_switches->count(), 1, kWaitMs);
    QVERIFY(emitPrepareForSleep(true));
    QTRY_COMPARE_WITH_TIMEOUT(m_sleeps->count(), 1, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(inhibitorCount(), 0, kWaitMs);
}

// QDBusConnection connects to each bus once per process, so this runs in a copy of the test whose bus
// addresses lead nowhere.
void TestLogindSystemEvents::withoutBusesNothingHappens()
{
    if (!m_withoutBuses) {
        QProcess copy;
        dieWithTest(copy);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kWithoutBusesVariable), QStringLiteral("1"));
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                           QStringLiteral("unix:path=") + m_dir.filePath(QStringLiteral("no-system-bus")));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=") + m_dir.filePath(QStringLiteral("no-session-bus")));
        // No X11 autolaunch of a session bus either.
        environment.remove(QStringLiteral("DISPLAY"));
        copy.setProcessEnvironment(environment);
        copy.setProcessChannelMode(QProcess::MergedChannels);
        copy.start(QCoreApplication::applicationFilePath(), {QStringLiteral("withoutBusesNothingHappens")});
        QVERIFY(copy.waitForFinished(3 * kWaitMs));
        const QByteArray output = copy.readAll();
        QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : TestLogindSystemEvents::withoutBusesNothingHappens()"),
                 output.constData());
        return;
    }

    LogindSystemEvents events;
    QVERIFY(start(events));
    events.start();
    QVERIFY(!QDBusConnection::systemBus().isConnected());
    QVERIFY(!QDBusConnection::sessionBus().isConnected());
    deliverArrivedSignals();
    QVERIFY(!events.holdsSleepInhibitor());
    QVERIFY(events.sessionPath().isEmpty());
    QCOMPARE(emissions(), Emissions({0, 0, 0}));
}

QTEST_GUILESS_MAIN(TestLogindSystemEvents)
#include "TestLogindSystemEvents.moc"
