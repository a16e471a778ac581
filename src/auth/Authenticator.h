#pragma once

#include "AuthenticationProof.h"

#include <QString>

#include <functional>

// A presence prompt: asks the user to prove it's them and reports one outcome.
class Authenticator
{
public:
    enum class Policy
    {
        // Fingerprint only; the prompt offers "Enter Password…" as a fallback.
        fingerprint = 1,
        // Fingerprint or the account password.
        deviceOwner = 2,
    };

    enum class Result
    {
        success,
        userCancel,
        appCancel,
        systemCancel,
        userFallback,
        lockout,
        notEnrolled,
        notAvailable,
        fingerprintFailed,
        passwordFailed,
        passwordNotSet,
        otherError,
    };

    struct Outcome
    {
        Result result = Result::otherError;
        // Readable text for otherError (and detail for the other failures where known).
        QString description;
        // Valid only for success.
        AuthenticationProof proof;
    };

    virtual ~Authenticator() = default;

    // Runs for every failed attempt inside a prompt (a wrong password, an unknown finger), with the
    // prompt's reason and what failed; set by the one front end that reports them.
    std::function<void(const QString& reason, const QString& detail)> onFailedAttempt;

    // Whether the fingerprint-only policy can be evaluated now: a reader is present and the user
    // has enrolled prints.
    virtual bool canUseFingerprint() = 0;
    // Whether a fingerprint reader is present at all (for labels).
    virtual bool hasFingerprintReader() = 0;
    // Opens the prompt with `reason`; `done` runs once, on the main thread, after the prompt closed.
    virtual void evaluate(Policy policy, const QString& reason, std::function<void(Outcome)> done) = 0;

protected:
    static AuthenticationProof issueProof() { return AuthenticationProof(QDateTime::currentDateTimeUtc()); }
};
