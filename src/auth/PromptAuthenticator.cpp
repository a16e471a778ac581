#include "auth/PromptAuthenticator.h"

#include "auth/FingerprintVerifier.h"
#include "auth/PasswordVerifier.h"
#include "auth/PresencePrompt.h"

#include <QPointer>
#include <QTimer>

namespace {
const QString LockoutText = QStringLiteral("Too many failed fingerprint attempts");
}

PromptAuthenticator::PromptAuthenticator(PresencePrompt& prompt, FingerprintVerifier& fingerprint,
                                         PasswordVerifier& password, QObject* parent)
    : QObject(parent)
    , m_prompt(prompt)
    , m_fingerprint(fingerprint)
    , m_password(password)
{
    connect(&m_prompt, &PresencePrompt::passwordSubmitted, this, &PromptAuthenticator::onPasswordSubmitted);
    connect(&m_prompt, &PresencePrompt::fallbackRequested, this, &PromptAuthenticator::onFallbackRequested);
    connect(&m_prompt, &PresencePrompt::cancelled, this, [this] { cancelPrompt(Result::userCancel); });
    connect(&m_fingerprint, &FingerprintVerifier::scanFailed, this, &PromptAuthenticator::onScanFailed);
    connect(&m_fingerprint, &FingerprintVerifier::finished, this,
            &PromptAuthenticator::onFingerprintFinished);
}

PromptAuthenticator::~PromptAuthenticator()
{
    if (fingerprintPromptOpen())
        m_fingerprint.cancel();
}

bool PromptAuthenticator::canUseFingerprint()
{
    // After a lockout only the password opens things again, as on the login screen.
    return !isFingerprintLockedOut() && m_fingerprint.hasDevice() && m_fingerprint.hasEnrolledPrints();
}

bool PromptAuthenticator::hasFingerprintReader()
{
    return m_fingerprint.hasDevice();
}

void PromptAuthenticator::evaluate(Policy policy, const QString& reason, std::function<void(Outcome)> done)
{
    if (isPromptOpen()) {
        QTimer::singleShot(0, this, [done] {
            done({Result::otherError, QStringLiteral("Another prompt is open")});
        });
        return;
    }
    m_done = std::move(done);
    m_policy = policy;
    m_failedPasswords = 0;
    m_noMatches = 0;
    m_checkingPassword = false;
    ++m_generation;
    if (policy == Policy::fingerprint) {
        m_prompt.open(PresencePrompt::Mode::fingerprint, reason);
        m_prompt.setStatus(QStringLiteral("Place your finger on the reader"), false);
        if (isFingerprintLockedOut()) {
            const quint64 generation = m_generation;
            QTimer::singleShot(0, this, [this, generation] {
                if (m_generation == generation && fingerprintPromptOpen())
                    finish(Result::lockout, LockoutText);
            });
            return;
        }
        m_fingerprint.start();
    } else {
        m_prompt.open(PresencePrompt::Mode::password, reason);
        m_prompt.setStatus(QStringLiteral("Enter your password to allow this."), false);
    }
}

void PromptAuthenticator::cancelPrompt(Result result)
{
    if (!isPromptOpen())
        return;
    if (m_policy == Policy::fingerprint)
        m_fingerprint.cancel();
    finish(result);
}

void PromptAuthenticator::onPasswordSubmitted(QByteArray password)
{
    if (!isPromptOpen() || m_policy != Policy::deviceOwner || m_checkingPassword) {
        password.fill('\0');
        return;
    }
    m_checkingPassword = true;
    m_prompt.setBusy(true);
    m_prompt.setStatus(QStringLiteral("Checking…"), false);
    const quint64 generation = m_generation;
    QPointer<PromptAuthenticator> self(this);
    m_password.verify(std::move(password), this, [self, generation](const PasswordVerifier::Result& result) {
        if (!self || self->m_generation != generation || !self->isPromptOpen())
            return;
        self->m_checkingPassword = false;
        switch (result.verdict) {
        case PasswordVerifier::Verdict::accepted:
            // The password proves presence as well as a finger: the reader is offered again.
            self->m_consecutiveNoMatches = 0;
            self->finish(Result::success);
            return;
        case PasswordVerifier::Verdict::rejected:
            if (++self->m_failedPasswords >= MaxPasswordAttempts) {
                self->finish(Result::passwordFailed, result.message);
                return;
            }
            self->m_prompt.setBusy(false);
            self->m_prompt.setStatus(QStringLiteral("Wrong password — try again"), true);
            return;
        case PasswordVerifier::Verdict::unavailable:
            self->finish(Result::otherError, result.message);
            return;
        }
    });
}

QString PromptAuthenticator::scanHint(FingerprintVerifier::Scan scan)
{
    switch (scan) {
    case FingerprintVerifier::Scan::noMatch:
        return QStringLiteral("Fingerprint not recognized — try again");
    case FingerprintVerifier::Scan::swipeTooShort:
        return QStringLiteral("Swipe was too short — try again");
    case FingerprintVerifier::Scan::notCentered:
        return QStringLiteral("Center your finger on the reader and try again");
    case FingerprintVerifier::Scan::removeAndRetry:
        return QStringLiteral("Lift your finger and try again");
    case FingerprintVerifier::Scan::retryScan:
        return QStringLiteral("Scan your finger again");
    }
    return {};
}

void PromptAuthenticator::onScanFailed(FingerprintVerifier::Scan scan)
{
    if (!fingerprintPromptOpen())
        return;
    if (scan == FingerprintVerifier::Scan::noMatch) {
        ++m_noMatches;
        ++m_consecutiveNoMatches;
    }
    if (isFingerprintLockedOut()) {
        m_fingerprint.cancel();
        finish(Result::lockout, LockoutText);
    } else if (m_noMatches >= FingerprintAttemptsPerPrompt) {
        m_fingerprint.cancel();
        finish(Result::fingerprintFailed, QStringLiteral("Fingerprint not recognized"));
    } else {
        m_prompt.setStatus(scanHint(scan), true);
    }
}

void PromptAuthenticator::onFingerprintFinished(Result result, const QString& description)
{
    if (!fingerprintPromptOpen())
        return;
    if (result == Result::success)
        m_consecutiveNoMatches = 0;
    finish(result, description);
}

void PromptAuthenticator::onFallbackRequested()
{
    if (fingerprintPromptOpen()) {
        m_fingerprint.cancel();
        finish(Result::userFallback);
    }
}

void PromptAuthenticator::finish(Result result, const QString& description)
{
    // Cleared before calling back: the reply may open the next prompt at once.
    auto done = std::exchange(m_done, nullptr);
    ++m_generation;
    m_checkingPassword = false;
    m_prompt.close();
    done({result, description, result == Result::success ? issueProof() : AuthenticationProof()});
}
