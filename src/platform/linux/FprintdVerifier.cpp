#include "platform/linux/FprintdVerifier.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString kService = QStringLiteral("net.reactivated.Fprint");
const QString kManagerPath = QStringLiteral("/net/reactivated/Fprint/Manager");
const QString kManagerInterface = QStringLiteral("net.reactivated.Fprint.Manager");
const QString kDeviceInterface = QStringLiteral("net.reactivated.Fprint.Device");
const QString kNoEnrolledPrints = QStringLiteral("net.reactivated.Fprint.Error.NoEnrolledPrints");
const QString kInternalError = QStringLiteral("net.reactivated.Fprint.Error.Internal");

// A reader query unanswered for this long counts as no reader, until the next refresh.
constexpr int kQueryTimeoutMs = 1000;
// Opening a USB reader can take a few seconds; beyond this the reader counts as unavailable.
constexpr int kCallTimeoutMs = 10000;

QString runningUserName()
{
    const passwd* entry = ::getpwuid(::geteuid());
    // An empty name makes fprintd use the caller's own user, which is the same user.
    return entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

QDBusMessage deviceCall(const QString& device, const QString& method, const QVariantList& arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, device, kDeviceInterface, method);
    message.setArguments(arguments);
    return message;
}

QDBusMessage managerCall(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kManagerPath, kManagerInterface, method);
}

bool isReply(const QDBusMessage& message)
{
    return message.type() == QDBusMessage::ReplyMessage;
}

// Stops whatever the reader is doing, then gives it back, and calls `done`. VerifyStop comes first
// because the interface asks for it after every result; Release waits for its answer so that the two
// never overlap in the daemon. The watchers belong to no object: the reader must be released even when
// the verifier is destroyed on the way, or this process's connection would keep it from every other
// client.
void releaseReader(const QString& device, std::function<void()> done)
{
    auto* stop = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(
        deviceCall(device, QStringLiteral("VerifyStop")), kCallTimeoutMs));
    QObject::connect(stop, &QDBusPendingCallWatcher::finished, stop, [stop, device, done = std::move(done)] {
        stop->deleteLater();
        auto* release = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(
            deviceCall(device, QStringLiteral("Release")), kCallTimeoutMs));
        QObject::connect(release, &QDBusPendingCallWatcher::finished, release, [release, done] {
            release->deleteLater();
            if (done) {
                done();
            }
        });
    });
}

std::optional<FingerprintVerifier::Scan> failedScan(const QString& status)
{
    using Scan = FingerprintVerifier::Scan;
    static const QHash<QString, Scan> scans{
        {QStringLiteral("verify-no-match"), Scan::noMatch},
        {QStringLiteral("verify-swipe-too-short"), Scan::swipeTooShort},
        {QStringLiteral("verify-finger-not-centered"), Scan::notCentered},
        {QStringLiteral("verify-remove-and-retry"), Scan::removeAndRetry},
        {QStringLiteral("verify-retry-scan"), Scan::retryScan},
    };
    const auto found = scans.constFind(status);
    return found == scans.cend() ? std::nullopt : std::optional(*found);
}

QString readerError()
{
    return FprintdVerifier::tr("Fingerprint reader error");
}
} // namespace

FprintdVerifier::FprintdVerifier(QObject* parent)
    : FingerprintVerifier(parent)
    , m_serviceWatcher(new QDBusServiceWatcher(kService, QDBusConnection::systemBus(),
                                               QDBusServiceWatcher::WatchForOwnerChange, this))
{
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &FprintdVerifier::onServiceGone);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this,
            &FprintdVerifier::refreshAvailability);
    refreshAvailability();
}

FprintdVerifier::~FprintdVerifier()
{
    ++m_generation;
    if (m_claimed) {
        releaseReader(m_device, nullptr);
    }
    // A Claim still on its way is released by its own watcher, which outlives this object.
}

bool FprintdVerifier::hasDevice()
{
    refreshAvailability();
    return m_hasDevice;
}

bool FprintdVerifier::hasEnrolledPrints()
{
    refreshAvailability();
    return m_hasPrints;
}

void FprintdVerifier::refreshAvailability()
{
    if (m_refreshing) {
        return;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        setAvailability(false, false);
        return;
    }
    m_refreshing = true;
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(managerCall(QStringLiteral("GetDefaultDevice")), kQueryTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        onRefreshDeviceLocated(watcher->reply());
    });
}

void FprintdVerifier::onRefreshDeviceLocated(const QDBusMessage& reply)
{
    if (!isReply(reply) || reply.arguments().isEmpty()) {
        setAvailability(false, false);
        return;
    }
    const QString device = reply.arguments().constFirst().value<QDBusObjectPath>().path();
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(
            deviceCall(device, QStringLiteral("ListEnrolledFingers"), {runningUserName()}), kQueryTimeoutMs),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        // Without prints fprintd answers NoEnrolledPrints rather than an empty list; both mean none.
        const QDBusMessage listed = watcher->reply();
        setAvailability(true, isReply(listed) && !listed.arguments().isEmpty() &&
                                  !listed.arguments().constFirst().toStringList().isEmpty());
    });
}

void FprintdVerifier::setAvailability(bool device, bool prints)
{
    m_refreshing = false;
    m_hasDevice = device;
    m_hasPrints = prints;
    emit availabilityRefreshed();
}

void FprintdVerifier::start()
{
    if (m_state != State::idle) {
        return;
    }
    // fprintd refuses a Claim while it is still closing the reader for our previous Release.
    if (m_claimInFlight || m_releasesInFlight > 0) {
        m_state = State::waiting;
        return;
    }
    // Qt hands out a null pending call on a bus that never connected, and that one never finishes.
    if (!QDBusConnection::systemBus().isConnected()) {
        finishLater(Authenticator::Result::notAvailable, tr("No system bus"));
        return;
    }
    m_state = State::locating;
    // On a missing service the call fails at once, and the error reply arrives from the event loop.
    watch(QDBusConnection::systemBus().asyncCall(managerCall(QStringLiteral("GetDefaultDevice")),
                                                 kCallTimeoutMs),
          &FprintdVerifier::onDeviceLocated);
}

void FprintdVerifier::cancel()
{
    if (m_state != State::idle) {
        abandon();
    }
}

void FprintdVerifier::watch(const QDBusPendingCall& call, ReplyHandler handler)
{
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    const quint64 generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation, handler] {
        watcher->deleteLater();
        if (generation == m_generation) {
            (this->*handler)(watcher->reply());
        }
    });
}

void FprintdVerifier::onDeviceLocated(const QDBusMessage& reply)
{
    // NoSuchDevice, no fprintd, no bus: all mean there is no reader to use.
    if (!isReply(reply) || reply.arguments().isEmpty()) {
        finish(Authenticator::Result::notAvailable, reply.errorMessage());
        return;
    }
    m_device = reply.arguments().constFirst().value<QDBusObjectPath>().path();
    if (!subscribe()) {
        finish(Authenticator::Result::notAvailable, QDBusConnection::systemBus().lastError().message());
        return;
    }
    sendClaim();
}

// VerifyStatus is only ever accepted while verifying, so the subscription can stay across
// verifications; it moves only when fprintd names another default reader.
bool FprintdVerifier::subscribe()
{
    if (m_subscribedDevice == m_device) {
        return true;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    const QString signal = QStringLiteral("VerifyStatus");
    if (!m_subscribedDevice.isEmpty()) {
        bus.disconnect(kService, m_subscribedDevice, kDeviceInterface, signal, this,
                       SLOT(onVerifyStatus(QString, bool)));
        m_subscribedDevice.clear();
    }
    if (!bus.connect(kService, m_device, kDeviceInterface, signal, this,
                     SLOT(onVerifyStatus(QString, bool)))) {
        return false;
    }
    m_subscribedDevice = m_device;
    return true;
}

void FprintdVerifier::sendClaim()
{
    m_state = State::claiming;
    m_claimInFlight = true;
    // Not a child: a successful Claim must be released even when its answer comes after this object is
    // gone or the verification was cancelled.
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(
        deviceCall(m_device, QStringLiteral("Claim"), {runningUserName()}), kCallTimeoutMs));
    QPointer<FprintdVerifier> self(this);
    const quint64 generation = m_generation;
    const QString device = m_device;
    connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [self, watcher, generation, device] {
        watcher->deleteLater();
        if (self) {
            self->onClaimReply(generation, device, watcher->reply());
        } else if (isReply(watcher->reply())) {
            releaseReader(device, nullptr);
        }
    });
}

void FprintdVerifier::onClaimReply(quint64 generation, const QString& device, const QDBusMessage& reply)
{
    m_claimInFlight = false;
    if (generation != m_generation) {
        if (isReply(reply)) {
            releaseDevice(device);
        } else {
            startIfWaiting();
        }
        return;
    }
    // PermissionDenied, AlreadyInUse (another client holds the reader), a reader that fails to open:
    // the fingerprint cannot be used now.
    if (!isReply(reply)) {
        finish(Authenticator::Result::notAvailable, reply.errorMessage());
        return;
    }
    m_claimed = true;
    sendVerifyStart();
}

void FprintdVerifier::sendVerifyStart()
{
    m_state = State::starting;
    watch(QDBusConnection::systemBus().asyncCall(
              deviceCall(m_device, QStringLiteral("VerifyStart"), {QStringLiteral("any")}), kCallTimeoutMs),
          &FprintdVerifier::onVerifyStarted);
}

void FprintdVerifier::onVerifyStarted(const QDBusMessage& reply)
{
    // A status that came ahead of this reply may have moved on already (to a retry after a no-match).
    if (m_state != State::starting) {
        return;
    }
    if (isReply(reply)) {
        m_state = State::verifying;
        return;
    }
    if (reply.errorName() == kNoEnrolledPrints) {
        finish(Authenticator::Result::notEnrolled, reply.errorMessage());
    } else if (reply.errorName() == kInternalError) {
        finish(Authenticator::Result::otherError, readerError());
    } else {
        finish(Authenticator::Result::notAvailable, reply.errorMessage());
    }
}

void FprintdVerifier::onVerifyStatus(const QString& status, bool done)
{
    // fprintd answers VerifyStart only once the driver has started, so a finger already on the reader
    // can be reported before the reply. Statuses of an earlier verification all come before the reply
    // to its VerifyStop (one sender, one order), so none can be mistaken for this one.
    if (m_state != State::starting && m_state != State::verifying) {
        return;
    }
    if (status == QLatin1String("verify-match")) {
        finish(Authenticator::Result::success);
    } else if (status == QLatin1String("verify-no-match")) {
        // fprintd ends the verification on a no-match; it takes a VerifyStop before the next start.
        // The state moves first, so a listener that cancels from scanFailed finds it consistent.
        m_state = State::restarting;
        watch(QDBusConnection::systemBus().asyncCall(deviceCall(m_device, QStringLiteral("VerifyStop")),
                                                     kCallTimeoutMs),
              &FprintdVerifier::onVerifyStoppedForRetry);
        emit scanFailed(Scan::noMatch);
    } else if (status == QLatin1String("verify-disconnected")) {
        finish(Authenticator::Result::notAvailable, tr("The fingerprint reader was disconnected"));
    } else if (done) {
        // verify-unknown-error, or a final status newer than this code.
        finish(Authenticator::Result::otherError, readerError());
    } else if (const std::optional<Scan> scan = failedScan(status)) {
        emit scanFailed(*scan);
    }
}

void FprintdVerifier::onVerifyStoppedForRetry(const QDBusMessage&)
{
    // Even a failed stop (nothing in progress) leaves the reader ready for the next start; a reader
    // that is really gone makes VerifyStart fail instead.
    if (m_state == State::restarting) {
        sendVerifyStart();
    }
}

void FprintdVerifier::onServiceGone()
{
    m_hasDevice = false;
    m_hasPrints = false;
    if (m_state == State::idle || m_state == State::waiting) {
        return;
    }
    // fprintd dropped every claim with its connection; there is nothing left to release.
    m_claimed = false;
    finish(Authenticator::Result::notAvailable, tr("The fingerprint service stopped"));
}

void FprintdVerifier::finish(Authenticator::Result result, const QString& description)
{
    abandon();
    // What the verification ran into (no reader, no prints) is what the next prompt should know.
    if (result != Authenticator::Result::success) {
        refreshAvailability();
    }
    emit finished(result, description);
}

// Reports from the event loop, so that finished() never fires inside start().
void FprintdVerifier::finishLater(Authenticator::Result result, const QString& description)
{
    m_state = State::locating;
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation, result, description] {
        if (generation == m_generation) {
            finish(result, description);
        }
    });
}

void FprintdVerifier::abandon()
{
    m_state = State::idle;
    ++m_generation;
    if (m_claimed) {
        m_claimed = false;
        releaseDevice(m_device);
    }
}

void FprintdVerifier::releaseDevice(const QString& device)
{
    ++m_releasesInFlight;
    releaseReader(device, [self = QPointer<FprintdVerifier>(this)] {
        if (self) {
            --self->m_releasesInFlight;
            self->startIfWaiting();
        }
    });
}

void FprintdVerifier::startIfWaiting()
{
    if (m_state == State::waiting && !m_claimInFlight && m_releasesInFlight == 0) {
        m_state = State::idle;
        start();
    }
}
