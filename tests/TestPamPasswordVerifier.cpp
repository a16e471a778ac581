#include "platform/linux/PamPasswordVerifier.h"

#include <QCoreApplication>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <memory>
#include <optional>
#include <vector>

// Runs against pam_wrapper, which redirects libpam to service files of the test's own: the real
// system stack is never consulted. pam_matrix checks passwords against a plain-text file;
// pam_chatty only talks.
#ifndef VEILMARK_PAM_MODULE_DIR
#error "VEILMARK_PAM_MODULE_DIR must name the directory of pam_wrapper's test modules"
#endif

using Verdict = PamPasswordVerifier::Verdict;
using Result = PamPasswordVerifier::Result;

Q_DECLARE_METATYPE(PamPasswordVerifier::Verdict)

namespace {

const QString kUser = QStringLiteral("alice");
const QByteArray kPassword = QByteArrayLiteral("correct horse");
// In the passdb but never given a service file, so PAM has nothing to read for it.
const QString kMissingService = QStringLiteral("veilmark-missing");

QString moduleLine(const QString& module, const QString& passdb, const QString& options = {})
{
    return QStringLiteral("auth required %1/%2 passdb=%3 %4\n")
        .arg(QStringLiteral(VEILMARK_PAM_MODULE_DIR), module, passdb, options);
}

const char* verdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::accepted:
        return "accepted";
    case Verdict::rejected:
        return "rejected";
    case Verdict::unavailable:
        return "unavailable";
    }
    return "?";
}

} // namespace

namespace QTest {
template <>
char* toString(const Verdict& verdict)
{
    return qstrdup(verdictName(verdict));
}
} // namespace QTest

class TestPamPasswordVerifier : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void verdicts_data();
    void verdicts();
    void sharedPasswordKeepsOtherOwnersIntact();
    void verifyDeliversOnMainThreadLater_data();
    void verifyDeliversOnMainThreadLater();
    void verifyDeliversOnContextThread();
    void verifySkipsDestroyedContext_data();
    void verifySkipsDestroyedContext();
    void concurrentChecksKeepTheirOwnResults();

private:
    bool writeFile(const QString& name, const QString& text);

    QTemporaryDir m_dir;
};

bool TestPamPasswordVerifier::writeFile(const QString& name, const QString& text)
{
    QFile file(m_dir.filePath(name));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
}

void TestPamPasswordVerifier::initTestCase()
{
    // Without PAM_WRAPPER=1 the preloaded wrapper spins, and without the preload libpam would read the
    // real /etc/pam.d: either way, no PAM call may happen.
    if (qgetenv("PAM_WRAPPER") != "1" || !qgetenv("LD_PRELOAD").contains("pam_wrapper")) {
        QSKIP("needs pam_wrapper: run with LD_PRELOAD=libpam_wrapper.so PAM_WRAPPER=1 (ctest does)");
    }
    QVERIFY(m_dir.isValid());
    const QString passdb = m_dir.filePath(QStringLiteral("passdb"));
    QVERIFY(writeFile(QStringLiteral("passdb"),
                      QStringLiteral("%1:%2:veilmark\n").arg(kUser, QString::fromUtf8(kPassword))));

    const QString matrix = QStringLiteral("pam_matrix.so");
    QVERIFY(writeFile(QStringLiteral("veilmark"), moduleLine(matrix, passdb)));
    // Reports success and failure as PAM_TEXT_INFO / PAM_ERROR_MSG.
    QVERIFY(writeFile(QStringLiteral("verbose"), moduleLine(matrix, passdb, QStringLiteral("verbose"))));
    // Asks for the password with a visible prompt.
    QVERIFY(writeFile(QStringLiteral("echo"), moduleLine(matrix, passdb, QStringLiteral("echo"))));
    // Two modules that each ask for a password: a second factor.
    QVERIFY(writeFile(QStringLiteral("twice"), moduleLine(matrix, passdb) + moduleLine(matrix, passdb)));
    QVERIFY(writeFile(QStringLiteral("chatty"),
                      QStringLiteral("auth required %1/pam_chatty.so num_lines=3 info error\n")
                              .arg(QStringLiteral(VEILMARK_PAM_MODULE_DIR)) +
                          moduleLine(matrix, passdb)));
    // No "other" either, so nothing stands in for a missing service.
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("other"))));

    // pam_wrapper reads this at each pam_start; set before any thread exists.
    qputenv("PAM_WRAPPER_SERVICE_DIR", QFile::encodeName(m_dir.path()));
}

void TestPamPasswordVerifier::cleanup()
{
    // No check may outlive its test (and its captured locals).
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestPamPasswordVerifier::verdicts_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<Verdict>("verdict");

    const QString veilmark = PamPasswordVerifier::defaultService;
    QTest::newRow("right password") << veilmark << kUser << kPassword << Verdict::accepted;
    QTest::newRow("wrong password") << veilmark << kUser << QByteArray("wrong") << Verdict::rejected;
    QTest::newRow("prefix of the password") << veilmark << kUser << kPassword.left(5) << Verdict::rejected;
    QTest::newRow("right password, NUL, more")
        << veilmark << kUser << kPassword + QByteArray("\0x", 2) << Verdict::rejected;
    QTest::newRow("empty password") << veilmark << kUser << QByteArray() << Verdict::rejected;
    QTest::newRow("unknown user") << veilmark << QStringLiteral("mallory") << kPassword << Verdict::rejected;
    QTest::newRow("no user") << veilmark << QString() << kPassword << Verdict::rejected;
    QTest::newRow("info message, right")
        << QStringLiteral("verbose") << kUser << kPassword << Verdict::accepted;
    QTest::newRow("error message, wrong")
        << QStringLiteral("verbose") << kUser << QByteArray("wrong") << Verdict::rejected;
    QTest::newRow("messages before the prompt")
        << QStringLiteral("chatty") << kUser << kPassword << Verdict::accepted;
    // The right password must not be typed into a visible prompt or a second factor's.
    QTest::newRow("visible prompt") << QStringLiteral("echo") << kUser << kPassword << Verdict::unavailable;
    QTest::newRow("second prompt") << QStringLiteral("twice") << kUser << kPassword << Verdict::unavailable;
    QTest::newRow("no service file") << kMissingService << kUser << kPassword << Verdict::unavailable;
}

void TestPamPasswordVerifier::verdicts()
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

void TestPamPasswordVerifier::sharedPasswordKeepsOtherOwnersIntact()
{
    QByteArray password = kPassword;
    const QByteArray other = password;

    const Result result =
        PamPasswordVerifier::verifyBlocking(PamPasswordVerifier::defaultService, kUser, password);

    QCOMPARE(result.verdict, Verdict::accepted);
    QCOMPARE(password, QByteArray(kPassword.size(), '\0'));
    // A literal's storage is read-only, another owner's is not ours to change.
    QCOMPARE(other, QByteArray("correct horse"));
    QCOMPARE(kPassword, QByteArray("correct horse"));
}

void TestPamPasswordVerifier::verifyDeliversOnMainThreadLater_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<Verdict>("verdict");
    QTest::newRow("right") << kPassword << Verdict::accepted;
    QTest::newRow("wrong") << QByteArray("wrong") << Verdict::rejected;
}

void TestPamPasswordVerifier::verifyDeliversOnMainThreadLater()
{
    QFETCH(QByteArray, password);
    QFETCH(Verdict, verdict);
    QObject context;
    int calls = 0;
    std::optional<Result> received;
    QThread* deliveredOn = nullptr;

    PamPasswordVerifier::verify(kUser, std::move(password), &context, [&](const Result& result) {
        ++calls;
        received = result;
        deliveredOn = QThread::currentThread();
    });
    // The caller's thread must not block on PAM, nor be called back before it returns.
    QCOMPARE(calls, 0);

    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 10000);
    QCOMPARE(received->verdict, verdict);
    QCOMPARE(received->message.isEmpty(), verdict == Verdict::accepted);
    QCOMPARE(deliveredOn, QThread::currentThread());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(calls, 1);
}

void TestPamPasswordVerifier::verifyDeliversOnContextThread()
{
    struct Delivery
    {
        QAtomicPointer<QThread> thread;
        QAtomicInt verdict = -1;
    };
    const auto delivery = std::make_shared<Delivery>();
    QThread thread;
    auto context = std::make_unique<QObject>();
    context->moveToThread(&thread);
    thread.start();
    const auto stop = qScopeGuard([&] {
        thread.quit();
        thread.wait();
    });

    PamPasswordVerifier::verify(kUser, kPassword, context.get(), [delivery](const Result& result) {
        delivery->verdict.storeRelease(static_cast<int>(result.verdict));
        delivery->thread.storeRelease(QThread::currentThread());
    });

    QTRY_VERIFY_WITH_TIMEOUT(delivery->thread.loadAcquire() != nullptr, 10000);
    QCOMPARE(delivery->thread.loadAcquire(), &thread);
    QCOMPARE(static_cast<Verdict>(delivery->verdict.loadAcquire()), Verdict::accepted);
}

void TestPamPasswordVerifier::verifySkipsDestroyedContext_data()
{
    QTest::addColumn<bool>("null");
    QTest::addColumn<bool>("checkFinished");
    QTest::newRow("null") << true << false;
    QTest::newRow("destroyed while checking") << false << false;
    QTest::newRow("destroyed with the result queued") << false << true;
}

void TestPamPasswordVerifier::verifySkipsDestroyedContext()
{
    QFETCH(bool, null);
    QFETCH(bool, checkFinished);
    auto context = null ? nullptr : std::make_unique<QObject>();
    bool called = false;

    PamPasswordVerifier::verify(kUser, kPassword, context.get(), [&](const Result&) { called = true; });
    if (checkFinished) {
        QThreadPool::globalInstance()->waitForDone();
    }
    context.reset();
    QThreadPool::globalInstance()->waitForDone();
    // Whatever the check posted is delivered now.
    QCoreApplication::sendPostedEvents();

    QVERIFY(!called);
}

void TestPamPasswordVerifier::concurrentChecksKeepTheirOwnResults()
{
    constexpr int checks = 8;
    QObject context;
    std::vector<std::optional<Verdict>> received(checks);
    int delivered = 0;

    for (int i = 0; i < checks; ++i) {
        const QByteArray password = i % 2 == 0 ? kPassword : QByteArray("wrong") + QByteArray::number(i);
        PamPasswordVerifier::verify(kUser, password, &context, [&, i](const Result& result) {
            received[static_cast<size_t>(i)] = result.verdict;
            ++delivered;
        });
    }

    QTRY_COMPARE_WITH_TIMEOUT(delivered, checks, 10000);
    for (int i = 0; i < checks; ++i) {
        QVERIFY2(received[static_cast<size_t>(i)].has_value(), qPrintable(QString::number(i)));
        QCOMPARE(*received[static_cast<size_t>(i)], i % 2 == 0 ? Verdict::accepted : Verdict::rejected);
    }
}

QTEST_GUILESS_MAIN(TestPamPasswordVerifier)
#include "TestPamPasswordVerifier.moc"
