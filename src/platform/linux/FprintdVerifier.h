#pragma once

#include "auth/FingerprintVerifier.h"

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantList>

class QDBusPendingCall;
class QDBusServiceWatcher;

// One fingerprint verification at a time through fprintd (net.reactivated.Fprint on the system bus):
// claims the default reader for the running user, verifies against any enrolled finger and releases
// the reader again on every way out. Every call during a verification is asynchronous, so the prompt
// stays responsive while fprintd opens the reader.
class FprintdVerifier : public FingerprintVerifier
{
    Q_OBJECT

public:
    explicit FprintdVerifier(QObject* parent = nullptr);
    ~FprintdVerifier() override;

    FprintdVerifier(const FprintdVerifier&) = delete;
    FprintdVerifier& operator=(const FprintdVerifier&) = delete;

    // Blocking, with a short timeout; false whenever the bus or fprintd does not answer.
    bool hasDevice() override;
    bool hasEnrolledPrints() override;

    // Starts a verification; ignored while one runs. Ends in exactly one finished() unless cancelled.
    void start() override;
    // Ends the running verification without finished().
    void cancel() override;
    bool isRunning() const { return m_state != State::idle; }

private slots:
    void onVerifyStatus(const QString& status, bool done);

private:
    enum class State
    {
        idle,
        waiting,    // for the reader to be released by the previous verification
        locating,   // GetDefaultDevice sent
        claiming,   // Claim sent
        starting,   // VerifyStart sent; statuses may precede its reply
        verifying,  // waiting for VerifyStatus
        restarting, // VerifyStop sent after a no-match; VerifyStart follows
    };

    using ReplyHandler = void (FprintdVerifier::*)(const QDBusMessage&);

    void watch(const QDBusPendingCall& call, ReplyHandler handler);
    void onDeviceLocated(const QDBusMessage& reply);
    bool subscribe();
    void sendClaim();
    void onClaimReply(quint64 generation, const QString& device, const QDBusMessage& reply);
    void sendVerifyStart();
    void onVerifyStarted(const QDBusMessage& reply);
    void onVerifyStoppedForRetry(const QDBusMessage& reply);
    void onServiceGone();
    void finish(Authenticator::Result result, const QString& description = {});
    void finishLater(Authenticator::Result result, const QString& description);
    void abandon();
    void releaseDevice(const QString& device);
    void startIfWaiting();

    State m_state = State::idle;
    // Bumped whenever a verification ends, so that replies belonging to it are recognised as stale.
    quint64 m_generation = 0;
    QString m_device;
    QString m_subscribedDevice;
    bool m_claimed = false;
    bool m_claimInFlight = false;
    int m_releasesInFlight = 0;
    QDBusServiceWatcher* m_serviceWatcher = nullptr;
};
