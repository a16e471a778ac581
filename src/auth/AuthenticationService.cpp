#include "AuthenticationService.h"

#include "KeychainService.h"
#include "io/Logging.h"

#include <QPointer>

using Result = Authenticator::Result;

AuthenticationService::AuthenticationService(Authenticator& authenticator, KeychainService& keychain,
                                             QObject* parent)
    : QObject(parent)
    , m_authenticator(authenticator)
    , m_keychain(keychain)
{
    m_authenticator.onFailedAttempt = [this](const QString& reason, const QString& detail) {
        emit attemptFailed(reason, detail);
    };
}

AuthenticationService::~AuthenticationService()
{
    m_authenticator.onFailedAttempt = nullptr;
}

void AuthenticationService::authenticate(const QString& reason, bool preferPassword,
                                         std::function<void(bool)> done, Purpose purpose)
{
    if (m_isAuthenticating) {
        done(false);
        return;
    }
    m_isAuthenticating = true;
    m_purpose = purpose;
    setLastErrorMessage(std::nullopt);

    const bool fingerprint = !preferPassword && m_authenticator.canUseFingerprint();
    const auto policy = fingerprint ? Authenticator::Policy::fingerprint : Authenticator::Policy::deviceOwner;
    QPointer<AuthenticationService> self(this);
    m_authenticator.evaluate(policy, reason, [self, reason, done](const Authenticator::Outcome& outcome) {
        if (self)
            self->handleFirstOutcome(outcome, reason, done);
    });
}

void AuthenticationService::handleFirstOutcome(const Authenticator::Outcome& outcome, const QString& reason,
                                               const std::function<void(bool)>& done)
{
    switch (outcome.result) {
    case Result::success:
        readVaultToken(outcome);
        finish(true, done);
        return;
    case Result::lockout:
    case Result::notEnrolled:
    case Result::notAvailable:
    case Result::userFallback: {
        QPointer<AuthenticationService> self(this);
        runPasswordRoute(reason, [self, done](bool succeeded) {
            if (self)
                self->finish(succeeded, done);
        });
        return;
    }
    case Result::userCancel:
    case Result::appCancel:
    case Result::systemCancel:
        finish(false, done);
        return;
    default:
        setLastErrorMessage(message(outcome));
        finish(false, done);
        return;
    }
}

void AuthenticationService::runPasswordRoute(const QString& reason, const std::function<void(bool)>& done)
{
    QPointer<AuthenticationService> self(this);
    m_authenticator.evaluate(Authenticator::Policy::deviceOwner, reason,
                             [self, done](const Authenticator::Outcome& outcome) {
                                 if (!self)
                                     return;
                                 switch (outcome.result) {
                                 case Result::success:
                                     self->readVaultToken(outcome);
                                     done(true);
                                     return;
                                 case Result::userCancel:
                                 case Result::appCancel:
                                 case Result::systemCancel:
                                     done(false);
                                     return;
                                 default:
                                     self->setLastErrorMessage(message(outcome));
                                     done(false);
                                     return;
                                 }
                             });
}

void AuthenticationService::readVaultToken(const Authenticator::Outcome& outcome)
{
    // Proves the keyring item can be read with this prompt's proof; the bytes themselves are
    // not needed, and a keyring problem never changes the outcome.
    const auto token = m_keychain.readVaultToken(outcome.proof);
    if (const auto* error = std::get_if<KeychainError>(&token))
        qCWarning(lcAuth) << "the vault token cannot be read:" << error->description();
}

void AuthenticationService::finish(bool succeeded, const std::function<void(bool)>& done)
{
    m_isAuthenticating = false;
    done(succeeded);
}

void AuthenticationService::setLastErrorMessage(const std::optional<QString>& message)
{
    m_lastErrorMessage = message;
}

bool AuthenticationService::canUseFingerprint() const
{
    return m_authenticator.canUseFingerprint();
}

QString AuthenticationService::biometryName() const
{
    return m_authenticator.hasFingerprintReader() ? tr("Fingerprint") : tr("Password");
}

QString AuthenticationService::message(const Authenticator::Outcome& outcome)
{
    switch (outcome.result) {
    case Result::fingerprintFailed:
        return tr("Fingerprint not recognized — try again");
    case Result::passwordFailed:
        return tr("Password not accepted — try again");
    case Result::passwordNotSet:
        return tr("No account password set on this computer");
    case Result::notAvailable:
        return tr("Fingerprint unavailable — use your password");
    case Result::notEnrolled:
        return tr("No fingerprints enrolled — set one up in Settings");
    case Result::lockout:
        return tr("Fingerprint locked — use your password");
    default:
        return outcome.description.isEmpty() ? tr("Authentication failed") : outcome.description;
    }
}
