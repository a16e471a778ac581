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
// the reader again on every way out. Every call is asynchronous, so neither the prompt nor the shield
// ever waits for fprintd: whether a reader and prints exist is cached and refreshed in the background.
class FprintdVerifier : public FingerprintVerifier
{
    Q_OBJECT

public:
    explicit FprintdVerifier(QObject* parent = nullptr);
    ~FprintdVerifier() override;

    FprintdVerifier(const FprintdVerifier&) = delete;
    FprintdVerifier& operator=(const FprintdVerifier&) = delete;

    // The cached answers, at once; each call also starts a refresh unless one is running. False until
    // fprintd has answered, and after it stopped answering.
    bool hasDevice() override;
    bool hasEnrolledPrints() override;
    // Asks fprintd again in the background; availabilityRefreshed() follows. One refresh at a time.
    void refreshAvailability();

    // Starts a verification; ignored while one runs. Ends in exactly one finished() unless cancelled.
    void start() override;
    // Ends the running verification without finished().
    void cancel() override;
    bool isRunning() const { return m_state != State::idle; }

signals:
    // The cached answers were refreshed (possibly to the same values).
    void availabilityRefreshed();

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
    void onRefreshDeviceLocated(const QDBusMessage& reply);
    void setAvailability(bool device, bool prints);

    State m_state = State::idle;
    // Bumped whenever a verification ends, so that replies belonging to it are recognised as stale.
    quint64 m_generation = 0;
    QString m_device;
    QString m_subscribedDevice;
    bool m_claimed = false;
    bool m_claimInFlight = false;
    int m_releasesInFlight = 0;
    QDBusServiceWatcher* m_serviceWatcher = nullptr;
    bool m_hasDevice = false;
    bool m_hasPrints = false;
    bool m_refreshing = false;
};
