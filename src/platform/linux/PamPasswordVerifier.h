#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QObject;

// Checks an account password through PAM (pam_authenticate only: proving presence needs no account,
// session or credential management). The conversation answers exactly one hidden prompt with the
// password; a second hidden prompt or any visible prompt (a user name, a one-time code) is refused,
// because no second factor is supported and the password must not be handed to a question it was
// not meant for. Informational and error messages from the modules are ignored.
//
// Without a service file of its own, PAM uses the "other" service, i.e. the system's default stack.
class PamPasswordVerifier
{
public:
    enum class Verdict
    {
        accepted,
        // The stack answered: wrong password, unknown user, too many tries, insufficient credentials.
        rejected,
        // The check itself failed (no stack, a module or conversation error): says nothing about the
        // password.
        unavailable,
    };

    struct Result
    {
        Verdict verdict = Verdict::unavailable;
        // PAM's text for the status when not accepted.
        QString message;
    };

    static inline const QString defaultService = QStringLiteral("veilmark");

    PamPasswordVerifier() = delete;

    // Checks on a thread of QThreadPool::globalInstance(): PAM blocks, and a wrong password costs the
    // stack's fail delay (about 2 s with pam_unix). `done` runs on the thread of `context` through its
    // event loop, and not at all when `context` is destroyed first (or is null). Pass the password by
    // std::move: only storage this call owns alone can be wiped; a copy the caller keeps is its own to
    // wipe. Application shutdown waits for a check still running.
    static void verify(const QString& user, QByteArray password, QObject* context,
                       std::function<void(Result)> done, const QString& service = defaultService);

    // Synchronous check on the calling thread. On return every byte of `password` is zero, in its own
    // storage when `password` was its only owner.
    static Result verifyBlocking(const QString& service, const QString& user, QByteArray& password);
};
