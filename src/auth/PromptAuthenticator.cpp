#include "auth/PromptAuthenticator.h"

#include "auth/AttemptBackoff.h"
#include "auth/Clock.h"
#include "auth/FingerprintVerifier.h"
#include "auth/PasswordVerifier.h"
#include "auth/PresencePrompt.h"

#include <QPointer>
#include <QTimer>

namespace {
// Made when shown, in the language of the moment.
QString lockoutText()
{
    return PromptAuthenticator::tr("Too many failed fingerprint attempts");
}

QString fingerprintPrompt()
{
    return PromptAuthenticator::tr("Place your finger on the reader");
}

QString passwordPrompt()
{
    return PromptAuthenticator::tr("Enter your password to allow this.");
}

// When the shown wait ("2 minutes", "45 seconds") next changes, counted from now.
qint64 secondsUntilWaitTextChanges(qint64 seconds)
{
    if (seconds <= 60)
        return 1;
    const qint64 minutes = (seconds + 59) / 60;
    return seconds - (minutes - 1) * 60;
}
} // namespace

PromptAuthenticator::PromptAuthenticator(PresencePrompt& prompt, FingerprintVerifier& fingerprint,
                                         PasswordVerifier& password, AttemptBackoff& backoff, QObject* parent)
    : QObject(parent)
    , m_prompt(prompt)
    , m_fingerprint(fingerprint)
    , m_password(password)
    , m_backoff(backoff)
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
        QTimer::singleShot(0, this, [done] { done({Result::otherError, tr("Another prompt is open")}); });
        return;
    }
    m_done = std::move(done);
    m_policy = policy;
    m_reason = reason;
    m_failedPasswords = 0;
    m_noMatches = 0;
    m_checkingPassword = false;
    ++m_generation;
    if (policy == Policy::fingerprint) {
        m_prompt.open(PresencePrompt::Mode::fingerprint, reason);
        m_prompt.setStatus(fingerprintPrompt(), false);
        if (isFingerprintLockedOut()) {
            const quint64 generation = m_generation;
            QTimer::singleShot(0, this, [this, generation] {
                if (m_generation == generation && fingerprintPromptOpen())
                    finish(Result::lockout, lockoutText());
            });
            return;
        }
        if (!waitIfBackingOff())
            m_fingerprint.start();
    } else {
        m_prompt.open(PresencePrompt::Mode::password, reason);
        m_prompt.setStatus(passwordPrompt(), false);
        waitIfBackingOff();
    }
}

bool PromptAuthenticator::waitIfBackingOff()
{
    const qint64 seconds = m_backoff.secondsRemaining();
    if (seconds == 0) {
        m_waitAlarm.reset();
        return false;
    }
    m_prompt.setBusy(true);
    m_prompt.setStatus(AttemptBackoff::waitText(seconds), true);
    Clock& clock = m_backoff.clock();
    const quint64 generation = m_generation;
    m_waitAlarm = clock.alarmAt(clock.now().addSecs(secondsUntilWaitTextChanges(seconds)),
                                [self = this, generation] { self->onWaitAlarm(generation); });
    return true;
}

void PromptAuthenticator::onWaitAlarm(quint64 generation)
{
    // May destroy the alarm that called it: nothing of the alarm's is used after this point.
    if (generation == m_generation && isPromptOpen() && !waitIfBackingOff())
        resumeAfterWait();
}

void PromptAuthenticator::resumeAfterWait()
{
    m_prompt.setBusy(false);
    if (m_policy == Policy::fingerprint) {
        m_prompt.setStatus(fingerprintPrompt(), false);
        m_fingerprint.start();
    } else {
        m_prompt.setStatus(passwordPrompt(), false);
    }
}

void PromptAuthenticator::recordFailure(const QString& detail)
{
    m_backoff.recordFailure();
    const qint64 wait = m_backoff.secondsRemaining();
    const QString text =
        wait == 0 ? detail
                  : tr("%1 — %n failed attempts in a row, the next waits %2 s", "", m_backoff.failures())
                        .arg(detail)
                        .arg(wait);
    if (onFailedAttempt)
        onFailedAttempt(m_reason, text);
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
    // The sender wipes its bytes when this returns; the check gets a copy of its own, which it wipes.
    if (!isPromptOpen() || m_policy != Policy::deviceOwner || m_checkingPassword || m_waitAlarm)
        return;
    QByteArray own(password.constData(), password.size());
    m_checkingPassword = true;
    m_prompt.setBusy(true);
    m_prompt.setStatus(tr("Checking…"), false);
    const quint64 generation = m_generation;
    QPointer<PromptAuthenticator> self(this);
    m_password.verify(std::move(own), this, [self, generation](const PasswordVerifier::Result& result) {
        if (!self || self->m_generation != generation || !self->isPromptOpen())
            return;
        self->m_checkingPassword = false;
        switch (result.verdict) {
        case PasswordVerifier::Verdict::accepted:
            // The password proves presence as well as a finger: the reader is offered again.
            self->m_consecutiveNoMatches = 0;
            self->m_backoff.recordSuccess();
            self->finish(Result::success);
            return;
        case PasswordVerifier::Verdict::rejected:
            self->recordFailure(tr("Wrong password"));
            if (++self->m_failedPasswords >= MaxPasswordAttempts) {
                self->finish(Result::passwordFailed, result.message);
                return;
            }
            self->m_prompt.setBusy(false);
            self->m_prompt.setStatus(tr("Wrong password — try again"), true);
            self->waitIfBackingOff();
            return;
        case PasswordVerifier::Verdict::notSet:
            self->finish(Result::passwordNotSet, result.message);
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
        return tr("Fingerprint not recognized — try again");
    case FingerprintVerifier::Scan::swipeTooShort:
        return tr("Swipe was too short — try again");
    case FingerprintVerifier::Scan::notCentered:
        return tr("Center your finger on the reader and try again");
    case FingerprintVerifier::Scan::removeAndRetry:
        return tr("Lift your finger and try again");
    case FingerprintVerifier::Scan::retryScan:
        return tr("Scan your finger again");
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
        recordFailure(tr("Fingerprint not recognized"));
    }
    if (isFingerprintLockedOut()) {
        m_fingerprint.cancel();
        finish(Result::lockout, lockoutText());
    } else if (m_noMatches >= FingerprintAttemptsPerPrompt) {
        m_fingerprint.cancel();
        finish(Result::fingerprintFailed, tr("Fingerprint not recognized"));
    } else if (m_backoff.secondsRemaining() > 0) {
        // The reader starts again once the wait is over.
        m_fingerprint.cancel();
        waitIfBackingOff();
    } else {
        m_prompt.setStatus(scanHint(scan), true);
    }
}

void PromptAuthenticator::onFingerprintFinished(Result result, const QString& description)
{
    if (!fingerprintPromptOpen())
        return;
    if (result == Result::success) {
        m_consecutiveNoMatches = 0;
        m_backoff.recordSuccess();
    }
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
    m_waitAlarm.reset();
    m_prompt.close();
    done({result, description, result == Result::success ? issueProof() : AuthenticationProof()});
}
