#pragma once

#include "auth/PasswordVerifier.h"

#include <QPointer>

// Holds each password until the test answers for the system; only the password "secret" is right.
class FakePasswordVerifier : public PasswordVerifier
{
public:
    QList<QByteArray> checked;

    void verify(QByteArray password, QObject* context, std::function<void(Result)> done) override
    {
        checked.append(password);
        m_context = context;
        m_done = std::move(done);
    }

    bool isChecking() const { return bool(m_done); }
    // Answers the last check, as the worker thread's reply would.
    void answer(Verdict unavailableOrNot = Verdict::rejected)
    {
        auto done = std::exchange(m_done, nullptr);
        const Verdict verdict = checked.last() == "secret" ? Verdict::accepted : unavailableOrNot;
        if (done && m_context)
            done({verdict,
                  verdict == Verdict::accepted ? QString() : QStringLiteral("Authentication failure")});
    }

private:
    QPointer<QObject> m_context;
    std::function<void(Result)> m_done;
};
