#pragma once

#include "auth/PasswordVerifier.h"

// Checks an account password through PAM (pam_authenticate only: proving presence needs no account,
// session or credential management). The conversation answers exactly one hidden prompt with the
// password; a second hidden prompt or any visible prompt (a user name, a one-time code) is refused,
// because no second factor is supported and the password must not be handed to a question it was
// not meant for. Informational and error messages from the modules are ignored. A stack that
// succeeds without ever asking for the password (an account without one) is reported as notSet.
//
// Without a service file of its own, PAM uses the "other" service, i.e. the system's default stack.
class PamPasswordVerifier : public PasswordVerifier
{
public:
    static inline const QString defaultService = QStringLiteral("veilmark");

    // Checks `user`'s password (by default the running user's) through the PAM service `service`.
    explicit PamPasswordVerifier(const QString& service = defaultService,
                                 const QString& user = runningUser());

    // Checks on a thread of QThreadPool::globalInstance(): PAM blocks, and a wrong password costs the
    // stack's fail delay (about 2 s with pam_unix). Application shutdown waits for a check still running.
    void verify(QByteArray password, QObject* context, std::function<void(Result)> done) override;

    // Synchronous check on the calling thread. On return every byte of `password` is zero, in its own
    // storage when `password` was its only owner.
    static Result verifyBlocking(const QString& service, const QString& user, QByteArray& password);
    static QString runningUser();

private:
    QString m_service;
    QString m_user;
};
