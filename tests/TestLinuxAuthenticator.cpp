#include "fakes/FakePresencePrompt.h"
#include "platform/linux/FprintdVerifier.h"
#include "platform/linux/LinuxAuthenticator.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

// The Linux prompt flow with a scripted window, real PAM (through pam_wrapper and pam_matrix,
// never the system's stack) and fprintd on a system bus that has no fingerprint service.
#ifndef VEILMARK_PAM_MODULE_DIR
#error "VEILMARK_PAM_MODULE_DIR must name the directory of pam_wrapper's test modules"
#endif

using Result = Authenticator::Result;
using Policy = Authenticator::Policy;

class TestLinuxAuthenticator : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::optional<Authenticator::Outcome> m_outcome;

    struct Rig
    {
        FakePresencePrompt prompt;
        FprintdVerifier fingerprint;
        LinuxAuthenticator authenticator{prompt, fingerprint};
    };

    void evaluate(Rig& rig, Policy policy)
    {
        m_outcome.reset();
        rig.authenticator.evaluate(policy, "unlock the folder “Taxes”",
                                   [this](const Authenticator::Outcome& outcome) { m_outcome = outcome; });
    }

private slots:
    void initTestCase()
    {
        if (qgetenv("PAM_WRAPPER") != "1")
            QSKIP("needs pam_wrapper (run through CTest)");
        const QString user = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
        QFile passdb(m_dir.filePath("passdb"));
        QVERIFY(passdb.open(QIODevice::WriteOnly));
        passdb.write(QStringLiteral("%1:secret:veilmark\n").arg(user).toUtf8());
        passdb.close();
        QFile service(m_dir.filePath("veilmark"));
        QVERIFY(service.open(QIODevice::WriteOnly));
        service.write(QStringLiteral("auth required %1/pam_matrix.so passdb=%2\n")
                          .arg(VEILMARK_PAM_MODULE_DIR, passdb.fileName())
                          .toUtf8());
        service.close();
        qputenv("PAM_WRAPPER_SERVICE_DIR", QFile::encodeName(m_dir.path()));
        // A system bus without fprintd: the fingerprint route is simply not there.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QFile::encodeName(m_dir.filePath("no-bus")));
    }

    void rightPasswordSucceedsWithAProof()
    {
        Rig rig;
        evaluate(rig, Policy::deviceOwner);
        QVERIFY(rig.prompt.isOpen);
        QCOMPARE(rig.prompt.mode, PresencePrompt::Mode::password);
        QCOMPARE(rig.prompt.reason, QString("unlock the folder “Taxes”"));
        rig.prompt.type("secret");
        QVERIFY(rig.prompt.busy);
        QTRY_VERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::success);
        QVERIFY(m_outcome->proof.isFresh(QDateTime::currentDateTimeUtc()));
        QVERIFY(!rig.prompt.isOpen);
    }

    void wrongPasswordsRetryThenFail()
    {
        Rig rig;
        evaluate(rig, Policy::deviceOwner);
        for (int attempt = 1; attempt < LinuxAuthenticator::MaxPasswordAttempts; ++attempt) {
            rig.prompt.type("wrong");
            QTRY_VERIFY(!rig.prompt.busy);
            QVERIFY(rig.prompt.isOpen);
            QVERIFY(rig.prompt.statusIsError);
            QCOMPARE(rig.prompt.status, QString("Wrong password — try again"));
        }
        rig.prompt.type("wrong");
        QTRY_VERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::passwordFailed);
        QVERIFY(!m_outcome->proof.isFresh(QDateTime::currentDateTimeUtc()));
        QVERIFY(!rig.prompt.isOpen);
    }

    void cancelWhileCheckingIgnoresTheLateAnswer()
    {
        Rig rig;
        evaluate(rig, Policy::deviceOwner);
        rig.prompt.type("secret");
        rig.prompt.pressCancel();
        QVERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::userCancel);
        // The PAM answer still arrives, and must not reach a prompt opened since.
        evaluate(rig, Policy::deviceOwner);
        QTest::qWait(300);
        QVERIFY(!m_outcome.has_value());
        QVERIFY(rig.prompt.isOpen);
        rig.authenticator.cancelPrompt(Result::appCancel);
        QCOMPARE(m_outcome->result, Result::appCancel);
    }

    void fingerprintModeWithoutReader()
    {
        Rig rig;
        QVERIFY(!rig.authenticator.canUseFingerprint());
        QVERIFY(!rig.authenticator.hasFingerprintReader());
        evaluate(rig, Policy::fingerprint);
        QCOMPARE(rig.prompt.mode, PresencePrompt::Mode::fingerprint);
        QTRY_VERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::notAvailable);
    }

    void fallbackAndSecondPrompt()
    {
        Rig rig;
        evaluate(rig, Policy::fingerprint);
        rig.prompt.pressFallback();
        QVERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::userFallback);

        // A password typed into a fingerprint prompt is never checked.
        evaluate(rig, Policy::fingerprint);
        rig.prompt.type("secret");
        QVERIFY(!rig.prompt.busy);
        QTRY_VERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::notAvailable);

        // One prompt at a time.
        evaluate(rig, Policy::deviceOwner);
        std::optional<Authenticator::Outcome> refused;
        rig.authenticator.evaluate(Policy::deviceOwner, "again",
                                   [&](const Authenticator::Outcome& outcome) { refused = outcome; });
        QTRY_VERIFY(refused.has_value());
        QCOMPARE(refused->result, Result::otherError);
        QCOMPARE(rig.prompt.opens, 3);
        QVERIFY(rig.prompt.isOpen);
        rig.authenticator.cancelPrompt(Result::systemCancel);
        QCOMPARE(m_outcome->result, Result::systemCancel);
    }
};

QTEST_GUILESS_MAIN(TestLinuxAuthenticator)
#include "TestLinuxAuthenticator.moc"
