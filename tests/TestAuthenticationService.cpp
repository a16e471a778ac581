#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeSecretStore.h"

#include <QTest>

using Result = Authenticator::Result;
using Policy = Authenticator::Policy;

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

        void run(bool preferPassword = false)
        {
            result.reset();
            service.authenticate("unlock Firefox", preferPassword, [this](bool ok) { result = ok; });
        }
        // Waits for the callback; by then the service must no longer be authenticating.
        bool finish()
        {
            return QTest::qWaitFor([this] { return result.has_value(); }, 2000) &&
                   !service.isAuthenticating();
        }
        // The result of one authentication whose prompts answer `script`; none if it never finishes.
        std::optional<bool> attempt(const QList<Result>& script, bool preferPassword = false)
        {
            authenticator.script = script;
            run(preferPassword);
            return finish() ? result : std::nullopt;
        }
    };

private slots:
    void outcomes_data()
    {
        QTest::addColumn<QList<Result>>("script");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");

        QTest::newRow("match") << QList{Result::success} << true << "";
        QTest::newRow("fingerprint failed")
            << QList{Result::fingerprintFailed} << false << "Fingerprint not recognized — try again";
        QTest::newRow("password failed")
            << QList{Result::passwordFailed} << false << "Password not accepted — try again";
        QTest::newRow("no password") << QList{Result::passwordNotSet} << false
                                     << "No account password set on this computer";
        QTest::newRow("other error") << QList{Result::otherError} << false << "Authentication failed";
        // The fingerprint route is impossible or declined: the password prompt follows.
        for (Result first :
             {Result::lockout, Result::notEnrolled, Result::notAvailable, Result::userFallback}) {
            const QByteArray name = "fallback after " + QByteArray::number(int(first));
            QTest::newRow(name + ", success") << QList{first, Result::success} << true << "";
            QTest::newRow(name + ", wrong password")
                << QList{first, Result::passwordFailed} << false << "Password not accepted — try again";
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
            const QByteArray name = "cancel " + QByteArray::number(int(cancel));
            QTest::newRow(name + " first prompt") << QList{cancel} << false << "";
            QTest::newRow(name + " password prompt") << QList{Result::userFallback, cancel} << false << "";
        }
    }

    void outcomes()
    {
        QFETCH(QList<Result>, script);
        QFETCH(bool, ok);
        QFETCH(QString, message);
        Rig rig;
        // A message from an earlier attempt is cleared when the next one starts.
        QVERIFY(rig.attempt({Result::fingerprintFailed}));
        rig.authenticator.calls.clear();

        QCOMPARE(rig.attempt(script), std::optional(ok));
        QCOMPARE(rig.service.lastErrorMessageText(), message);
        QCOMPARE(rig.service.lastErrorMessage().has_value(), !message.isEmpty());
        QCOMPARE(rig.authenticator.calls.size(), script.size());
        QCOMPARE(rig.authenticator.calls[0].policy, Policy::fingerprint);
        if (script.size() == 2) {
            QCOMPARE(rig.authenticator.calls[1].policy, Policy::deviceOwner);
            QCOMPARE(rig.authenticator.calls[1].reason, QString("unlock Firefox"));
        }
        // Only a successful prompt's proof opens the keyring item.
        QCOMPARE(rig.secrets.reads, ok ? 1 : 0);
    }

    void passwordFirstWhenAskedOrWithoutFingerprint()
    {
        Rig rig;
        // Keyring trouble never changes the result.
        rig.secrets.failReads = true;
        QCOMPARE(rig.attempt({Result::success}, true), std::optional(true));
        rig.authenticator.fingerprintUsable = false;
        QCOMPARE(rig.attempt({Result::success}), std::optional(true));
        QCOMPARE(rig.authenticator.calls.size(), 2);
        QCOMPARE(rig.authenticator.calls[0].policy, Policy::deviceOwner);
        QCOMPARE(rig.authenticator.calls[1].policy, Policy::deviceOwner);
        QCOMPARE(rig.secrets.failedReads, 2);
        QVERIFY(!rig.service.lastErrorMessage());
    }

    void secondCallIsRefusedWhileTheFirstRuns()
    {
        Rig rig;
        rig.run();
        QVERIFY(rig.service.isAuthenticating());
        std::optional<bool> second;
        rig.service.authenticate("unlock Other", false, [&](bool ok) { second = ok; });
        QCOMPARE(second, std::optional<bool>(false));
        QCOMPARE(rig.authenticator.calls.size(), 1);
        QVERIFY(rig.service.isAuthenticating());

        // The first goes on; its error text is shown as the prompt gave it.
        rig.authenticator.reply(Result::otherError, "PAM: System error");
        QVERIFY(rig.finish());
        QCOMPARE(*rig.result, false);
        QCOMPARE(rig.service.lastErrorMessageText(), QString("PAM: System error"));
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
            QVERIFY(!called);
            QCOMPARE(secrets.reads, 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestAuthenticationService)
#include "TestAuthenticationService.moc"
