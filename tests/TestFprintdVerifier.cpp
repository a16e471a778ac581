#include "ChildProcesses.h"
#include "platform/linux/FprintdVerifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// Runs the verifier against the real fprintd on a private system bus: fprintd drives libfprint's
// virtual_device driver, whose socket plays the finger (SCAN <finger>, RETRY <n>, ERROR <n>), and polkit
// is python-dbusmock's polkitd template. Every process started here dies with the test.

namespace {

const QString kService = QStringLiteral("net.reactivated.Fprint");
const QString kPolkit = QStringLiteral("org.freedesktop.PolicyKit1");
const QString kFinger = QStringLiteral("right-index-finger");
const QByteArray kScanEnrolled = "SCAN right-index-finger";
const QString kFprintd = QStringLiteral("/usr/libexec/fprintd");
const QString kPython = QStringLiteral("/usr/bin/python3");
constexpr int kWaitMs = 10000;

using Result = Authenticator::Result;

struct Probe
{
    FprintdVerifier verifier;
    QSignalSpy finished{&verifier, &FprintdVerifier::finished};
    QSignalSpy retries{&verifier, &FprintdVerifier::scanFailed};
    // The verifier asks whether a reader and prints exist as soon as it is made.
    QSignalSpy refreshed{&verifier, &FprintdVerifier::availabilityRefreshed};

    Result last() const { return finished.constLast().at(0).value<Result>(); }
};

} // namespace

class TestFprintdVerifier : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_polkit;
    QProcess m_fprintd;
    std::optional<QDBusConnection> m_client;

    bool isRegistered(const QString& service) { return m_client->interface()->isServiceRegistered(service); }

    bool start(QProcess& process, const QString& program, const QStringList& arguments,
               const QString& service)
    {
        dieWithTest(process);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(m_dir.filePath(service + ".log"), QIODevice::Append);
        process.start(program, arguments);
        return QTest::qWaitFor([&] { return isRegistered(service); }, kWaitMs);
    }

    bool stopService(QProcess& process)
    {
        stop(process);
        return QTest::qWaitFor([this] { return !isRegistered(kService); }, kWaitMs);
    }

    QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                      const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return m_client->call(message, QDBus::Block, 5000);
    }
    // A call on the reader as another client than the verifier. fprintd numbers its readers from 0, and
    // "" names the caller's own user.
    QDBusMessage callReader(const QString& method, const QVariantList& arguments = {})
    {
        return call(kService, "/net/reactivated/Fprint/Device/0", "net.reactivated.Fprint.Device", method,
                    arguments);
    }
    bool succeeds(const QString& method, const QVariantList& arguments = {})
    {
        return callReader(method, arguments).type() == QDBusMessage::ReplyMessage;
    }

    // Whether another client gets the reader: only then has the verifier really let it go. fprintd
    // closes the reader asynchronously after a Release, so the claim is retried for a while.
    bool readerBecomesFree()
    {
        return QTest::qWaitFor([this] { return succeeds("Claim", {QString()}); }, kWaitMs) &&
               succeeds("Release");
    }

    // The virtual reader listens only while the reader is open (claimed), one command per connection;
    // commands sent while it is open but not yet verifying wait in the driver's queue.
    bool sendCommand(const QByteArray& command)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(m_dir.filePath("reader")).constData(),
                 sizeof address.sun_path);
        return QTest::qWaitFor(
            [&] {
                const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
                const bool sent =
                    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                    ::write(fd, command.constData(), static_cast<size_t>(command.size())) == command.size();
                ::close(fd);
                return sent;
            },
            kWaitMs);
    }

    // Sends a scan and waits for the verifier's answer: a retry request or the end.
    bool scan(Probe& probe, const QByteArray& command, int timeoutMs = kWaitMs)
    {
        const qsizetype before = probe.retries.count() + probe.finished.count();
        return sendCommand(command) &&
               QTest::qWaitFor([&] { return probe.retries.count() + probe.finished.count() > before; },
                               timeoutMs);
    }

    // Waits until the verification runs, proven by a retry request making it through. A command can land
    // in the reader while a previous claim still closes it and be dropped, hence the repeats.
    bool awaitVerification(Probe& probe)
    {
        return QTest::qWaitFor([&] { return scan(probe, "RETRY 0", 1000); }, kWaitMs);
    }

    // Enrols the finger through fprintd's own client unless it is enrolled already, one scan per stage
    // once the previous one was taken.
    bool enroll()
    {
        const QDBusMessage listed = callReader("ListEnrolledFingers", {QString()});
        if (listed.arguments().value(0).toStringList().contains(kFinger))
            return true;
        QProcess client;
        dieWithTest(client);
        client.start("fprintd-enroll", {"-f", kFinger});
        QByteArray output;
        const auto stages = [&] { return (output += client.readAllStandardOutput()).count("Enroll result"); };
        const bool enrolled = QTest::qWaitFor(
            [&] {
                const qsizetype before = stages();
                return sendCommand(kScanEnrolled) &&
                       QTest::qWaitFor([&] { return stages() > before; }, kWaitMs) &&
                       output.contains("enroll-completed");
            },
            6 * kWaitMs);
        // The client gives the reader back before it exits.
        client.waitForFinished(kWaitMs);
        return enrolled;
    }

    bool startFprintd() { return start(m_fprintd, kFprintd, {"--no-timeout"}, kService); }

private slots:
    void initTestCase()
    {
        if (!QFileInfo(kFprintd).isExecutable() || QProcess::execute(kPython, {"-c", "import dbusmock"}) != 0)
            QSKIP("needs fprintd and python3-dbusmock");
        QVERIFY(m_dir.isValid());
        // A system bus of the test's own with the session configuration, which lets everyone own any
        // name: fprintd's real policy only lets root own its name, which says nothing about the client.
        dieWithTest(m_bus);
        m_bus.start("/usr/bin/dbus-daemon",
                    {"--session", "--nofork", "--print-address=1", "--address=unix:dir=" + m_dir.path()});
        // The address is printed once the bus listens.
        while (!m_bus.canReadLine() && m_bus.waitForReadyRead(kWaitMs)) {
        }
        const QByteArray address = m_bus.readLine().trimmed();
        // Before anything touches QDBusConnection::systemBus(), which connects once per process.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
        m_client.emplace(QDBusConnection::connectToBus(QString::fromUtf8(address), "rig-client"));
        QVERIFY2(m_client->isConnected(), qPrintable(m_client->lastError().message()));

        // polkit denies everything by default, and fprintd asks it before every Claim.
        QVERIFY(start(m_polkit, kPython, {"-m", "dbusmock", "--system", "--template", "polkitd"}, kPolkit));
        QCOMPARE(call(kPolkit, "/org/freedesktop/PolicyKit1/Authority", "org.freedesktop.DBus.Mock",
                      "AllowUnknown", {true})
                     .type(),
                 QDBusMessage::ReplyMessage);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("STATE_DIRECTORY", m_dir.filePath("fprintd-state"));
        // Only the virtual driver, so that a real reader on the machine running the tests is never used.
        environment.insert("FP_DRIVERS_WHITELIST", "virtual_device");
        environment.insert("FP_VIRTUAL_DEVICE", m_dir.filePath("reader"));
        m_fprintd.setProcessEnvironment(environment);
        QVERIFY(startFprintd());
    }

    void init()
    {
        // Also waits out a verifier that a failed test left holding the reader.
        QVERIFY(readerBecomesFree());
        QVERIFY(enroll());
    }

    void cleanup()
    {
        // Whatever a test stopped, the next one starts from a running fprintd.
        if (m_fprintd.state() == QProcess::NotRunning)
            QVERIFY(stopService(m_fprintd) && startFprintd());
    }

    void cleanupTestCase()
    {
        for (QProcess* process : {&m_fprintd, &m_polkit, &m_bus})
            stop(*process);
    }

    // A start while a verification runs is ignored: a second one alongside would fail to claim the
    // reader. Every failed scan is reported as what it is and the reader goes on waiting: counting them
    // is the prompt's business. A verification started at once after a cancel or a match must not trip
    // over the reader that the previous one is still giving back; the cancelled one reports nothing.
    void verifiesUntilAMatch()
    {
        Probe probe;
        probe.verifier.start();
        probe.verifier.start();
        QVERIFY(awaitVerification(probe));
        probe.verifier.start();
        for (const QByteArray scanned : {"RETRY 1", "RETRY 2", "RETRY 3", "SCAN left-thumb",
                                         "SCAN left-thumb", "SCAN left-thumb", "SCAN left-thumb"})
            QVERIFY2(scan(probe, scanned), scanned);
        QCOMPARE(probe.finished.count(), 0);
        QSet<int> kinds; // every kind of failed scan told apart
        for (const QList<QVariant>& retry : probe.retries)
            kinds.insert(int(retry.at(0).value<FingerprintVerifier::Scan>()));
        QCOMPARE(kinds.size(), 5);

        probe.verifier.cancel();
        QVERIFY(!probe.verifier.isRunning());
        for (int match = 1; match <= 2; ++match) {
            probe.verifier.start();
            QVERIFY(awaitVerification(probe) && scan(probe, kScanEnrolled));
            QVERIFY(probe.finished.count() == match && probe.last() == Result::success);
        }
        QVERIFY(!probe.verifier.isRunning() && readerBecomesFree());
        QCOMPARE(probe.finished.count(), 2);
    }

    // What keeps a verification from succeeding: set up before it starts, or thrown in while it runs.
    void unusableReaderEndsTheVerification_data()
    {
        QTest::addColumn<Result>("result");
        QTest::newRow("held by another client") << Result::notAvailable;
        QTest::newRow("no prints") << Result::notEnrolled;
        QTest::newRow("no fprintd") << Result::notAvailable;
        // FP_DEVICE_ERROR_GENERAL: verify-unknown-error; FP_DEVICE_ERROR_PROTO: verify-disconnected.
        QTest::newRow("ERROR 0") << Result::otherError;
        QTest::newRow("ERROR 5") << Result::notAvailable;
        QTest::newRow("fprintd stops") << Result::notAvailable;
    }

    void unusableReaderEndsTheVerification()
    {
        QFETCH(Result, result);
        const QByteArray obstacle = QTest::currentDataTag();
        const bool hasDevice = obstacle != "no fprintd";
        const bool held = obstacle == "held by another client";
        if (held)
            QVERIFY(succeeds("Claim", {QString()}));
        if (obstacle == "no prints")
            QVERIFY(succeeds("Claim", {QString()}) && succeeds("DeleteEnrolledFingers2") &&
                    succeeds("Release"));
        if (obstacle == "no fprintd")
            QVERIFY(stopService(m_fprintd));
        Probe probe;
        QTRY_VERIFY_WITH_TIMEOUT(!probe.refreshed.isEmpty(), kWaitMs);
        QCOMPARE(probe.verifier.hasDevice(), hasDevice);
        QCOMPARE(probe.verifier.hasEnrolledPrints(), hasDevice && obstacle != "no prints");

        probe.verifier.start();
        if (obstacle.startsWith("ERROR"))
            QVERIFY(sendCommand(obstacle));
        if (obstacle == "fprintd stops")
            QVERIFY(awaitVerification(probe) && stopService(m_fprintd));
        QTRY_COMPARE_WITH_TIMEOUT(probe.finished.count(), 1, kWaitMs);
        QVERIFY(probe.last() == result && !probe.verifier.isRunning());

        // The reader is free again, and a failed claim took nothing from the client holding it.
        QVERIFY(!held || succeeds("Release"));
        if (hasDevice && obstacle != "fprintd stops")
            QVERIFY(readerBecomesFree());
        QCOMPARE(probe.finished.count(), 1);
    }

    // A fprintd that owns its name but never answers: the cached answers come at once, while the
    // refresh gives up in the background and leaves them at "no reader".
    void hungServiceIsNeverWaitedFor()
    {
        QVERIFY(stopService(m_fprintd));
        QProcess hung;
        QVERIFY(start(hung, kPython,
                      {"-c", "import dbus, time; dbus.SystemBus().request_name('net.reactivated.Fprint'); "
                             "time.sleep(600)"},
                      kService));
        Probe probe;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 3; ++i)
            QVERIFY(!probe.verifier.hasDevice() && !probe.verifier.hasEnrolledPrints());
        // A blocking query would have waited out its timeout (1 s) at least once.
        QCOMPARE_LT(timer.elapsed(), 900);
        QVERIFY(probe.refreshed.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(probe.refreshed.count(), 1, kWaitMs);
        QVERIFY(!probe.verifier.hasDevice());
        QVERIFY(stopService(hung));
    }

    // Cancel or destroy while GetDefaultDevice, Claim, VerifyStart or the verification itself is on its
    // way: whichever it hits, the reader ends up free and nothing is reported.
    void cancelOrDestroyAtAnyPointReleasesReader()
    {
        // -1: once the verification runs.
        for (int delay = -1; delay <= 40; delay += (delay < 0 ? 1 : 4)) {
            for (const bool destroy : {false, true}) {
                const QByteArray where =
                    (destroy ? "destroyed after " : "cancelled after ") + QByteArray::number(delay);
                auto probe = std::make_unique<Probe>();
                probe->verifier.start();
                if (delay < 0)
                    QVERIFY2(awaitVerification(*probe), where);
                QTest::qWait(std::max(delay, 0));
                if (destroy)
                    probe.reset();
                else
                    probe->verifier.cancel();
                QVERIFY2(readerBecomesFree(), where);
                QVERIFY2(destroy || probe->finished.isEmpty(), where);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestFprintdVerifier)
#include "TestFprintdVerifier.moc"
