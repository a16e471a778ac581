#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeSecretStore.h"

#include <QSignalSpy>
#include <QTest>

using Result = Authenticator::Result;
using Policy = Authenticator::Policy;

// The prompts answer through FakeAuthenticator::reply(), which calls back at once.
class TestAuthenticationService : public QObject
{
    Q_OBJECT

    struct Rig
    {
        FakeAuthenticator authenticator;
        FakeSecretStore secrets;
        KeychainService keychain{secrets};
        AuthenticationService service{authenticator, keychain};
        std::optional<bool> result;

        // Starts an authentication and answers its prompts in turn; the result, if it finished.
        std::optional<bool> attempt(const QList<Result>& answers, bool preferPassword = false)
        {
            result.reset();
            service.authenticate("unlock Firefox", preferPassword, [this](bool ok) { result = ok; });
            for (const Result answer : answers)
                authenticator.reply(answer);
            return result;
        }
    };

private slots:
    void outcomes_data()
    {
        QTest::addColumn<QList<Result>>("answers");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        const QString wrongPassword = "Password not accepted — try again";
        QTest::newRow("match") << QList{Result::success} << true << "";
        QTest::newRow("fingerprint failed")
            << QList{Result::fingerprintFailed} << false << "Fingerprint not recognized — try again";
        QTest::newRow("password failed") << QList{Result::passwordFailed} << false << wrongPassword;
        QTest::newRow("no password") << QList{Result::passwordNotSet} << false
                                     << "No account password set on this computer";
        QTest::newRow("other error") << QList{Result::otherError} << false << "Authentication failed";
        // The password prompt comes first when asked for or without a usable fingerprint reader;
        // keyring trouble (in these two rows) never changes the result.
        QTest::newRow("password preferred") << QList{Result::success} << true << "";
        QTest::newRow("no usable fingerprint") << QList{Result::success} << true << "";
        // The fingerprint route is impossible or declined: the password prompt follows.
        for (Result first :
             {Result::lockout, Result::notEnrolled, Result::notAvailable, Result::userFallback}) {
            QTest::addRow("fallback after %d, success", int(first))
                << QList{first, Result::success} << true << "";
            QTest::addRow("fallback after %d, wrong password", int(first))
                << QList{first, Result::passwordFailed} << false << wrongPassword;
        }
        QTest::newRow("password prompt: not available")
            << QList{Result::userFallback, Result::notAvailable} << false
            << "Fingerprint unavailable — use your password";
        QTest::newRow("password prompt: not enrolled")
            << QList{Result::userFallback, Result::notEnrolled} << false
            << "No fingerprints enrolled — set one up in Settings";
        QTest::newRow("password prompt: lockout") << QList{Result::userFallback, Result::lockout} << false
                                                  << "Fingerprint locked — use your password";
        for (Result cancel : {Result::userCancel, Result::appCancel, Result::systemCancel}) {
            QTest::addRow("cancel %d first prompt", int(cancel)) << QList{cancel} << false << "";
            QTest::addRow("cancel %d password prompt", int(cancel))
                << QList{Result::userFallback, cancel} << false << "";
        }
    }

    // A message from an earlier attempt is cleared when the next one starts. The second prompt
    // asks for the password with the same reason; only a successful prompt's proof opens the
    // keyring item.
    void outcomes()
    {
        QFETCH(QList<Result>, answers);
        QFETCH(bool, ok);
        QFETCH(QString, message);
        const QString row = QTest::currentDataTag();
        const bool passwordFirst = row == "password preferred" || row == "no usable fingerprint";
        Rig rig;
        QCOMPARE(rig.attempt({Result::fingerprintFailed}), false);
        rig.authenticator.calls.clear();
        rig.authenticator.fingerprintUsable = row != "no usable fingerprint";
        rig.secrets.failReads = passwordFirst;

        QCOMPARE(rig.attempt(answers, row == "password preferred"), ok);
        QVERIFY(!rig.service.isAuthenticating());
        QCOMPARE(rig.service.lastErrorMessage(), message.isEmpty() ? std::nullopt : std::optional(message));
        QList<Policy> policies{passwordFirst ? Policy::deviceOwner : Policy::fingerprint,
                               Policy::deviceOwner};
        for (const FakeAuthenticator::Call& call : rig.authenticator.calls)
            QVERIFY(call.policy == policies.takeFirst() && call.reason == "unlock Firefox");
        QCOMPARE(rig.authenticator.calls.size(), answers.size());
        QCOMPARE(rig.secrets.reads, ok ? 1 : 0);
    }

    // Refused at once while another runs, which goes on and shows the prompt's own error text.
    void secondCallIsRefusedWhileTheFirstRuns()
    {
        Rig rig;
        QCOMPARE(rig.attempt({}), std::nullopt);
        QVERIFY(rig.service.isAuthenticating());
        std::optional<bool> second;
        rig.service.authenticate("unlock Other", false, [&](bool ok) { second = ok; });
        QCOMPARE(second, false);
        QCOMPARE(rig.authenticator.calls.size(), 1);
        rig.authenticator.reply(Result::otherError, "PAM: System error");
        QCOMPARE(rig.result, false);
        QCOMPARE(rig.service.lastErrorMessageText(), "PAM: System error");
    }

    // Each failed attempt inside a prompt is passed on as it happens.
    void failedAttemptsArePassedOn()
    {
        Rig rig;
        QSignalSpy attempts(&rig.service, &AuthenticationService::attemptFailed);
        QVERIFY(rig.authenticator.onFailedAttempt);
        rig.authenticator.onFailedAttempt("unlock Firefox", "Wrong password");
        QCOMPARE(attempts, QList<QVariantList>({{"unlock Firefox", "Wrong password"}}));
    }

    void destroyedServiceNeverCallsBack()
    {
        for (const bool onPasswordPrompt : {false, true}) {
            FakeAuthenticator authenticator;
            FakeSecretStore secrets;
            KeychainService keychain(secrets);
            bool called = false;
            {
                AuthenticationService service(authenticator, keychain);
                service.authenticate("unlock X", false, [&](bool) { called = true; });
                if (onPasswordPrompt)
                    authenticator.reply(Result::userFallback);
            }
            QCOMPARE(authenticator.calls.size(), onPasswordPrompt ? 2 : 1);
            authenticator.reply(Result::success);
            QVERIFY(!called && secrets.reads == 0);
            QVERIFY(!authenticator.onFailedAttempt);
        }
    }
};

QTEST_GUILESS_MAIN(TestAuthenticationService)
#include "TestAuthenticationService.moc"
