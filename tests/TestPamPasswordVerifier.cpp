#include "platform/linux/PamPasswordVerifier.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <memory>

// Runs against pam_wrapper, which redirects libpam to service files of the test's own: the real
// system stack is never consulted. pam_matrix checks passwords against a plain-text file;
// pam_chatty only talks.
#ifndef VEILMARK_PAM_MODULE_DIR
#error "VEILMARK_PAM_MODULE_DIR must name the directory of pam_wrapper's test modules"
#endif

using Verdict = PamPasswordVerifier::Verdict;
using Result = PamPasswordVerifier::Result;

namespace {
const QString kUser = QStringLiteral("alice");
const QByteArray kPassword = QByteArrayLiteral("correct horse");
} // namespace

class TestPamPasswordVerifier : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    bool writeFile(const QString& name, const QString& text)
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
    }

private slots:
    void initTestCase()
    {
        // Without PAM_WRAPPER=1 the preloaded wrapper spins, and without the preload libpam would read
        // the real /etc/pam.d: either way, no PAM call may happen.
        if (qgetenv("PAM_WRAPPER") != "1" || !qgetenv("LD_PRELOAD").contains("pam_wrapper"))
            QSKIP("needs pam_wrapper: run with LD_PRELOAD=libpam_wrapper.so PAM_WRAPPER=1 (ctest does)");
        QVERIFY(m_dir.isValid());
        const QString passdb = m_dir.filePath(QStringLiteral("passdb"));
        QVERIFY(writeFile(QStringLiteral("passdb"),
                          QStringLiteral("%1:%2:veilmark\n").arg(kUser, QString::fromUtf8(kPassword))));
        const auto matrix = [&](const QString& options) {
            return QStringLiteral("auth required %1/pam_matrix.so passdb=%2 %3\n")
                .arg(QStringLiteral(VEILMARK_PAM_MODULE_DIR), passdb, options);
        };
        QVERIFY(writeFile(QStringLiteral("veilmark"), matrix({})));
        // Asks for the password with a visible prompt.
        QVERIFY(writeFile(QStringLiteral("echo"), matrix(QStringLiteral("echo"))));
        // Two modules that each ask for a password: a second factor.
        QVERIFY(writeFile(QStringLiteral("twice"), matrix({}) + matrix({})));
        // Messages before the prompt, and success or failure reported as PAM_TEXT_INFO / PAM_ERROR_MSG.
        QVERIFY(writeFile(QStringLiteral("chatty"),
                          QStringLiteral("auth required %1/pam_chatty.so num_lines=3 info error\n")
                                  .arg(QStringLiteral(VEILMARK_PAM_MODULE_DIR)) +
                              matrix(QStringLiteral("verbose"))));
        // No "other" either, so nothing stands in for a missing service.
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("other"))));
        // pam_wrapper reads this at each pam_start; set before any thread exists.
        qputenv("PAM_WRAPPER_SERVICE_DIR", QFile::encodeName(m_dir.path()));
    }

    void cleanup()
    {
        // No check may outlive its test (and its captured locals).
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void verdicts_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("verdict");

        const QString veilmark = PamPasswordVerifier::defaultService;
        const int accepted = int(Verdict::accepted);
        const int rejected = int(Verdict::rejected);
        const int unavailable = int(Verdict::unavailable);
        QTest::newRow("right password") << veilmark << kUser << kPassword << accepted;
        QTest::newRow("wrong password") << veilmark << kUser << QByteArray("wrong") << rejected;
        QTest::newRow("prefix of the password") << veilmark << kUser << kPassword.left(5) << rejected;
        QTest::newRow("right password, NUL, more")
            << veilmark << kUser << kPassword + QByteArray("\0x", 2) << rejected;
        QTest::newRow("empty password") << veilmark << kUser << QByteArray() << rejected;
        QTest::newRow("unknown user") << veilmark << QStringLiteral("mallory") << kPassword << rejected;
        QTest::newRow("no user") << veilmark << QString() << kPassword << rejected;
        QTest::newRow("messages, right") << QStringLiteral("chatty") << kUser << kPassword << accepted;
        QTest::newRow("messages, wrong")
            << QStringLiteral("chatty") << kUser << QByteArray("wrong") << rejected;
        // The right password must not be typed into a visible prompt or a second factor's.
        QTest::newRow("visible prompt") << QStringLiteral("echo") << kUser << kPassword << unavailable;
        QTest::newRow("second prompt") << QStringLiteral("twice") << kUser << kPassword << unavailable;
        QTest::newRow("no service file")
            << QStringLiteral("veilmark-missing") << kUser << kPassword << unavailable;
    }

    void verdicts()
    {
        QFETCH(QString, service);
        QFETCH(QString, user);
        QFETCH(QByteArray, password);
        QFETCH(int, verdict);
        password.detach();
        const char* storage = password.constData();
        const qsizetype size = password.size();

        const Result result = PamPasswordVerifier::verifyBlocking(service, user, password);

        QCOMPARE(int(result.verdict), verdict);
        QCOMPARE(result.message.isEmpty(), verdict == int(Verdict::accepted));
        // Wiped where it lay, not in a copy.
        QCOMPARE(password.constData(), storage);
        QCOMPARE(password, QByteArray(size, '\0'));
    }

    // The checks run beside the caller's thread, each delivering its own result there once, later.
    void verifyDeliversOnTheCallersThreadLater()
    {
        constexpr int checks = 8;
        QObject context;
        QList<int> deliveries(checks, 0);
        QList<Result> received(checks);
        bool elsewhere = false;
        for (int i = 0; i < checks; ++i) {
            // A copy of the literal shares its storage: only the verifier's own copy may be wiped.
            const QByteArray password = i % 2 == 0 ? kPassword : "wrong" + QByteArray::number(i);
            PamPasswordVerifier(PamPasswordVerifier::defaultService, kUser)
                .verify(password, &context, [&, i](const Result& result) {
                    ++deliveries[i];
                    received[i] = result;
                    elsewhere = elsewhere || QThread::currentThread() != context.thread();
                });
        }
        QCOMPARE(deliveries, QList<int>(checks, 0));

        QTRY_COMPARE_WITH_TIMEOUT(deliveries, QList<int>(checks, 1), 10000);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(deliveries, QList<int>(checks, 1));
        QVERIFY(!elsewhere);
        for (int i = 0; i < checks; ++i) {
            QCOMPARE(int(received[i].verdict), int(i % 2 == 0 ? Verdict::accepted : Verdict::rejected));
            QCOMPARE(received[i].message.isEmpty(), i % 2 == 0);
        }
        QCOMPARE(kPassword, QByteArray("correct horse"));
    }

    void verifySkipsDestroyedContext_data()
    {
        QTest::addColumn<bool>("null");
        QTest::addColumn<bool>("checkFinished");
        QTest::newRow("null") << true << false;
        QTest::newRow("destroyed while checking") << false << false;
        QTest::newRow("destroyed with the result queued") << false << true;
    }

    void verifySkipsDestroyedContext()
    {
        QFETCH(bool, null);
        QFETCH(bool, checkFinished);
        auto context = null ? nullptr : std::make_unique<QObject>();
        bool called = false;
        PamPasswordVerifier(PamPasswordVerifier::defaultService, kUser)
            .verify(kPassword, context.get(), [&](const Result&) { called = true; });
        if (checkFinished)
            QThreadPool::globalInstance()->waitForDone();
        context.reset();
        QThreadPool::globalInstance()->waitForDone();
        // Whatever the check posted is delivered now.
        QCoreApplication::sendPostedEvents();
        QVERIFY(!called);
    }
};

QTEST_GUILESS_MAIN(TestPamPasswordVerifier)
#include "TestPamPasswordVerifier.moc"
