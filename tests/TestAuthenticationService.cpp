#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeSecretStore.h"

#include <QSignalSpy>
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
        bool finish()
        {
            if (!QTest::qWaitFor([this] { return result.has_value(); }, 2000))
                return false;
            return !service.isAuthenticating();
        }
    };

private slots:
    void failuresGiveTheirMessage_data()
    {
        QTest::addColumn<Result>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("fingerprint failed")
            << Result::fingerprintFailed << "Fingerprint not recognized — try again";
        QTest::newRow("password failed") << Result::passwordFailed << "Password not accepted — try again";
        QTest::newRow("no password") << Result::passwordNotSet << "No account password set on this computer";
        QTest::newRow("other") << Result::otherError << "Fingerprint reader error";
    }

    void failuresGiveTheirMessage()
    {
        QFETCH(Result, result);
        QFETCH(QString, message);
        Rig rig;
        rig.authenticator.script = {result};
        rig.run();
        QVERIFY(rig.finish());
        QCOMPARE(*rig.result, false);
        // One prompt only: these failures do not lead to the password prompt.
        QCOMPARE(rig.authenticator.calls.size(), 1);
        if (result == Result::otherError)
            QCOMPARE(AuthenticationService::message({result, message}), message);
        else
            QCOMPARE(rig.service.lastErrorMessage(), std::optional<QString>(message));
    }

    void messageTable()
    {
        // Reached through the password route; the table itself must still say the right thing.
        QCOMPARE(AuthenticationService::message({Result::notAvailable}),
                 "Fingerprint unavailable — use your password");
        QCOMPARE(AuthenticationService::message({Result::notEnrolled}),
                 "No fingerprints enrolled — set one up in Settings");
        QCOMPARE(AuthenticationService::message({Result::lockout}), "Fingerprint locked — use your password");
        QCOMPARE(AuthenticationService::message({Result::otherError, "PAM: System error"}),
                 "PAM: System error");
        QCOMPARE(AuthenticationService::message({Result::otherError}), "Authentication failed");
    }

    void fingerprintRouteFallsBackToPassword_data()
    {
        QTest::addColumn<Result>("first");
        QTest::newRow("lockout") << Result::lockout;
        QTest::newRow("not enrolled") << Result::notEnrolled;
        QTest::newRow("not available") << Result::notAvailable;
        QTest::newRow("user fallback") << Result::userFallback;
    }

    void fingerprintRouteFallsBackToPassword()
    {
        QFETCH(Result, first);
        Rig rig;
        rig.authenticator.script = {first, Result::success};
        rig.run();
        QVERIFY(rig.finish());
        QCOMPARE(*rig.result, true);
        QCOMPARE(rig.authenticator.calls.size(), 2);
        QCOMPARE(rig.authenticator.calls[0].policy, Policy::fingerprint);
        QCOMPARE(rig.authenticator.calls[1].policy, Policy::deviceOwner);
        QCOMPARE(rig.authenticator.calls[1].reason, QString("unlock Firefox"));
        QVERIFY(!rig.service.lastErrorMessage());
        // The successful prompt's proof opens the keyring item.
        QCOMPARE(rig.secrets.reads, 1);
        QCOMPARE(rig.secrets.failedReads, 0);
    }

    void wrongPasswordAfterFallbackEndsWithItsMessage()
    {
        Rig rig;
        rig.authenticator.script = {Result::lockout, Result::passwordFailed};
        rig.run();
        QVERIFY(rig.finish());
        QCOMPARE(*rig.result, false);
        QCOMPARE(rig.service.lastErrorMessage(), std::optional<QString>("Password not accepted — try again"));
    }

    void policyChoice()
    {
        Rig rig;
        rig.authenticator.script = {Result::success};
        rig.run(true);
        QVERIFY(rig.finish());
        QCOMPARE(rig.authenticator.calls.last().policy, Policy::deviceOwner);

        // No usable reader: the first prompt is already the password prompt.
        rig.authenticator.fingerprintUsable = false;
        rig.authenticator.script = {Result::success};
        rig.run(false);
        QVERIFY(rig.finish());
        QCOMPARE(rig.authenticator.calls.size(), 2);
        QCOMPARE(rig.authenticator.calls.last().policy, Policy::deviceOwner);

        QCOMPARE(rig.service.biometryName(), QString("Fingerprint"));
        rig.authenticator.readerPresent = false;
        QCOMPARE(rig.service.biometryName(), QString("Password"));
    }

    void cancellationLeavesNoMessage_data()
    {
        QTest::addColumn<QList<Result>>("script");
        for (Result cancel : {Result::userCancel, Result::appCancel, Result::systemCancel}) {
            const auto name = QByteArray::number(int(cancel));
            QTest::newRow("first prompt " + name) << QList<Result>{cancel};
            QTest::newRow("password prompt " + name) << QList<Result>{Result::userFallback, cancel};
        }
    }

    void cancellationLeavesNoMessage()
    {
        QFETCH(QList<Result>, script);
        Rig rig;
        // A message from an earlier attempt is cleared when the next one starts.
        rig.authenticator.script = {Result::fingerprintFailed};
        rig.run();
        QVERIFY(rig.finish());
        QVERIFY(rig.service.lastErrorMessage());

        rig.authenticator.script = script;
        rig.run();
        QVERIFY(rig.finish());
        QCOMPARE(*rig.result, false);
        QVERIFY(!rig.service.lastErrorMessage());
        QCOMPARE(rig.service.lastErrorMessageText(), QString());
    }

    void secondCallIsRefusedWhileTheFirstRuns()
    {
        Rig rig;
        QSignalSpy running(&rig.service, &AuthenticationService::isAuthenticatingChanged);
        rig.run();
        QVERIFY(rig.service.isAuthenticating());
        QVERIFY(rig.authenticator.isOpen());

        std::optional<bool> second;
        rig.service.authenticate("unlock Other", false, [&](bool ok) { second = ok; });
        QCOMPARE(second, std::optional<bool>(false));
        QCOMPARE(rig.authenticator.calls.size(), 1);
        QVERIFY(rig.service.isAuthenticating());
        QCOMPARE(running.count(), 1);

        rig.authenticator.reply(Result::success);
        QVERIFY(rig.finish());
        QCOMPARE(*rig.result, true);
        QCOMPARE(running.count(), 2);
    }

    void keyringTroubleNeverChangesTheResult()
    {
        Rig rig;
        rig.secrets.failReads = true;
        rig.authenticator.script = {Result::success};
        rig.run();
        QVERIFY(rig.finish());
        QCOMPARE(*rig.result, true);
        QVERIFY(!rig.service.lastErrorMessage());
    }

    void destroyedServiceNeverCallsBack()
    {
        FakeAuthenticator authenticator;
        FakeSecretStore secrets;
        KeychainService keychain(secrets);
        bool called = false;
        {
            AuthenticationService service(authenticator, keychain);
            service.authenticate("unlock X", false, [&](bool) { called = true; });
        }
        authenticator.reply(Result::success);
        QVERIFY(!called);
    }
};

QTEST_GUILESS_MAIN(TestAuthenticationService)
#include "TestAuthenticationService.moc"
