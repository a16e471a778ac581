#pragma once

#include "auth/Authenticator.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class KeychainService;

// The one front end that asks the user to prove presence. It picks the fingerprint-only prompt
// when it can, falls back to the password prompt when the fingerprint route is impossible or the
// user asks for it, and turns failures into short readable messages.
class AuthenticationService : public QObject
{
    Q_OBJECT

public:
    // What a prompt is for, so its failed attempts are filed under it whatever the language of
    // its reason.
    enum class Purpose
    {
        change,
        unlockApp,
        unlockFolder,
    };

    AuthenticationService(Authenticator& authenticator, KeychainService& keychain, QObject* parent = nullptr);
    ~AuthenticationService() override;

    // Calls `done` with true on success; false for failure, cancellation, and at once when another
    // authentication is still running. `done` is not called if the service is destroyed first.
    void authenticate(const QString& reason, bool preferPassword, std::function<void(bool)> done,
                      Purpose purpose = Purpose::change);
    // The purpose of the running (or last) authentication.
    Purpose purpose() const { return m_purpose; }

    bool isAuthenticating() const { return m_isAuthenticating; }
    const std::optional<QString>& lastErrorMessage() const { return m_lastErrorMessage; }
    QString lastErrorMessageText() const { return m_lastErrorMessage.value_or(QString()); }
    // Whether the next prompt can be the fingerprint one; asked afresh each time.
    bool canUseFingerprint() const;
    // "Fingerprint" when a reader is present, else "Password"; asked afresh each time.
    QString biometryName() const;

    static QString message(const Authenticator::Outcome& outcome);

signals:
    // One failed attempt inside a prompt (a wrong password, an unknown finger): `reason` is the
    // prompt's ("unlock Firefox"), `detail` what failed. The failed prompt as a whole is reported
    // by whoever asked, through done(false).
    void attemptFailed(const QString& reason, const QString& detail);

private:
    void handleFirstOutcome(const Authenticator::Outcome& outcome, const QString& reason,
                            const std::function<void(bool)>& done);
    void runPasswordRoute(const QString& reason, const std::function<void(bool)>& done);
    void readVaultToken(const Authenticator::Outcome& outcome);
    void finish(bool succeeded, const std::function<void(bool)>& done);
    void setLastErrorMessage(const std::optional<QString>& message);

    Authenticator& m_authenticator;
    KeychainService& m_keychain;
    bool m_isAuthenticating = false;
    Purpose m_purpose = Purpose::change;
    std::optional<QString> m_lastErrorMessage;
};
