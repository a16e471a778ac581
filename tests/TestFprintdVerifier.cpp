#include "ChildProcesses.h"
#include "platform/linux/FprintdVerifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// Runs the verifier against the real fprintd on a private system bus: fprintd drives libfprint's
// virtual_device driver, whose socket plays the finger (SCAN <finger>, RETRY <n>, ERROR <n>), and polkit
// is python-dbusmock's polkitd template. Every process started here dies with the test.

namespace {

const QString kService = QStringLiteral("net.reactivated.Fprint");
const QString kDeviceInterface = QStringLiteral("net.reactivated.Fprint.Device");
const QString kPolkitService = QStringLiteral("org.freedesktop.PolicyKit1");
const QString kEnrolledFinger = QStringLiteral("right-index-finger");
const QByteArray kScanEnrolled = "SCAN right-index-finger";
const QByteArray kScanOther = "SCAN left-thumb";
const QString kFprintd = QStringLiteral("/usr/libexec/fprintd");
const QString kPython = QStringLiteral("/usr/bin/python3");
constexpr int kCallTimeoutMs = 5000;
constexpr int kWaitMs = 10000;

using Result = Authenticator::Result;

QString userName()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

struct Probe
{
    FprintdVerifier verifier;
    QSignalSpy finished{&verifier, &FprintdVerifier::finished};
    QSignalSpy retries{&verifier, &FprintdVerifier::scanFailed};

    Result last() const { return finished.constLast().at(0).value<Result>(); }
};

} // namespace

class TestFprintdVerifier : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_bus;
    QProcess m_polkit;
    QProcess m_fprintd;
    std::optional<QDBusConnection> m_client;
    int m_enrollStatuses = 0;
    QString m_enrollResult;

    bool startFprintd(bool withReader)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("STATE_DIRECTORY"),
                           m_dir.filePath(QStringLiteral("fprintd-state")));
        // Only the virtual driver, so that a real reader on the machine running the tests is never used.
        environment.insert(QStringLiteral("FP_DRIVERS_WHITELIST"), QStringLiteral("virtual_device"));
        environment.remove(QStringLiteral("FP_VIRTUAL_DEVICE"));
        if (withReader)
            environment.insert(QStringLiteral("FP_VIRTUAL_DEVICE"), m_socket);
        m_fprintd.setProcessEnvironment(environment);
        dieWithTest(m_fprintd);
        m_fprintd.setStandardOutputFile(m_dir.filePath(QStringLiteral("fprintd.log")), QIODevice::Append);
        m_fprintd.setStandardErrorFile(m_dir.filePath(QStringLiteral("fprintd.log")), QIODevice::Append);
        m_fprintd.start(kFprintd, {QStringLiteral("--no-timeout")});
        return m_fprintd.waitForStarted() &&
               QTest::qWaitFor(
                   [this] { return m_client->interface()->isServiceRegistered(kService).value(); }, kWaitMs);
    }

    bool stopFprintd()
    {
        stop(m_fprintd);
        return QTest::qWaitFor(
            [this] { return !m_client->interface()->isServiceRegistered(kService).value(); }, kWaitMs);
    }

    QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                      const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return m_client->call(message, QDBus::Block, kCallTimeoutMs);
    }

    // A call on the default reader, as another client than the verifier.
    bool callDevice(const QString& method, const QVariantList& arguments = {}, QStringList* fingers = nullptr)
    {
        const QDBusMessage located =
            call(kService, QStringLiteral("/net/reactivated/Fprint/Manager"),
                 QStringLiteral("net.reactivated.Fprint.Manager"), QStringLiteral("GetDefaultDevice"));
        if (located.type() != QDBusMessage::ReplyMessage)
            return false;
        const QDBusMessage reply =
            call(kService, located.arguments().constFirst().value<QDBusObjectPath>().path(), kDeviceInterface,
                 method, arguments);
        if (fingers && !reply.arguments().isEmpty())
            *fingers = reply.arguments().constFirst().toStringList();
        return reply.type() == QDBusMessage::ReplyMessage;
    }

    bool claimAsClient() { return callDevice(QStringLiteral("Claim"), {userName()}); }
    bool releaseAsClient() { return callDevice(QStringLiteral("Release")); }

    // Whether another client gets the reader: only then has the verifier really let it go. fprintd
    // closes the reader asynchronously after a Release, so the claim is retried for a while.
    bool readerBecomesFree()
    {
        return QTest::qWaitFor([this] { return claimAsClient(); }, kWaitMs) && releaseAsClient();
    }

    // Enrols the right index finger through fprintd's own Enroll, unless it is enrolled already.
    bool enroll()
    {
        QStringList fingers;
        if (callDevice(QStringLiteral("ListEnrolledFingers"), {userName()}, &fingers) &&
            fingers.contains(kEnrolledFinger))
            return true;
        // From any path: there is only one reader.
        const QString signal = QStringLiteral("EnrollStatus");
        m_client->connect(kService, {}, kDeviceInterface, signal, this, SLOT(onEnrollStatus(QString)));
        m_enrollStatuses = 0;
        m_enrollResult.clear();
        bool going = claimAsClient() && callDevice(QStringLiteral("EnrollStart"), {kEnrolledFinger});
        // One scan per stage, each once the previous one was taken, until fprintd says it is over.
        for (int stage = 0; going && m_enrollResult != QLatin1String("enroll-completed") && stage < 20;
             ++stage) {
            const int before = m_enrollStatuses;
            going = sendCommand(kScanEnrolled) &&
                    QTest::qWaitFor([&] { return m_enrollStatuses > before; }, kWaitMs);
        }
        callDevice(QStringLiteral("EnrollStop"));
        m_client->disconnect(kService, {}, kDeviceInterface, signal, this, SLOT(onEnrollStatus(QString)));
        return releaseAsClient() && m_enrollResult == QLatin1String("enroll-completed");
    }

    bool allowUnknownPolkitActions(bool allow)
    {
        return call(kPolkitService, QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
                    QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AllowUnknown"), {allow})
                   .type() == QDBusMessage::ReplyMessage;
    }

    // The virtual reader listens only while the reader is open (claimed), one command per connection;
    // commands sent while it is open but not yet verifying wait in the driver's queue.
    bool sendCommand(const QByteArray& command)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(m_socket).constData(), sizeof address.sun_path);
        return QTest::qWaitFor(
            [&] {
                const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
                const bool sent =
                    fd >= 0 &&
                    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                    ::write(fd, command.constData(), static_cast<size_t>(command.size())) == command.size();
                if (fd >= 0)
                    ::close(fd);
                return sent;
            },
            kWaitMs);
    }

    // Sends a scan `times` times, each time waiting for the verifier's answer: a retry request or the end.
    bool scan(Probe& probe, const QByteArray& command, int times = 1)
    {
        for (int sent = 0; sent < times; ++sent) {
            const qsizetype before = probe.retries.count() + probe.finished.count();
            if (!sendCommand(command) ||
                !QTest::qWaitFor([&] { return probe.retries.count() + probe.finished.count() > before; },
                                 kWaitMs))
                return false;
        }
        return true;
    }

    // Waits until the verification runs, proven by a retry request making it through. A command can land
    // in the reader while a previous claim still closes it and be dropped, hence the repeats.
    bool awaitVerification(Probe& probe)
    {
        for (int attempt = 0; attempt < 10; ++attempt) {
            const qsizetype before = probe.retries.count();
            if (sendCommand("RETRY 0") &&
                QTest::qWaitFor([&] { return probe.retries.count() > before; }, 1000))
                return true;
        }
        return false;
    }

    bool begin(Probe& probe)
    {
        probe.verifier.start();
        return awaitVerification(probe);
    }

public slots:
    // Not a test: receives EnrollStatus while the rig enrols a finger.
    void onEnrollStatus(const QString& result)
    {
        ++m_enrollStatuses;
        m_enrollResult = result;
    }

private slots:
    void initTestCase()
    {
        for (const QString& program : {kFprintd, QStringLiteral("/usr/bin/dbus-daemon"), kPython}) {
            if (!QFileInfo(program).isExecutable())
                QSKIP(qPrintable(program + QLatin1String(" is not installed")));
        }
        if (QProcess::execute(kPython, {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
            QSKIP("python3-dbusmock is not installed for /usr/bin/python3");
        QVERIFY(m_dir.isValid());
        m_socket = m_dir.filePath(QStringLiteral("virtual-reader"));

        // A system bus of the test's own, open to everyone: fprintd's real policy only lets root own
        // its name, which says nothing about the client.
        QFile config(m_dir.filePath(QStringLiteral("system-bus.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("<busconfig><type>system</type><listen>unix:path=%1</listen>"
                                    "<auth>EXTERNAL</auth><policy context=\"default\">"
                                    "<allow user=\"*\"/><allow own=\"*\"/><allow eavesdrop=\"true\"/>"
                                    "<allow send_destination=\"*\" eavesdrop=\"true\"/></policy></busconfig>")
                         .arg(m_dir.filePath(QStringLiteral("system_bus_socket")))
                         .toUtf8());
        config.close();
        dieWithTest(m_bus);
        m_bus.start(QStringLiteral("/usr/bin/dbus-daemon"),
                    {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                     QStringLiteral("--print-address=1")});
        QVERIFY2(m_bus.waitForStarted(), qPrintable(m_bus.errorString()));
        // The address is printed once the bus listens.
        while (!m_bus.canReadLine() && m_bus.waitForReadyRead(kWaitMs)) {
        }
        const QByteArray address = m_bus.readLine().trimmed();
        QVERIFY(!address.isEmpty());
        // Before anything touches QDBusConnection::systemBus(), which connects once per process.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
        m_client.emplace(
            QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("rig-client")));
        QVERIFY2(m_client->isConnected(), qPrintable(m_client->lastError().message()));

        // polkit denies everything by default, and fprintd asks it before every Claim.
        dieWithTest(m_polkit);
        m_polkit.setStandardOutputFile(m_dir.filePath(QStringLiteral("polkitd.log")));
        m_polkit.setStandardErrorFile(m_dir.filePath(QStringLiteral("polkitd.log")), QIODevice::Append);
        m_polkit.start(kPython, {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                                 QStringLiteral("--template"), QStringLiteral("polkitd")});
        QVERIFY2(m_polkit.waitForStarted(), qPrintable(m_polkit.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(m_client->interface()->isServiceRegistered(kPolkitService), kWaitMs);
        QVERIFY(allowUnknownPolkitActions(true));
        QVERIFY(startFprintd(true));
    }

    void init()
    {
        // Also waits out a verifier that a failed test left holding the reader.
        QVERIFY(readerBecomesFree());
        QVERIFY(enroll());
    }

    void cleanup()
    {
        // Whatever a test changed, the next one starts from a running fprintd with a reader that polkit
        // lets everyone use.
        QVERIFY(allowUnknownPolkitActions(true));
        if (m_fprintd.state() == QProcess::NotRunning ||
            !m_fprintd.processEnvironment().contains(QStringLiteral("FP_VIRTUAL_DEVICE"))) {
            QVERIFY(stopFprintd());
            QVERIFY(startFprintd(true));
        }
    }

    void cleanupTestCase()
    {
        stop(m_fprintd);
        stop(m_polkit);
        stop(m_bus);
    }

    // Every failed scan is reported as what it is, and the reader goes on waiting: counting them is
    // the prompt's business. A later match still succeeds.
    void failedScansAreReportedAndTheVerificationGoesOn()
    {
        Probe probe;
        probe.verifier.start();
        for (int code = 0; code < 4; ++code)
            QVERIFY(scan(probe, "RETRY " + QByteArray::number(code)));
        QVERIFY(scan(probe, kScanOther, 4));
        QCOMPARE(probe.finished.count(), 0);
        QSet<int> kinds;
        for (const QList<QVariant>& retry : probe.retries)
            kinds.insert(int(retry.at(0).value<FingerprintVerifier::Scan>()));
        QCOMPARE(kinds.size(), 5);
        QVERIFY(scan(probe, kScanEnrolled));
        QCOMPARE(probe.last(), Result::success);
        QVERIFY(readerBecomesFree());
    }

    // What keeps a verification from succeeding: set up before it starts, or thrown in while it runs.
    void unusableReaderEndsTheVerification_data()
    {
        QTest::addColumn<bool>("hasDevice");
        QTest::addColumn<bool>("hasPrints");
        QTest::addColumn<Result>("result");
        QTest::newRow("held by another client") << true << true << Result::notAvailable;
        // polkit guards the list of prints too.
        QTest::newRow("polkit denies") << true << false << Result::notAvailable;
        QTest::newRow("no prints") << true << false << Result::notEnrolled;
        QTest::newRow("no reader") << false << false << Result::notAvailable;
        QTest::newRow("no fprintd") << false << false << Result::notAvailable;
        // FP_DEVICE_ERROR_GENERAL: verify-unknown-error; FP_DEVICE_ERROR_PROTO: verify-disconnected.
        QTest::newRow("ERROR 0") << true << true << Result::otherError;
        QTest::newRow("ERROR 5") << true << true << Result::notAvailable;
        QTest::newRow("fprintd stops") << true << true << Result::notAvailable;
    }

    void unusableReaderEndsTheVerification()
    {
        QFETCH(bool, hasDevice);
        QFETCH(bool, hasPrints);
        QFETCH(Result, result);
        const QByteArray obstacle = QTest::currentDataTag();
        const bool held = obstacle == "held by another client";
        if (held)
            QVERIFY(claimAsClient());
        if (obstacle == "polkit denies")
            QVERIFY(allowUnknownPolkitActions(false));
        if (obstacle == "no prints")
            QVERIFY(claimAsClient() && callDevice(QStringLiteral("DeleteEnrolledFingers2")) &&
                    releaseAsClient());
        if (obstacle == "no fprintd" || obstacle == "no reader")
            QVERIFY(stopFprintd());
        if (obstacle == "no reader")
            QVERIFY(startFprintd(false));
        Probe probe;
        QCOMPARE(probe.verifier.hasDevice(), hasDevice);
        QCOMPARE(probe.verifier.hasEnrolledPrints(), hasPrints);

        probe.verifier.start();
        if (obstacle.startsWith("ERROR"))
            QVERIFY(sendCommand(obstacle));
        if (obstacle == "fprintd stops")
            QVERIFY(awaitVerification(probe) && stopFprintd());
        QTRY_COMPARE_WITH_TIMEOUT(probe.finished.count(), 1, kWaitMs);
        QCOMPARE(probe.last(), result);
        QVERIFY(!probe.verifier.isRunning());

        // The reader is free again, and a failed claim took nothing from the client holding it.
        if (held)
            QVERIFY(releaseAsClient());
        QVERIFY(allowUnknownPolkitActions(true));
        if (hasDevice && obstacle != "fprintd stops")
            QVERIFY(readerBecomesFree());
        QCOMPARE(probe.finished.count(), 1);
    }

    void matchAfterIgnoredStartAndCancel()
    {
        Probe probe;
        QVERIFY(probe.verifier.hasDevice());
        QVERIFY(probe.verifier.hasEnrolledPrints());
        // A second verification alongside would fail to claim the reader and report that.
        probe.verifier.start();
        probe.verifier.start();
        QVERIFY(awaitVerification(probe));
        probe.verifier.start();
        // A prompt reopened at once must not trip over the reader that the cancelled verification is still
        // giving back; the cancelled one reports nothing.
        probe.verifier.cancel();
        QVERIFY(!probe.verifier.isRunning());
        QVERIFY(begin(probe));
        QVERIFY(scan(probe, kScanEnrolled));
        QCOMPARE(probe.finished.count(), 1);
        QCOMPARE(probe.last(), Result::success);
        // The same straight after a match.
        QVERIFY(begin(probe));
        QVERIFY(scan(probe, kScanEnrolled));
        QCOMPARE(probe.last(), Result::success);
        QVERIFY(!probe.verifier.isRunning());
        QVERIFY(readerBecomesFree());
        QCOMPARE(probe.finished.count(), 2);
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
