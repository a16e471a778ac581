#include "LinuxAuthenticator.h"

#include "FprintdVerifier.h"
#include "PamPasswordVerifier.h"
#include "platform/PresencePrompt.h"

#include <QPointer>
#include <QTimer>

#include <pwd.h>
#include <unistd.h>

namespace {
QString runningUser()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}
} // namespace

LinuxAuthenticator::LinuxAuthenticator(PresencePrompt& prompt, FprintdVerifier& fingerprint,
                                       const QString& pamService, QObject* parent)
    : QObject(parent)
    , m_prompt(prompt)
    , m_fingerprint(fingerprint)
    , m_pamService(pamService)
    , m_user(runningUser())
{
    connect(&m_prompt, &PresencePrompt::passwordSubmitted, this, &LinuxAuthenticator::onPasswordSubmitted);
    connect(&m_prompt, &PresencePrompt::fallbackRequested, this, &LinuxAuthenticator::onFallbackRequested);
    connect(&m_prompt, &PresencePrompt::cancelled, this, &LinuxAuthenticator::onCancelled);
    connect(&m_fingerprint, &FprintdVerifier::retryNeeded, this, [this](const QString& hint) {
        if (isPromptOpen() && m_policy == Policy::fingerprint)
            m_prompt.setStatus(hint, true);
    });
    connect(&m_fingerprint, &FprintdVerifier::finished, this, &LinuxAuthenticator::onFingerprintFinished);
}

LinuxAuthenticator::~LinuxAuthenticator()
{
    if (isPromptOpen())
        m_fingerprint.cancel();
}

bool LinuxAuthenticator::canUseFingerprint()
{
    // After a lockout only the password opens things again, as on the login screen.
    return !FprintdVerifier::isLockedOut() && m_fingerprint.hasDevice() && m_fingerprint.hasEnrolledPrints();
}

bool LinuxAuthenticator::hasFingerprintReader()
{
    return m_fingerprint.hasDevice();
}

void LinuxAuthenticator::evaluate(Policy policy, const QString& reason, std::function<void(Outcome)> done)
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
    m_checkingPassword = false;
    ++m_generation;
    if (policy == Policy::fingerprint) {
        m_prompt.open(PresencePrompt::Mode::fingerprint, reason);
        m_prompt.setStatus(QStringLiteral("Place your finger on the reader"), false);
        m_fingerprint.start();
    } else {
        m_prompt.open(PresencePrompt::Mode::password, reason);
        m_prompt.setStatus(QStringLiteral("Enter your password to allow this."), false);
    }
}

void LinuxAuthenticator::cancelPrompt(Result result)
{
    if (!isPromptOpen())
        return;
    if (m_policy == Policy::fingerprint)
        m_fingerprint.cancel();
    finish(result);
}

void LinuxAuthenticator::onPasswordSubmitted(QByteArray password)
{
    if (!isPromptOpen() || m_policy != Policy::deviceOwner || m_checkingPassword) {
        password.fill('\0');
        return;
    }
    m_checkingPassword = true;
    m_prompt.setBusy(true);
    m_prompt.setStatus(QStringLiteral("Checking…"), false);
    const quint64 generation = m_generation;
    QPointer<LinuxAuthenticator> self(this);
    PamPasswordVerifier::verify(
        m_user, std::move(password), this,
        [self, generation](const PamPasswordVerifier::Result& result) {
            if (!self || self->m_generation != generation || !self->isPromptOpen())
                return;
            self->m_checkingPassword = false;
            switch (result.verdict) {
            case PamPasswordVerifier::Verdict::accepted:
                self->finish(Result::success);
                return;
            case PamPasswordVerifier::Verdict::rejected:
                if (++self->m_failedPasswords >= MaxPasswordAttempts) {
                    self->finish(Result::passwordFailed, result.message);
                    return;
                }
                self->m_prompt.setBusy(false);
                self->m_prompt.setStatus(QStringLiteral("Wrong password — try again"), true);
                return;
            case PamPasswordVerifier::Verdict::unavailable:
                self->finish(Result::otherError, result.message);
                return;
            }
        },
        m_pamService);
}

void LinuxAuthenticator::onFingerprintFinished(Result result, const QString& description)
{
    if (isPromptOpen() && m_policy == Policy::fingerprint)
        finish(result, description);
}

void LinuxAuthenticator::onFallbackRequested()
{
    if (isPromptOpen() && m_policy == Policy::fingerprint) {
        m_fingerprint.cancel();
        finish(Result::userFallback);
    }
}

void LinuxAuthenticator::onCancelled()
{
    cancelPrompt(Result::userCancel);
}

void LinuxAuthenticator::finish(Result result, const QString& description)
{
    // Cleared before calling back: the reply may open the next prompt at once.
    auto done = std::exchange(m_done, nullptr);
    ++m_generation;
    m_checkingPassword = false;
    m_prompt.close();
    done({result, description, result == Result::success ? issueProof() : AuthenticationProof()});
}
