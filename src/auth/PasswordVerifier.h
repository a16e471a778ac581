#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

// Checks the running user's account password.
class PasswordVerifier
{
public:
    enum class Verdict
    {
        accepted,
        // The check answered: wrong password, unknown user, too many tries.
        rejected,
        // The check itself failed; says nothing about the password.
        unavailable,
        // The account has no password: the check would pass whatever was typed.
        notSet,
    };

    struct Result
    {
        Verdict verdict = Verdict::unavailable;
        // The system's text when not accepted.
        QString message;
    };

    virtual ~PasswordVerifier() = default;

    // Checks without blocking the caller (a wrong password may cost seconds of delay). `done` runs
    // on the thread of `context`, and not at all once `context` is gone. Pass the password by
    // std::move: the verifier wipes the bytes it owns.
    virtual void verify(QByteArray password, QObject* context, std::function<void(Result)> done) = 0;
};
