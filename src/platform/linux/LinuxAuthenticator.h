#pragma once

#include "platform/Authenticator.h"

#include <QObject>

class FprintdVerifier;
class PresencePrompt;

// The prompt on Linux: fingerprint through fprintd, password through PAM, both in Veilmark's own
// prompt window. One prompt at a time.
class LinuxAuthenticator : public QObject, public Authenticator
{
    Q_OBJECT

public:
    static constexpr int MaxPasswordAttempts = 3;

    LinuxAuthenticator(PresencePrompt& prompt, FprintdVerifier& fingerprint,
                       const QString& pamService = QStringLiteral("veilmark"), QObject* parent = nullptr);
    ~LinuxAuthenticator() override;

    bool canUseFingerprint() override;
    bool hasFingerprintReader() override;
    void evaluate(Policy policy, const QString& reason, std::function<void(Outcome)> done) override;

    bool isPromptOpen() const { return bool(m_done); }
    // Closes an open prompt on behalf of the application (appCancel) or the system (systemCancel).
    void cancelPrompt(Result result);

private:
    void onPasswordSubmitted(QByteArray password);
    void onFingerprintFinished(Result result, const QString& description);
    void onFallbackRequested();
    void onCancelled();
    void finish(Result result, const QString& description = {});

    PresencePrompt& m_prompt;
    FprintdVerifier& m_fingerprint;
    QString m_pamService;
    QString m_user;
    std::function<void(Outcome)> m_done;
    Policy m_policy = Policy::deviceOwner;
    int m_failedPasswords = 0;
    bool m_checkingPassword = false;
    // Tells the PAM reply of an earlier prompt from the current one's.
    quint64 m_generation = 0;
};
