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

#include <csignal>
#include <memory>
#include <optional>
#include <pwd.h>
#include <sys/prctl.h>
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

Result resultOf(const QSignalSpy& finished, int index = 0)
{
    return finished.at(index).at(0).value<Result>();
}

QString descriptionOf(const QSignalSpy& finished, int index = 0)
{
    return finished.at(index).at(1).toString();
}

} // namespace

class TestFprintdVerifier : public QObject
{
    Q_OBJECT

public slots:
    // Not a test: receives EnrollStatus while the rig enrols a finger.
    void onEnrollStatus(const QString& result, bool done);

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void queriesSeeReaderAndPrints();
    void matchSucceedsAndReleasesReader();
    void scanProblemsAskForAnotherScan();
    void threeNoMatchesFail();
    void fiveConsecutiveNoMatchesLockOut();
    void matchResetsConsecutiveNoMatches();
    void readerErrorIsOtherError();
    void disconnectedReaderIsNotAvailable();
    void readerHeldByAnotherClientIsNotAvailable();
    void polkitDenialIsNotAvailable();
    void withoutPrintsIsNotEnrolled();
    void startWhileRunningIsIgnored();
    void cancelReleasesReaderWithoutFinishing();
    void cancelOrDestroyAtAnyPointReleasesReader();
    void startRightAfterCancelVerifies();
    void destructionReleasesReader();
    void fprintdStoppingIsNotAvailable();
    void withoutReaderIsNotAvailable();
    void withoutFprintdIsNotAvailable();

private:
    bool startFprintd(bool withReader);
    bool stopFprintd();
    QString devicePath();
    QDBusMessage callDevice(const QString& method, const QVariantList& arguments = {});
    bool claimAsClient();
    bool releaseAsClient();
    bool readerBecomesFree();
    bool enroll();
    bool removePrints();
    bool allowUnknownPolkitActions(bool allow);
    bool tryCommand(const QByteArray& command);
    bool sendCommand(const QByteArray& command);
    bool awaitVerification(QSignalSpy& retries);

    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_bus;
    QProcess m_polkit;
    QProcess m_fprintd;
    std::optional<QDBusConnection> m_client;
    int m_enrollStatuses = 0;
    bool m_enrollDone = false;
    QString m_enrollResult;
};

void TestFprintdVerifier::onEnrollStatus(const QString& result, bool done)
{
    ++m_enrollStatuses;
    m_enrollDone = done;
    m_enrollResult = result;
}

void TestFprintdVerifier::initTestCase()
{
    for (const QString& program : {kFprintd, QStringLiteral("/usr/bin/dbus-daemon"), kPython}) {
        if (!QFileInfo(program).isExecutable()) {
            QSKIP(qPrintable(program + QLatin1String(" is not installed")));
        }
    }
    if (QProcess::execute(kPython, {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0) {
        QSKIP("python3-dbusmock is not installed for /usr/bin/python3");
    }
    QVERIFY(m_dir.isValid());
    m_socket = m_dir.filePath(QStringLiteral("virtual-reader"));

    // A system bus of the test's own, open to everyone: fprintd's real policy only lets root own
    // its name, which says nothing about the client.
    const QString busSocket = m_dir.filePath(QStringLiteral("system_bus_socket"));
    QFile config(m_dir.filePath(QStringLiteral("system-bus.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(
        QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
)")
            .arg(busSocket)
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
    m_client.emplace(QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("rig-client")));
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

void TestFprintdVerifier::init()
{
    FprintdVerifier::clearLockout();
    QVERIFY(enroll());
}

void TestFprintdVerifier::cleanup()
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

void TestFprintdVerifier::cleanupTestCase()
{
    stopFprintd();
    stop(m_polkit);
    if (m_client) {
        QDBusConnection::disconnectFromBus(m_client->name());
        m_client.reset();
    }
    stop(m_bus);
}

bool TestFprintdVerifier::startFprintd(bool withReader)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("STATE_DIRECTORY"), m_dir.filePath(QStringLiteral("fprintd-state")));
    // Only the virtual driver, so that a real reader on the machine running the tests is never used.
    environment.insert(QStringLiteral("FP_DRIVERS_WHITELIST"), QStringLiteral("virtual_device"));
    environment.remove(QStringLiteral("FP_VIRTUAL_DEVICE"));
    if (withReader) {
        environment.insert(QStringLiteral("FP_VIRTUAL_DEVICE"), m_socket);
    }
    m_fprintd.setProcessEnvironment(environment);
    dieWithTest(m_fprintd);
    m_fprintd.setStandardOutputFile(m_dir.filePath(QStringLiteral("fprintd.log")), QIODevice::Append);
    m_fprintd.setStandardErrorFile(m_dir.filePath(QStringLiteral("fprintd.log")), QIODevice::Append);
    m_fprintd.start(kFprintd, {QStringLiteral("--no-timeout")});
    if (!m_fprintd.waitForStarted()) {
        qWarning() << "fprintd:" << m_fprintd.errorString();
        return false;
    }
    return QTest::qWaitFor([this] { return m_client->interface()->isServiceRegistered(kService).value(); },
                           kWaitMs);
}

bool TestFprintdVerifier::stopFprintd()
{
    stop(m_fprintd);
    return QTest::qWaitFor([this] { return !m_client->interface()->isServiceRegistered(kService).value(); },
                           kWaitMs);
}

QString TestFprintdVerifier::devicePath()
{
    const QDBusMessage reply = m_client->call(
        QDBusMessage::createMethodCall(kService, QStringLiteral("/net/reactivated/Fprint/Manager"),
                                       QStringLiteral("net.reactivated.Fprint.Manager"),
                                       QStringLiteral("GetDefaultDevice")),
        QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return {};
    }
    return reply.arguments().constFirst().value<QDBusObjectPath>().path();
}

QDBusMessage TestFprintdVerifier::callDevice(const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, devicePath(), kDeviceInterface, method);
    message.setArguments(arguments);
    return m_client->call(message, QDBus::Block, kCallTimeoutMs);
}

bool TestFprintdVerifier::claimAsClient()
{
    return callDevice(QStringLiteral("Claim"), {userName()}).type() == QDBusMessage::ReplyMessage;
}

bool TestFprintdVerifier::releaseAsClient()
{
    return callDevice(QStringLiteral("Release")).type() == QDBusMessage::ReplyMessage;
}

// Whether another client gets the reader: only then has the verifier really let it go. fprintd
// closes the reader asynchronously after a Release, so the claim is retried for a while.
bool TestFprintdVerifier::readerBecomesFree()
{
    const bool claimed = QTest::qWaitFor([this] { return claimAsClient(); }, kWaitMs);
    return claimed && releaseAsClient();
}

// Enrols the right index finger through fprintd's own Enroll, unless it is enrolled already.
bool TestFprintdVerifier::enroll()
{
    const QDBusMessage listed = callDevice(QStringLiteral("ListEnrolledFingers"), {userName()});
    if (listed.type() == QDBusMessage::ReplyMessage &&
        listed.arguments().constFirst().toStringList().contains(kEnrolledFinger)) {
        return true;
    }
    if (!readerBecomesFree() || !claimAsClient()) {
        return false;
    }
    const QString device = devicePath();
    const QString signal = QStringLiteral("EnrollStatus");
    m_client->connect(kService, device, kDeviceInterface, signal, this, SLOT(onEnrollStatus(QString, bool)));
    m_enrollStatuses = 0;
    m_enrollDone = false;
    bool started =
        callDevice(QStringLiteral("EnrollStart"), {kEnrolledFinger}).type() == QDBusMessage::ReplyMessage;
    // One scan per enrolment stage, until fprintd says the enrolment is over.
    for (int stage = 0; started && !m_enrollDone && stage < 20; ++stage) {
        const int before = m_enrollStatuses;
        started =
            sendCommand(kScanEnrolled) && QTest::qWaitFor([&] { return m_enrollStatuses > before; }, kWaitMs);
    }
    callDevice(QStringLiteral("EnrollStop"));
    m_client->disconnect(kService, device, kDeviceInterface, signal, this,
                         SLOT(onEnrollStatus(QString, bool)));
    releaseAsClient();
    if (m_enrollResult != QLatin1String("enroll-completed")) {
        qWarning() << "enrolment ended with" << m_enrollResult;
        return false;
    }
    return true;
}

bool TestFprintdVerifier::removePrints()
{
    if (!readerBecomesFree() || !claimAsClient()) {
        return false;
    }
    const bool deleted =
        callDevice(QStringLiteral("DeleteEnrolledFingers2")).type() == QDBusMessage::ReplyMessage;
    return releaseAsClient() && deleted;
}

bool TestFprintdVerifier::allowUnknownPolkitActions(bool allow)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        kPolkitService, QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
        QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AllowUnknown"));
    message.setArguments({allow});
    return m_client->call(message, QDBus::Block, kCallTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

// The virtual reader listens only while the reader is open (claimed); one command per connection.
bool TestFprintdVerifier::tryCommand(const QByteArray& command)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(m_socket);
    if (path.size() >= static_cast<qsizetype>(sizeof address.sun_path)) {
        ::close(fd);
        return false;
    }
    std::copy(path.begin(), path.end(), address.sun_path);
    const bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                      ::write(fd, command.constData(), static_cast<size_t>(command.size())) == command.size();
    ::close(fd);
    return sent;
}

// Commands sent while the reader is open but not yet verifying wait in the driver's queue.
bool TestFprintdVerifier::sendCommand(const QByteArray& command)
{
    return QTest::qWaitFor([&] { return tryCommand(command); }, kWaitMs);
}

// Waits until the verifier's verification runs, proven by a retry request making it through. A
// command can land in the reader while a previous claim still closes it and be dropped, hence the
// repeats.
bool TestFprintdVerifier::awaitVerification(QSignalSpy& retries)
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        const qsizetype before = retries.count();
        if (sendCommand("RETRY 0") && QTest::qWaitFor([&] { return retries.count() > before; }, 1000)) {
            return true;
        }
    }
    return false;
}

void TestFprintdVerifier::queriesSeeReaderAndPrints()
{
    FprintdVerifier verifier;
    QVERIFY(verifier.hasDevice());
    QVERIFY(verifier.hasEnrolledPrints());
    // Queries do not claim the reader.
    QVERIFY(readerBecomesFree());
}

void TestFprintdVerifier::matchSucceedsAndReleasesReader()
{
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);
    QSignalSpy retries(&verifier, &FprintdVerifier::retryNeeded);

    verifier.start();
    QVERIFY(verifier.isRunning());
    QVERIFY(sendCommand(kScanEnrolled));

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::success);
    QCOMPARE(retries.count(), 0);
    QVERIFY(!verifier.isRunning());
    QVERIFY(readerBecomesFree());
    QCOMPARE(finished.count(), 1);
}

void TestFprintdVerifier::scanProblemsAskForAnotherScan()
{
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);
    QSignalSpy retries(&verifier, &FprintdVerifier::retryNeeded);

    verifier.start();
    // retry-scan, swipe-too-short, finger-not-centered, remove-and-retry.
    for (int code = 0; code < 4; ++code) {
        QVERIFY(sendCommand(QByteArray("RETRY ") + QByteArray::number(code)));
        QTRY_COMPARE_WITH_TIMEOUT(retries.count(), code + 1, kWaitMs);
    }
    QCOMPARE(finished.count(), 0);
    QSet<QString> hints;
    for (const QList<QVariant>& retry : retries) {
        hints.insert(retry.at(0).toString());
    }
    QVERIFY(!hints.contains(QString()));
    QCOMPARE(hints.size(), 4);

    // None of them counts as a failed attempt.
    QVERIFY(sendCommand(kScanOther));
    QTRY_COMPARE_WITH_TIMEOUT(retries.count(), 5, kWaitMs);
    QVERIFY(sendCommand(kScanEnrolled));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::success);
    QVERIFY(readerBecomesFree());
}

void TestFprintdVerifier::threeNoMatchesFail()
{
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);
    QSignalSpy retries(&verifier, &FprintdVerifier::retryNeeded);

    verifier.start();
    QVERIFY(sendCommand(kScanOther));
    QTRY_COMPARE_WITH_TIMEOUT(retries.count(), 1, kWaitMs);
    QVERIFY(sendCommand(kScanOther));
    QTRY_COMPARE_WITH_TIMEOUT(retries.count(), 2, kWaitMs);
    QCOMPARE(finished.count(), 0);
    QVERIFY(verifier.isRunning());
    QVERIFY(sendCommand(kScanOther));

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::fingerprintFailed);
    QCOMPARE(retries.count(), 2);
    QVERIFY(!FprintdVerifier::isLockedOut());
    QVERIFY(readerBecomesFree());
}

void TestFprintdVerifier::fiveConsecutiveNoMatchesLockOut()
{
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);
    QSignalSpy retries(&verifier, &FprintdVerifier::retryNeeded);

    verifier.start();
    for (int scan = 1; scan <= 3; ++scan) {
        QVERIFY(sendCommand(kScanOther));
        QTRY_COMPARE_WITH_TIMEOUT(retries.count() + finished.count(), scan, kWaitMs);
    }
    QCOMPARE(finished.count(), 1);
    QCOMPARE(resultOf(finished, 0), Result::fingerprintFailed);

    // The count runs on across verifications: the fifth no-match overall locks out.
    retries.clear();
    verifier.start();
    QVERIFY(sendCommand(kScanOther));
    QTRY_COMPARE_WITH_TIMEOUT(retries.count(), 1, kWaitMs);
    QVERIFY(sendCommand(kScanOther));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, kWaitMs);
    QCOMPARE(resultOf(finished, 1), Result::lockout);
    QCOMPARE(retries.count(), 1);
    QVERIFY(FprintdVerifier::isLockedOut());
    QVERIFY(readerBecomesFree());

    // Locked out, a verification does not even need the reader: while another client holds it, the
    // answer is still lockout rather than notAvailable.
    QVERIFY(claimAsClient());
    verifier.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, kWaitMs);
    QCOMPARE(resultOf(finished, 2), Result::lockout);
    QVERIFY(releaseAsClient());

    // Another verifier of the same process is locked out too.
    FprintdVerifier other;
    QSignalSpy otherFinished(&other, &FprintdVerifier::finished);
    other.start();
    QTRY_COMPARE_WITH_TIMEOUT(otherFinished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(otherFinished), Result::lockout);

    // Cleared (after the password proved presence), the fingerprint works again.
    FprintdVerifier::clearLockout();
    verifier.start();
    QVERIFY(sendCommand(kScanEnrolled));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 4, kWaitMs);
    QCOMPARE(resultOf(finished, 3), Result::success);
    QVERIFY(readerBecomesFree());
}

void TestFprintdVerifier::matchResetsConsecutiveNoMatches()
{
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);
    QSignalSpy retries(&verifier, &FprintdVerifier::retryNeeded);

    // Three no-matches, then one more and a match: four in a row without the reset in between.
    verifier.start();
    for (int scan = 1; scan <= 3; ++scan) {
        QVERIFY(sendCommand(kScanOther));
        QTRY_COMPARE_WITH_TIMEOUT(retries.count() + finished.count(), scan, kWaitMs);
    }
    QCOMPARE(resultOf(finished, 0), Result::fingerprintFailed);
    verifier.start();
    QVERIFY(sendCommand(kScanOther));
    QTRY_COMPARE_WITH_TIMEOUT(retries.count(), 3, kWaitMs);
    QVERIFY(sendCommand(kScanEnrolled));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, kWaitMs);
    QCOMPARE(resultOf(finished, 1), Result::success);

    // After the match, three more no-matches are an ordinary failure, not a lockout.
    verifier.start();
    for (int scan = 1; scan <= 3; ++scan) {
        QVERIFY(sendCommand(kScanOther));
        QTRY_COMPARE_WITH_TIMEOUT(retries.count() + finished.count(), 3 + 2 + scan, kWaitMs);
    }
    QCOMPARE(finished.count(), 3);
    QCOMPARE(resultOf(finished, 2), Result::fingerprintFailed);
    QVERIFY(!FprintdVerifier::isLockedOut());
    QVERIFY(readerBecomesFree());
}

void TestFprintdVerifier::readerErrorIsOtherError()
{
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);

    verifier.start();
    // FP_DEVICE_ERROR_GENERAL: fprintd reports verify-unknown-error.
    QVERIFY(sendCommand("ERROR 0"));

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::otherError);
    QCOMPARE(descriptionOf(finished), QStringLiteral("Fingerprint reader error"));
    QVERIFY(readerBecomesFree());
}

void TestFprintdVerifier::disconnectedReaderIsNotAvailable()
{
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);

    verifier.start();
    // FP_DEVICE_ERROR_PROTO: fprintd reports verify-disconnected.
    QVERIFY(sendCommand("ERROR 5"));

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::notAvailable);
    QVERIFY(readerBecomesFree());
}

void TestFprintdVerifier::readerHeldByAnotherClientIsNotAvailable()
{
    QVERIFY(claimAsClient());
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);

    verifier.start();

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::notAvailable);
    // The failed claim took nothing away from the client holding the reader.
    QVERIFY(releaseAsClient());
}

void TestFprintdVerifier::polkitDenialIsNotAvailable()
{
    QVERIFY(allowUnknownPolkitActions(false));
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);

    QVERIFY(verifier.hasDevice());
    QVERIFY(!verifier.hasEnrolledPrints());
    verifier.start();

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::notAvailable);
    QVERIFY(allowUnknownPolkitActions(true));
    QVERIFY(readerBecomesFree());
}

void TestFprintdVerifier::withoutPrintsIsNotEnrolled()
{
    QVERIFY(removePrints());
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);

    QVERIFY(verifier.hasDevice());
    QVERIFY(!verifier.hasEnrolledPrints());
    verifier.start();

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::notEnrolled);
    QVERIFY(readerBecomesFree());
}

void TestFprintdVerifier::startWhileRunningIsIgnored()
{
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);
    QSignalSpy retries(&verifier, &FprintdVerifier::retryNeeded);

    verifier.start();
    verifier.start();
    QVERIFY(awaitVerification(retries));
    verifier.start();
    QVERIFY(sendCommand(kScanEnrolled));

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::success);
    // A second verification would have failed to claim the reader and reported that by now.
    QVERIFY(readerBecomesFree());
    QCOMPARE(finished.count(), 1);
}

void TestFprintdVerifier::cancelReleasesReaderWithoutFinishing()
{
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);
    QSignalSpy retries(&verifier, &FprintdVerifier::retryNeeded);

    verifier.start();
    QVERIFY(awaitVerification(retries));
    verifier.cancel();

    QVERIFY(!verifier.isRunning());
    QVERIFY(readerBecomesFree());
    QCOMPARE(finished.count(), 0);
}

// Cancel or destroy while GetDefaultDevice, Claim, VerifyStart or the verification itself is on its
// way: whichever it hits, the reader ends up free and nothing is reported.
void TestFprintdVerifier::cancelOrDestroyAtAnyPointReleasesReader()
{
    for (int delay = 0; delay <= 40; delay += 4) {
        for (const bool destroy : {false, true}) {
            auto verifier = std::make_unique<FprintdVerifier>();
            QSignalSpy finished(verifier.get(), &FprintdVerifier::finished);
            verifier->start();
            QTest::qWait(delay);
            if (destroy) {
                verifier.reset();
            } else {
                verifier->cancel();
            }
            QVERIFY2(
                readerBecomesFree(),
                qPrintable(
                    QStringLiteral("after %1 ms, %2").arg(delay).arg(destroy ? "destroyed" : "cancelled")));
            QCOMPARE(finished.count(), 0);
        }
    }
}

// A prompt reopened at once must not trip over the reader that the cancelled verification is still
// giving back.
void TestFprintdVerifier::startRightAfterCancelVerifies()
{
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);
    QSignalSpy retries(&verifier, &FprintdVerifier::retryNeeded);

    verifier.start();
    QVERIFY(awaitVerification(retries));
    verifier.cancel();
    verifier.start();
    QVERIFY(verifier.isRunning());
    QVERIFY(awaitVerification(retries));
    QVERIFY(sendCommand(kScanEnrolled));

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::success);

    // The same straight after a finished verification.
    verifier.start();
    QVERIFY(awaitVerification(retries));
    QVERIFY(sendCommand(kScanEnrolled));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, kWaitMs);
    QCOMPARE(resultOf(finished, 1), Result::success);
    QVERIFY(readerBecomesFree());
}

void TestFprintdVerifier::destructionReleasesReader()
{
    auto verifier = std::make_unique<FprintdVerifier>();
    QSignalSpy retries(verifier.get(), &FprintdVerifier::retryNeeded);
    verifier->start();
    QVERIFY(awaitVerification(retries));

    verifier.reset();

    QVERIFY(readerBecomesFree());
}

void TestFprintdVerifier::fprintdStoppingIsNotAvailable()
{
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);
    QSignalSpy retries(&verifier, &FprintdVerifier::retryNeeded);
    verifier.start();
    QVERIFY(awaitVerification(retries));

    QVERIFY(stopFprintd());

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::notAvailable);
    QVERIFY(!verifier.isRunning());
}

void TestFprintdVerifier::withoutReaderIsNotAvailable()
{
    QVERIFY(stopFprintd());
    QVERIFY(startFprintd(false));
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);

    QVERIFY(!verifier.hasDevice());
    QVERIFY(!verifier.hasEnrolledPrints());
    verifier.start();

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::notAvailable);
}

void TestFprintdVerifier::withoutFprintdIsNotAvailable()
{
    QVERIFY(stopFprintd());
    FprintdVerifier verifier;
    QSignalSpy finished(&verifier, &FprintdVerifier::finished);

    QVERIFY(!verifier.hasDevice());
    QVERIFY(!verifier.hasEnrolledPrints());
    verifier.start();

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWaitMs);
    QCOMPARE(resultOf(finished), Result::notAvailable);
}

QTEST_GUILESS_MAIN(TestFprintdVerifier)
#include "TestFprintdVerifier.moc"
