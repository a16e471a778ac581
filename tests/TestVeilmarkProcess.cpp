#include "io/AccessControlLock.h"
#include "store/EventLog.h"
#include "store/PolicySnapshot.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

#ifndef VEILMARK_BINARY
#error "VEILMARK_BINARY must name the veilmark executable"
#endif

// The real executable, started as a user would start it (on a private X server and session bus,
// without root's permission bypass), with a home of its own.
class TestVeilmarkProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_home;
    QString m_folder;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_home);
        env.insert("XDG_DATA_HOME", m_home + "/.local/share");
        env.insert("XDG_CONFIG_HOME", m_home + "/.config");
        env.insert("XDG_CACHE_HOME", m_home + "/.cache");
        // No logind here: its events simply never come.
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + m_root.filePath("no-system-bus"));
        env.remove("QT_QPA_PLATFORM");
        return env;
    }

    QList<LogEvent> events() const
    {
        QFile file(m_home + "/.local/share/Veilmark/events.json");
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return EventLog::decode(file.readAll()).value_or(QList<LogEvent>());
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a display and a session bus (run through CTest)");
        m_home = m_root.filePath("home");
        m_folder = m_home + "/Projects";
        QVERIFY(QDir().mkpath(m_folder));
        QVERIFY(QDir().mkpath(m_home + "/.local/share/Veilmark"));
        ::chmod(QFile::encodeName(m_folder).constData(), 0750);
        // As a crash would have left it: stored unlocked, directory open.
        PolicySnapshot snapshot;
        snapshot.folders = {{QUuid::createUuid(), m_folder, "Projects", true, false, 10}};
        QFile policy(m_home + "/.local/share/Veilmark/policies.json");
        QVERIFY(policy.open(QIODevice::WriteOnly));
        policy.write(snapshot.encode());
    }

    void cleanupTestCase() { AccessControlLock::unlockAndVerify(m_folder); }

    void relocksAtLaunchRunsOnceAndQuitsCleanly()
    {
        QVERIFY(AccessControlLock::isAccessible(m_folder));
        QProcess first;
        first.setProcessEnvironment(environment());
        first.setProcessChannelMode(QProcess::ForwardedChannels);
        first.start(VEILMARK_BINARY, {});
        QVERIFY(first.waitForStarted());

        QTRY_VERIFY_WITH_TIMEOUT(!events().isEmpty(), 15000);
        const QList<LogEvent> logged = events();
        QCOMPARE(logged.size(), 1);
        QCOMPARE(logged.first().subject + "|" + logged.first().detail,
                 QString("Projects|Relocked at launch — unlock session did not survive quit"));
        QVERIFY(!AccessControlLock::isAccessible(m_folder));

        // A second launch hands over to the first and ends; the first stays.
        QProcess second;
        second.setProcessEnvironment(environment());
        second.start(VEILMARK_BINARY, {});
        QVERIFY(second.waitForFinished(15000));
        QVERIFY(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(events().size(), 1);

        ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(15000));
        QVERIFY(first.exitStatus() == QProcess::NormalExit && first.exitCode() == 0);
        QVERIFY(!AccessControlLock::isAccessible(m_folder));
    }
};

QTEST_GUILESS_MAIN(TestVeilmarkProcess)
#include "TestVeilmarkProcess.moc"
