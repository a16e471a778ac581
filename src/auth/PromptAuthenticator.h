#pragma once

#include "auth/Alarm.h"
#include "auth/Authenticator.h"
#include "auth/FingerprintVerifier.h"

#include <QObject>

#include <memory>

class AttemptBackoff;
class PasswordVerifier;
class PresencePrompt;

// The prompt's whole flow in one place: the fingerprint prompt with "Enter Password…", the
// password prompt, what each says, how many tries each allows, and the wait that failed attempts in
// a row impose (AttemptBackoff). The window, the reader and the password check are behind
// interfaces. One prompt at a time.
class PromptAuthenticator : public QObject, public Authenticator
{
    Q_OBJECT

public:
    static constexpr int MaxPasswordAttempts = 3;
    // No-matches that end one fingerprint prompt, and consecutive no-matches (across prompts,
    // reset by a match or an accepted password) after which only the password is offered.
    static constexpr int FingerprintAttemptsPerPrompt = 3;
    static constexpr int FingerprintAttemptsBeforeLockout = 5;

    PromptAuthenticator(PresencePrompt& prompt, FingerprintVerifier& fingerprint, PasswordVerifier& password,
                        AttemptBackoff& backoff, QObject* parent = nullptr);
    ~PromptAuthenticator() override;

    bool canUseFingerprint() override;
    bool hasFingerprintReader() override;
    void evaluate(Policy policy, const QString& reason, std::function<void(Outcome)> done) override;

    bool isPromptOpen() const { return bool(m_done); }
    bool isFingerprintLockedOut() const { return m_consecutiveNoMatches >= FingerprintAttemptsBeforeLockout; }
    static QString scanHint(FingerprintVerifier::Scan scan);
    // Closes an open prompt on behalf of the application (appCancel) or the system (systemCancel).
    void cancelPrompt(Result result);

private:
    void onPasswordSubmitted(QByteArray password);
    void onScanFailed(FingerprintVerifier::Scan scan);
    void onFingerprintFinished(Result result, const QString& description);
    void onFallbackRequested();
    void finish(Result result, const QString& description = {});
    bool fingerprintPromptOpen() const { return isPromptOpen() && m_policy == Policy::fingerprint; }
    void recordFailure(const QString& detail);
    // Shows the wait and keeps input disabled until the back-off allows the next attempt; false
    // when no wait is due.
    bool waitIfBackingOff();
    void onWaitAlarm(quint64 generation);
    // The prompt's input as it is when no wait is due: the reader runs or the field is enabled.
    void resumeAfterWait();

    PresencePrompt& m_prompt;
    FingerprintVerifier& m_fingerprint;
    PasswordVerifier& m_password;
    AttemptBackoff& m_backoff;
    QString m_reason;
    // Armed while the prompt waits out the back-off: at the next change of the shown wait.
    std::unique_ptr<Alarm> m_waitAlarm;
    std::function<void(Outcome)> m_done;
    Policy m_policy = Policy::deviceOwner;
    int m_failedPasswords = 0;
    int m_noMatches = 0;
    int m_consecutiveNoMatches = 0;
    bool m_checkingPassword = false;
    // Tells the password check of an earlier prompt from the current one's.
    quint64 m_generation = 0;
};
