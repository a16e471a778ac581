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

    QProcessEnvironment environment(const QString& home) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_DATA_HOME", home + "/.local/share");
        env.insert("XDG_CONFIG_HOME", home + "/.config");
        env.insert("XDG_CACHE_HOME", home + "/.cache");
        // No logind here: its events simply never come.
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + m_root.filePath("no-system-bus"));
        env.remove("QT_QPA_PLATFORM");
        return env;
    }

    QList<LogEvent> events(const QString& home) const
    {
        QFile file(home + "/.local/share/Veilmark/events.json");
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
        QVERIFY(writePolicy(m_home, snapshot));
    }

    static bool writePolicy(const QString& home, const PolicySnapshot& snapshot)
    {
        QFile policy(home + "/.local/share/Veilmark/policies.json");
        return QDir().mkpath(home + "/.local/share/Veilmark") && policy.open(QIODevice::WriteOnly) &&
               policy.write(snapshot.encode()) > 0;
    }

    static QString run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(10000);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    void cleanupTestCase() { AccessControlLock::unlockAndVerify(m_folder); }

    void relocksAtLaunchRunsOnceAndQuitsCleanly()
    {
        QVERIFY(AccessControlLock::isAccessible(m_folder));
        QProcess first;
        first.setProcessEnvironment(environment(m_home));
        first.setProcessChannelMode(QProcess::ForwardedChannels);
        first.start(VEILMARK_BINARY, {});
        QVERIFY(first.waitForStarted());

        QTRY_VERIFY_WITH_TIMEOUT(!events(m_home).isEmpty(), 15000);
        const QList<LogEvent> logged = events(m_home);
        QCOMPARE(logged.size(), 1);
        QCOMPARE(logged.first().subject + "|" + logged.first().detail,
                 QString("Projects|Relocked at launch — unlock session did not survive quit"));
        QVERIFY(!AccessControlLock::isAccessible(m_folder));

        // A second launch hands over to the first and ends; the first stays.
        QProcess second;
        second.setProcessEnvironment(environment(m_home));
        second.start(VEILMARK_BINARY, {});
        QVERIFY(second.waitForFinished(15000));
        QVERIFY(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(events(m_home).size(), 1);

        ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(15000));
        QVERIFY(first.exitStatus() == QProcess::NormalExit && first.exitCode() == 0);
        QVERIFY(!AccessControlLock::isAccessible(m_folder));
    }

    // The window system is decided once, at start: in a Wayland session (even with an X server
    // answering, as Xwayland does) no desktop entry is locked and no window hidden or shielded. The
    // same start in an X11 session does both, so the test can tell.
    void waylandSessionLeavesApplicationsAlone_data()
    {
        QTest::addColumn<QString>("session");
        QTest::newRow("x11") << "x11";
        QTest::newRow("wayland") << "wayland";
    }

    void waylandSessionLeavesApplicationsAlone()
    {
        QFETCH(QString, session);
        const bool protects = session == "x11";
        const QString home = m_root.filePath("home-" + session);
        const QString entry = home + "/.local/share/applications/vmlogo.desktop";
        QVERIFY(QDir().mkpath(home + "/.local/share/applications") && QDir().mkpath(home + "/Marker"));
        QFile file(entry);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nName=Logo\nExec=xlogo -name vmlogo\n");
        file.close();
        PolicySnapshot snapshot;
        snapshot.apps = {{"vmlogo", "Logo", entry, true, true}};
        // Stored unlocked: its relock at launch tells that start-up is done.
        snapshot.folders = {{QUuid::createUuid(), home + "/Marker", "Marker", true, false, 10}};
        QVERIFY(writePolicy(home, snapshot));

        QProcess logo;
        logo.start("xlogo", {"-name", "vmlogo"});
        QString window;
        QTRY_VERIFY_WITH_TIMEOUT(!(window = run("xdotool", {"search", "--classname", "vmlogo"})).isEmpty(),
                                 10000);
        const auto state = [&] { return run("xprop", {"-id", window, "WM_STATE"}); };
        QTRY_VERIFY_WITH_TIMEOUT(state().contains("Normal"), 10000);

        QProcess veilmark;
        QProcessEnvironment env = environment(home);
        env.insert("XDG_SESSION_TYPE", session);
        veilmark.setProcessEnvironment(env);
        veilmark.setProcessChannelMode(QProcess::ForwardedChannels);
        veilmark.start(VEILMARK_BINARY, {"--background"});
        QTRY_VERIFY_WITH_TIMEOUT(!events(home).isEmpty(), 15000);
        run("xdotool", {"windowactivate", "--sync", window});
        QTest::qWait(500);
        QCOMPARE(AccessControlLock::isAccessible(entry), !protects);
        QCOMPARE(state().contains("Iconic"), protects);

        ::kill(static_cast<pid_t>(veilmark.processId()), SIGTERM);
        QVERIFY(veilmark.waitForFinished(15000));
        QCOMPARE(AccessControlLock::isAccessible(entry), !protects);
        AccessControlLock::unlockAndVerify(entry);
        AccessControlLock::unlockAndVerify(home + "/Marker");
        logo.kill();
        logo.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestVeilmarkProcess)
#include "TestVeilmarkProcess.moc"
