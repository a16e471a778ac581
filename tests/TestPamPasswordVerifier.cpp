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

using Verdict = PamPasswordVerifier::Verdict;
using Result = PamPasswordVerifier::Result;

namespace {
const QString kUser = QStringLiteral("alice");
const QByteArray kPassword = QByteArrayLiteral("correct horse");
const QString kService = PamPasswordVerifier::defaultService;

// Delivers whatever the checks have posted, once none is left running.
void settle()
{
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
}
} // namespace

class TestPamPasswordVerifier : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        // Without PAM_WRAPPER=1 the preloaded wrapper spins, and without the preload libpam would read
        // the real /etc/pam.d: either way, no PAM call may happen.
        if (qgetenv("PAM_WRAPPER") != "1" || !qgetenv("LD_PRELOAD").contains("pam_wrapper"))
            QSKIP("needs pam_wrapper: run with LD_PRELOAD=libpam_wrapper.so PAM_WRAPPER=1 (ctest does)");
        QVERIFY(m_dir.isValid());
        const auto module = [](const char* name, const QString& options) {
            return QStringLiteral("auth required %1/%2 %3\n").arg(VEILMARK_PAM_MODULE_DIR, name, options);
        };
        const QString matrix = module("pam_matrix.so", "passdb=" + m_dir.filePath("passdb"));
        const QMap<QString, QString> files{
            {"passdb", kUser + ':' + kPassword + ":veilmark\n"},
            {kService, matrix},
            // Asks for the password with a visible prompt.
            {"echo", matrix.trimmed() + " echo\n"},
            // Two modules that each ask for a password: a second factor.
            {"twice", matrix + matrix},
            // Messages before the prompt, and success or failure reported as PAM_TEXT_INFO / PAM_ERROR_MSG.
            {"chatty", module("pam_chatty.so", "num_lines=3 info error") + matrix.trimmed() + " verbose\n"},
            // Passes without asking for a password, as pam_unix does for an account without one.
            {"nopassword", module("pam_chatty.so", "num_lines=1 info")},
        };
        // No "other" either, so nothing stands in for a missing service.
        for (auto file = files.cbegin(); file != files.cend(); ++file) {
            QFile out(m_dir.filePath(file.key()));
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file.value().toUtf8()) > 0);
        }
        // pam_wrapper reads this at each pam_start; set before any thread exists.
        qputenv("PAM_WRAPPER_SERVICE_DIR", QFile::encodeName(m_dir.path()));
    }

    void cleanup()
    {
        // No check may outlive its test (and its captured locals).
        settle();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void verdicts_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<Verdict>("verdict");

        QTest::newRow("right password") << kService << kUser << kPassword << Verdict::accepted;
        QTest::newRow("wrong password") << kService << kUser << QByteArray("wrong") << Verdict::rejected;
        QTest::newRow("right password, NUL, more")
            << kService << kUser << kPassword + QByteArray("\0x", 2) << Verdict::rejected;
        QTest::newRow("unknown user") << kService << "mallory" << kPassword << Verdict::rejected;
        QTest::newRow("no user") << kService << QString() << kPassword << Verdict::rejected;
        QTest::newRow("messages") << "chatty" << kUser << kPassword << Verdict::accepted;
        QTest::newRow("no password") << "nopassword" << kUser << kPassword << Verdict::notSet;
        // The right password must not be typed into a visible prompt or a second factor's.
        QTest::newRow("visible prompt") << "echo" << kUser << kPassword << Verdict::unavailable;
        QTest::newRow("second prompt") << "twice" << kUser << kPassword << Verdict::unavailable;
        QTest::newRow("no service file") << "veilmark-missing" << kUser << kPassword << Verdict::unavailable;
    }

    void verdicts()
    {
        QFETCH(QString, service);
        QFETCH(QString, user);
        QFETCH(QByteArray, password);
        QFETCH(Verdict, verdict);
        password.detach();
        const char* storage = password.constData();
        const qsizetype size = password.size();

        const Result result = PamPasswordVerifier::verifyBlocking(service, user, password);

        QCOMPARE(result.verdict, verdict);
        QCOMPARE(result.message.isEmpty(), verdict == Verdict::accepted);
        // Wiped where it lay, not in a copy.
        QCOMPARE(password.constData(), storage);
        QCOMPARE(password, QByteArray(size, '\0'));
    }

    // The checks run beside the caller's thread, each delivering its own result there once, later, and
    // nothing once the context is gone.
    void verifyDeliversToALiveContextLater_data()
    {
        QTest::addColumn<QByteArray>("context");
        for (const char* context :
             {"alive", "null", "destroyed while checking", "destroyed with the result queued"})
            QTest::newRow(context) << QByteArray(context);
    }

    void verifyDeliversToALiveContextLater()
    {
        QFETCH(QByteArray, context);
        auto receiver = context == "null" ? nullptr : std::make_unique<QObject>();
        QList<Verdict> received[2];
        bool elsewhere = false;
        for (int i = 0; i < 2; ++i) {
            // A copy of the literal shares its storage: only the verifier's own copy may be wiped.
            PamPasswordVerifier(kService, kUser)
                .verify(i == 0 ? kPassword : "wrong", receiver.get(), [&, i](const Result& result) {
                    received[i] << result.verdict;
                    elsewhere = elsewhere || QThread::currentThread() != thread();
                });
        }
        QVERIFY(received[0].isEmpty() && received[1].isEmpty());
        if (context == "destroyed with the result queued")
            QThreadPool::globalInstance()->waitForDone();
        if (context != "alive")
            receiver.reset();
        settle();
        const bool alive = context == "alive";
        QCOMPARE(received[0], alive ? QList{Verdict::accepted} : QList<Verdict>());
        QCOMPARE(received[1], alive ? QList{Verdict::rejected} : QList<Verdict>());
        QVERIFY(!elsewhere);
        QCOMPARE(kPassword, QByteArray("correct horse"));
    }
};

QTEST_GUILESS_MAIN(TestPamPasswordVerifier)
#include "TestPamPasswordVerifier.moc"
