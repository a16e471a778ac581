#pragma once

#include "auth/Authenticator.h"

#include <QList>
#include <QTimer>

// A scripted prompt. Each evaluate() takes the next scripted result and replies on the next
// turn of the event loop, as a real prompt would; without a script the prompt stays open until
// reply() is called.
class FakeAuthenticator : public Authenticator
{
public:
    struct Call
    {
        Policy policy;
        QString reason;
    };

    bool fingerprintUsable = true;
    bool readerPresent = true;
    QList<Result> script;
    QList<Call> calls;

    bool canUseFingerprint() override { return fingerprintUsable; }
    bool hasFingerprintReader() override { return readerPresent; }

    void evaluate(Policy policy, const QString& reason, std::function<void(Outcome)> done) override
    {
        calls.append({policy, reason});
        m_pending = std::move(done);
        if (!script.isEmpty()) {
            const Result result = script.takeFirst();
            QTimer::singleShot(0, [this, result] { reply(result); });
        }
    }

    bool isOpen() const { return bool(m_pending); }

    void reply(Result result, const QString& description = {})
    {
        auto done = std::exchange(m_pending, nullptr);
        if (done)
            done({result, description, result == Result::success ? issueProof() : AuthenticationProof()});
    }

    static AuthenticationProof freshProof() { return issueProof(); }

private:
    std::function<void(Outcome)> m_pending;
};
