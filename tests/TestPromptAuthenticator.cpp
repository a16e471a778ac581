#include "auth/PromptAuthenticator.h"
#include "fakes/FakeFingerprintVerifier.h"
#include "fakes/FakePasswordVerifier.h"
#include "fakes/FakePresencePrompt.h"

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
        PromptAuthenticator authenticator{prompt, reader, passwords};
        std::optional<Authenticator::Outcome> outcome;

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
        rig.type("secret");
        QVERIFY(rig.authenticator.canUseFingerprint());
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
