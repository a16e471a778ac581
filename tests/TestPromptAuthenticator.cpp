#include "fakes/FakePresencePrompt.h"
#include "platform/linux/FprintdVerifier.h"
#include "auth/PromptAuthenticator.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

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
    FakePresencePrompt m_prompt;
    FprintdVerifier m_fingerprint;
    std::optional<LinuxAuthenticator> m_authenticator;

    void evaluate(Policy policy)
    {
        m_outcome.reset();
        m_authenticator->evaluate(policy, "unlock the folder “Taxes”",
                                  [this](const Authenticator::Outcome& outcome) { m_outcome = outcome; });
    }

    bool freshProof() const { return m_outcome->proof.isFresh(QDateTime::currentDateTimeUtc()); }

private slots:
    void initTestCase()
    {
        if (qgetenv("PAM_WRAPPER") != "1")
            QSKIP("needs pam_wrapper (run through CTest)");
        QFile passdb(m_dir.filePath("passdb"));
        QFile service(m_dir.filePath("veilmark"));
        QVERIFY(passdb.open(QIODevice::WriteOnly) && service.open(QIODevice::WriteOnly));
        passdb.write(QByteArray(::getpwuid(::geteuid())->pw_name) + ":secret:veilmark\n");
        service.write(QStringLiteral("auth required %1/pam_matrix.so passdb=%2\n")
                          .arg(VEILMARK_PAM_MODULE_DIR, passdb.fileName())
                          .toUtf8());
        passdb.close();
        service.close();
        qputenv("PAM_WRAPPER_SERVICE_DIR", QFile::encodeName(m_dir.path()));
        // A system bus without fprintd: the fingerprint route is simply not there.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QFile::encodeName(m_dir.filePath("no-bus")));
        m_authenticator.emplace(m_prompt, m_fingerprint);
    }

    void passwordPromptChecksThroughPam()
    {
        evaluate(Policy::deviceOwner);
        QVERIFY(m_prompt.isOpen);
        QCOMPARE(m_prompt.mode, PresencePrompt::Mode::password);
        QCOMPARE(m_prompt.reason, QString("unlock the folder “Taxes”"));
        for (int attempt = 1; attempt < LinuxAuthenticator::MaxPasswordAttempts; ++attempt) {
            m_prompt.type("wrong");
            QVERIFY(m_prompt.busy);
            QTRY_VERIFY(!m_prompt.busy);
            QVERIFY(m_prompt.isOpen);
            QVERIFY(m_prompt.statusIsError);
            QCOMPARE(m_prompt.status, QString("Wrong password — try again"));
        }
        m_prompt.type("secret");
        QTRY_VERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::success);
        QVERIFY(freshProof());
        QVERIFY(!m_prompt.isOpen);

        // The count starts afresh with each prompt.
        evaluate(Policy::deviceOwner);
        for (int attempt = 0; attempt < LinuxAuthenticator::MaxPasswordAttempts; ++attempt) {
            QTRY_VERIFY(!m_prompt.busy && !m_outcome);
            m_prompt.type("wrong");
        }
        QTRY_VERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::passwordFailed);
        QVERIFY(!freshProof());
        QVERIFY(!m_prompt.isOpen);
    }

    void cancelWhileCheckingIgnoresTheLateAnswer()
    {
        evaluate(Policy::deviceOwner);
        m_prompt.type("secret");
        m_prompt.pressCancel();
        QVERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::userCancel);
        // The PAM answer still arrives, and must not reach a prompt opened since.
        evaluate(Policy::deviceOwner);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        QVERIFY(!m_outcome.has_value());
        QVERIFY(m_prompt.isOpen);
        m_authenticator->cancelPrompt(Result::appCancel);
        QCOMPARE(m_outcome->result, Result::appCancel);
    }

    void fingerprintRouteAndOnePromptAtATime()
    {
        QVERIFY(!m_authenticator->canUseFingerprint());
        QVERIFY(!m_authenticator->hasFingerprintReader());
        evaluate(Policy::fingerprint);
        QCOMPARE(m_prompt.mode, PresencePrompt::Mode::fingerprint);
        QTRY_VERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::notAvailable);

        evaluate(Policy::fingerprint);
        m_prompt.pressFallback();
        QVERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::userFallback);

        // A password typed into a fingerprint prompt is never checked.
        evaluate(Policy::fingerprint);
        m_prompt.type("secret");
        QVERIFY(!m_prompt.busy);
        QTRY_VERIFY(m_outcome.has_value());
        QCOMPARE(m_outcome->result, Result::notAvailable);

        evaluate(Policy::deviceOwner);
        const int opens = m_prompt.opens;
        std::optional<Authenticator::Outcome> refused;
        m_authenticator->evaluate(Policy::deviceOwner, "again",
                                  [&](const Authenticator::Outcome& outcome) { refused = outcome; });
        QTRY_VERIFY(refused.has_value());
        QCOMPARE(refused->result, Result::otherError);
        QCOMPARE(m_prompt.opens, opens);
        QVERIFY(m_prompt.isOpen);
        m_authenticator->cancelPrompt(Result::systemCancel);
        QCOMPARE(m_outcome->result, Result::systemCancel);
    }
};

QTEST_GUILESS_MAIN(TestLinuxAuthenticator)
#include "TestLinuxAuthenticator.moc"
