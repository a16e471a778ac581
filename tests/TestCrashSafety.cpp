#include "TestDataHome.h"
#include "store/EventLog.h"
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <csignal>

// A child process saves both documents in a loop and is killed with SIGKILL at random
// moments. Whatever moment the kill hits, the files on disk must decode and hold one of the
// states the child wrote: state k is fully determined by the number k.

namespace {
constexpr const char* ChildVariable = "VEILMARK_CRASH_CHILD";

QList<ProtectedApp> appsForState(qint64 k)
{
    QList<ProtectedApp> apps;
    for (qint64 i = 0; i <= k % 17; ++i)
        apps.append(
            {QStringLiteral("app.%1.%2").arg(k).arg(i), QString::number(k), "/x.desktop", i % 2 == 0});
    return apps;
}

int runChild(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    PolicyStore store;
    EventLog log;
    for (qint64 k = store.apps().isEmpty() ? 1 : store.apps().first().name.toLongLong() + 1;; ++k) {
        store.setApps(appsForState(k));
        log.record(LogEventKind::appRelocked, QString::number(k), QStringLiteral("state %1").arg(k));
    }
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void killedWriterLeavesAWholeDocument()
    {
        TestDataHome home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(ChildVariable, "1");
        qint64 lastState = 0;
        for (int kill = 1; kill <= 220; ++kill) {
            QProcess child;
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath());
            QVERIFY(child.waitForStarted());
            QThread::usleep(QRandomGenerator::global()->bounded(1000, 40000));
            ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            if (!QFile::exists(home.file("events.json")))
                continue;

            const QString when = QStringLiteral(" undecodable after kill %1").arg(kill);
            QStringList problems;
            const auto snapshot = PolicySnapshot::decode(readAll(home.file("policies.json")), &problems);
            QVERIFY2(snapshot && problems.isEmpty(), qPrintable("policies.json" + when));
            const qint64 k = snapshot->apps.first().name.toLongLong();
            QVERIFY(snapshot->apps == appsForState(k) && k >= lastState);
            lastState = k;
            const auto events = EventLog::decode(readAll(home.file("events.json")), &problems);
            QVERIFY2(events && problems.isEmpty() && !events->isEmpty() && events->size() <= EventLog::cap,
                     qPrintable("events.json" + when));
            // A kill between the two saves skips one event, so states only descend.
            for (qsizetype i = 0; i < events->size(); ++i) {
                QCOMPARE(events->at(i).detail, "state " + events->at(i).subject);
                QVERIFY(i == 0 ||
                        events->at(i).subject.toLongLong() < events->at(i - 1).subject.toLongLong());
            }
        }
        // The loop must really have been writing while it was killed.
        QVERIFY2(lastState > 100, qPrintable(QString("only %1 states written").arg(lastState)));
        // Temporary files of killed writes do not pile up: the next start clears them, and never
        // takes a whole document for an unreadable one.
        const PolicyStore store;
        const EventLog log;
        const QStringList entries = QDir(home.dataDir()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY2(entries.size() == 2, qPrintable(entries.join(", ")));
    }
};

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet(ChildVariable))
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestCrashSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestCrashSafety.moc"
