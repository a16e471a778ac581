#include "auth/AttemptBackoff.h"
#include "auth/PromptAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFingerprintVerifier.h"
#include "fakes/FakePasswordVerifier.h"
#include "fakes/FakePresencePrompt.h"

#include <QTemporaryDir>
#include <QTest>

using Result = Authenticator::Result;
using Policy = Authenticator::Policy;
using Scan = FingerprintVerifier::Scan;

// The prompt's flow with a scripted window, reader and password check.
class TestPromptAuthenticator : public QObject
{
    Q_OBJECT

    struct Rig
    {
        FakePresencePrompt prompt;
        FakeFingerprintVerifier reader;
        FakePasswordVerifier passwords;
        QTemporaryDir dir;
        FakeClock clock;
        AttemptBackoff backoff{clock, dir.filePath("attempts.json")};
        PromptAuthenticator authenticator{prompt, reader, passwords, backoff};
        std::optional<Authenticator::Outcome> outcome;
        QStringList failedAttempts;

        Rig()
        {
            authenticator.onFailedAttempt = [this](const QString& reason, const QString& detail) {
                failedAttempts << reason + ": " + detail;
            };
        }

        void evaluate(Policy policy)
        {
            outcome.reset();
            authenticator.evaluate(policy, "unlock Taxes",
                                   [this](const Authenticator::Outcome& o) { outcome = o; });
        }
        // Scans `count` unknown fingers in one fingerprint prompt.
        void noMatches(int count)
        {
            evaluate(Policy::fingerprint);
            for (int i = 0; i < count && !outcome; ++i)
                reader.fail(Scan::noMatch);
        }
        void type(const QByteArray& password,
                  PasswordVerifier::Verdict verdict = PasswordVerifier::Verdict::rejected)
        {
            prompt.type(password);
            passwords.answer(verdict);
        }
        Result result() const { return outcome ? outcome->result : Result(-1); }
    };

private slots:
    // Typed passwords: each prompt allows three tries; the status says what happened.
    void passwordPrompt_data()
    {
        QTest::addColumn<QList<QByteArray>>("typed");
        QTest::addColumn<int>("result"); // -1: still open
        QTest::addColumn<QString>("status");
        QTest::newRow("right") << QList<QByteArray>{"secret"} << int(Result::success) << "Checking…";
        QTest::newRow("wrong, then right")
            << QList<QByteArray>{"a", "b", "secret"} << int(Result::success) << "Checking…";
        QTest::newRow("wrong twice") << QList<QByteArray>{"a", "b"} << -1 << "Wrong password — try again";
        QTest::newRow("wrong three times")
            << QList<QByteArray>{"a", "b", "c"} << int(Result::passwordFailed) << "Checking…";
    }

    void passwordPrompt()
    {
        QFETCH(QList<QByteArray>, typed);
        QFETCH(int, result);
        QFETCH(QString, status);
        Rig rig;
        for (int prompt = 0; prompt < 2; ++prompt) { // the count starts afresh with each prompt
            rig.evaluate(Policy::deviceOwner);
            QCOMPARE(rig.prompt.mode, PresencePrompt::Mode::password);
            QCOMPARE(rig.prompt.reason, QString("unlock Taxes"));
            QCOMPARE(rig.prompt.status, QString("Enter your password to allow this."));
            for (const QByteArray& password : typed) {
                rig.prompt.type(password);
                QVERIFY(rig.prompt.busy);
                rig.prompt.type("ignored while checking");
                rig.passwords.answer();
            }
            QCOMPARE(rig.passwords.checked.size(), typed.size() * (prompt + 1));
            QCOMPARE(int(rig.result()), result);
            QCOMPARE(rig.prompt.isOpen, result == -1);
            QCOMPARE(rig.prompt.status, status);
            if (rig.outcome)
                QCOMPARE(rig.outcome->proof.isFresh(QDateTime::currentDateTimeUtc()),
                         result == int(Result::success));
            rig.authenticator.cancelPrompt(Result::appCancel);
            // Each wrong password is reported; failures in a row across prompts are
            // failedAttemptsBackOff's business.
            QCOMPARE(rig.failedAttempts.size(), (typed.size() - typed.count("secret")) * (prompt + 1));
            rig.backoff.recordSuccess();
        }
    }

    // An unusable check ends the prompt; a cancelled prompt ignores the answer that arrives later.
    void unavailableCheckAndLateAnswer()
    {
        Rig rig;
        rig.evaluate(Policy::deviceOwner);
        rig.type("x", PasswordVerifier::Verdict::unavailable);
        QCOMPARE(rig.result(), Result::otherError);
        QCOMPARE(rig.outcome->description, QString("Authentication failure"));
        // An account without a password is no failed guess.
        rig.evaluate(Policy::deviceOwner);
        rig.type("x", PasswordVerifier::Verdict::notSet);
        QCOMPARE(rig.result(), Result::passwordNotSet);
        QVERIFY(rig.failedAttempts.isEmpty());

        rig.evaluate(Policy::deviceOwner);
        rig.prompt.type("secret");
        rig.prompt.pressCancel();
        QCOMPARE(rig.result(), Result::userCancel);
        rig.evaluate(Policy::deviceOwner);
        rig.passwords.answer();
        QVERIFY(!rig.outcome && rig.prompt.isOpen);
    }

    // Unknown fingers: three end a prompt, five in a row (across prompts) lock the reader out until a
    // match or an accepted password. Other failed scans only ask again.
    void fingerprintAttempts_data()
    {
        QTest::addColumn<QList<int>>("noMatchesPerPrompt");
        QTest::addColumn<int>("lastResult");
        QTest::addColumn<bool>("lockedOut");
        QTest::newRow("two") << QList<int>{2} << -1 << false;
        QTest::newRow("three") << QList<int>{3} << int(Result::fingerprintFailed) << false;
        QTest::newRow("three, then two") << QList<int>{3, 2} << int(Result::lockout) << true;
        QTest::newRow("two, match, three") << QList<int>{2, 0, 3} << int(Result::fingerprintFailed) << false;
    }

    void fingerprintAttempts()
    {
        QFETCH(QList<int>, noMatchesPerPrompt);
        QFETCH(int, lastResult);
        QFETCH(bool, lockedOut);
        Rig rig;
        for (int count : noMatchesPerPrompt) {
            rig.authenticator.cancelPrompt(Result::appCancel);
            rig.noMatches(count);
            if (count == 0)
                rig.reader.end(Result::success);
        }
        QCOMPARE(int(rig.result()), lastResult);
        QCOMPARE(rig.reader.running, lastResult == -1);
        QCOMPARE(rig.authenticator.isFingerprintLockedOut(), lockedOut);
        QCOMPARE(rig.authenticator.canUseFingerprint(), !lockedOut);
        if (lastResult == -1) {
            QCOMPARE(rig.prompt.status, QString("Fingerprint not recognized — try again"));
            rig.reader.fail(Scan::notCentered);
            QCOMPARE(rig.prompt.status, QString("Center your finger on the reader and try again"));
            QVERIFY(!rig.outcome);
            return;
        }
        if (!lockedOut)
            return;
        // Locked out, a fingerprint prompt ends at once without the reader; a password clears it.
        const int starts = rig.reader.starts;
        rig.evaluate(Policy::fingerprint);
        QTRY_COMPARE(rig.result(), Result::lockout);
        QCOMPARE(rig.reader.starts, starts);
        rig.evaluate(Policy::deviceOwner);
        rig.clock.advance(AttemptBackoff::FirstDelaySeconds);
        rig.type("secret");
        QVERIFY(rig.authenticator.canUseFingerprint());
    }

    // Every wrong password and unknown finger is reported and counts towards the back-off: from the
    // fifth in a row the prompt shows the wait, takes no input and keeps the reader off until it is
    // over; a success resets it.
    void failedAttemptsBackOff()
    {
        Rig rig;
        rig.noMatches(2);
        rig.authenticator.cancelPrompt(Result::appCancel);
        rig.evaluate(Policy::deviceOwner);
        for (const char* wrong : {"a", "b", "c"})
            rig.type(wrong);
        QCOMPARE(rig.result(), Result::passwordFailed);
        QCOMPARE(rig.failedAttempts,
                 QStringList(
                     {"unlock Taxes: Fingerprint not recognized", "unlock Taxes: Fingerprint not recognized",
                      "unlock Taxes: Wrong password", "unlock Taxes: Wrong password",
                      "unlock Taxes: Wrong password — 5 failed attempts in a row, the next waits 30 s"}));

        struct Step
        {
            Policy policy;
            qint64 advance;
            QString status;
        };
        const QList<Step> steps{
            {Policy::deviceOwner, 0, "Try again in 30 seconds"},
            {Policy::deviceOwner, 29, "Try again in 1 second"},
            {Policy::deviceOwner, 1, "Enter your password to allow this."},
        };
        rig.evaluate(Policy::deviceOwner);
        for (const Step& step : steps) {
            rig.clock.advance(step.advance);
            QCOMPARE(rig.prompt.status, step.status);
            const bool waiting = step.status.startsWith("Try again");
            QCOMPARE(rig.prompt.busy, waiting);
            QCOMPARE(rig.prompt.statusIsError, waiting);
            const qsizetype checked = rig.passwords.checked.size();
            rig.prompt.type("typed while waiting");
            QCOMPARE(rig.passwords.checked.size(), checked + (waiting ? 0 : 1));
        }
        // The sixth failure, in the same prompt: the wait doubles and shows at once.
        rig.passwords.answer();
        QCOMPARE(rig.prompt.status, "Try again in 60 seconds");
        QVERIFY(rig.prompt.busy && rig.prompt.isOpen);

        // A fingerprint prompt waits too, with the reader off, and starts it once the wait is over.
        rig.authenticator.cancelPrompt(Result::appCancel);
        const int starts = rig.reader.starts;
        rig.evaluate(Policy::fingerprint);
        QCOMPARE(rig.prompt.status, "Try again in 60 seconds");
        QCOMPARE(rig.reader.starts, starts);
        rig.clock.advance(60);
        QCOMPARE(rig.prompt.status, "Place your finger on the reader");
        QVERIFY(rig.reader.running && !rig.prompt.busy);
        // An unknown finger now ends in a wait inside the prompt, then the reader resumes.
        rig.reader.fail(Scan::noMatch);
        QVERIFY(!rig.reader.running && rig.prompt.busy);
        QCOMPARE(rig.prompt.status, "Try again in 2 minutes");
        rig.clock.advance(120);
        QVERIFY(rig.reader.running && !rig.outcome);
        rig.reader.end(Result::success);
        QCOMPARE(rig.result(), Result::success);
        QCOMPARE(rig.backoff.failures(), 0);
        QCOMPARE(rig.failedAttempts.size(), 7);
    }

    void fingerprintPromptAndOnePromptAtATime()
    {
        Rig rig;
        rig.reader.prints = false;
        QVERIFY(!rig.authenticator.canUseFingerprint() && rig.authenticator.hasFingerprintReader());
        rig.evaluate(Policy::fingerprint);
        QCOMPARE(rig.prompt.mode, PresencePrompt::Mode::fingerprint);
        QCOMPARE(rig.prompt.status, QString("Place your finger on the reader"));
        // A password typed into a fingerprint prompt is never checked.
        rig.prompt.type("secret");
        QVERIFY(rig.passwords.checked.isEmpty());
        rig.reader.end(Result::notEnrolled);
        QCOMPARE(rig.result(), Result::notEnrolled);

        rig.evaluate(Policy::fingerprint);
        rig.prompt.pressFallback();
        QCOMPARE(rig.result(), Result::userFallback);
        QVERIFY(!rig.reader.running && !rig.prompt.isOpen);

        rig.evaluate(Policy::fingerprint);
        const int opens = rig.prompt.opens;
        std::optional<Authenticator::Outcome> refused;
        rig.authenticator.evaluate(Policy::deviceOwner, "again",
                                   [&](const Authenticator::Outcome& o) { refused = o; });
        QTRY_VERIFY(refused.has_value());
        QCOMPARE(refused->result, Result::otherError);
        QCOMPARE(rig.prompt.opens, opens);
        rig.authenticator.cancelPrompt(Result::systemCancel);
        QCOMPARE(rig.result(), Result::systemCancel);
        QVERIFY(!rig.reader.running);
    }
};

QTEST_GUILESS_MAIN(TestPromptAuthenticator)
#include "TestPromptAuthenticator.moc"
