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
            authenticator.onFailedAttempt = [this](auto& reason, auto& detail) {
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
        void type(const QByteArray& password)
        {
            prompt.type(password);
            passwords.answer();
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
        QCOMPARE(rig.failedAttempts.size(), 5);
        QCOMPARE(rig.failedAttempts.first(), "unlock Taxes: Fingerprint not recognized");
        QCOMPARE(rig.failedAttempts.last(),
                 "unlock Taxes: Wrong password — 5 failed attempts in a row, the next waits 30 s");

        const QList<std::pair<qint64, QString>> steps{{0, "Try again in 30 seconds"},
                                                      {29, "Try again in 1 second"},
                                                      {1, "Enter your password to allow this."}};
        rig.evaluate(Policy::deviceOwner);
        for (const auto& [advance, status] : steps) {
            rig.clock.advance(advance);
            QCOMPARE(rig.prompt.status, status);
            const bool waiting = status.startsWith("Try again");
            QVERIFY(rig.prompt.busy == waiting && rig.prompt.statusIsError == waiting);
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
        QVERIFY(rig.result() == Result::success && rig.backoff.failures() == 0);
        QCOMPARE(rig.failedAttempts.size(), 7);
    }

    // Every other way a prompt ends: the reader stops and nothing counts as a failed guess (an account
    // without a password is none either). A password typed into a fingerprint prompt is never checked,
    // and an answer to a check of a closed prompt is ignored by the next one.
    void promptEnds_data()
    {
        QTest::addColumn<Policy>("policy");
        QTest::addColumn<Result>("result");
        QTest::newRow("check unavailable") << Policy::deviceOwner << Result::otherError;
        QTest::newRow("no password set") << Policy::deviceOwner << Result::passwordNotSet;
        QTest::newRow("cancel pressed") << Policy::deviceOwner << Result::userCancel;
        QTest::newRow("fallback pressed") << Policy::fingerprint << Result::userFallback;
        QTest::newRow("no prints") << Policy::fingerprint << Result::notEnrolled;
        QTest::newRow("system cancel") << Policy::fingerprint << Result::systemCancel;
    }

    void promptEnds()
    {
        QFETCH(Policy, policy);
        QFETCH(Result, result);
        Rig rig;
        rig.reader.prints = result != Result::notEnrolled;
        QCOMPARE(rig.authenticator.canUseFingerprint(), rig.reader.prints);
        rig.evaluate(policy);
        QCOMPARE(rig.prompt.mode, policy == Policy::fingerprint ? PresencePrompt::Mode::fingerprint
                                                                : PresencePrompt::Mode::password);
        const bool checkFails = result == Result::otherError || result == Result::passwordNotSet;
        rig.prompt.type(checkFails ? "x" : "secret");
        QCOMPARE(rig.passwords.checked.size(), policy == Policy::deviceOwner ? 1 : 0);
        // One prompt at a time: a second request is refused without touching the open one.
        std::optional<Authenticator::Outcome> refused;
        rig.authenticator.evaluate(Policy::deviceOwner, "again",
                                   [&](const Authenticator::Outcome& o) { refused = o; });
        QTRY_VERIFY(refused.has_value() && refused->result == Result::otherError);
        QVERIFY(rig.prompt.isOpen && !rig.outcome && rig.prompt.opens == 1);
        if (checkFails)
            rig.passwords.answer(result == Result::otherError ? PasswordVerifier::Verdict::unavailable
                                                              : PasswordVerifier::Verdict::notSet);
        if (result == Result::userCancel)
            rig.prompt.pressCancel();
        if (result == Result::userFallback)
            rig.prompt.pressFallback();
        if (result == Result::notEnrolled)
            rig.reader.end(Result::notEnrolled);
        if (result == Result::systemCancel)
            rig.authenticator.cancelPrompt(Result::systemCancel);
        QCOMPARE(rig.result(), result);
        QVERIFY(!rig.reader.running && !rig.prompt.isOpen && rig.failedAttempts.isEmpty());
        rig.evaluate(Policy::deviceOwner);
        if (rig.passwords.isChecking())
            rig.passwords.answer();
        QVERIFY(!rig.outcome && rig.prompt.isOpen);
    }
};

QTEST_GUILESS_MAIN(TestPromptAuthenticator)
#include "TestPromptAuthenticator.moc"
