#include "ChildProcesses.h"
#include "io/AccessControlLock.h"
#include "store/EventLog.h"
#include "store/PolicySnapshot.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
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

    // The processes whose parent is `parent` and whose command line contains `argument`.
    static QList<pid_t> children(qint64 parent, const QByteArray& argument)
    {
        QList<pid_t> found;
        for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
            QFile stat("/proc/" + entry + "/stat"), cmdline("/proc/" + entry + "/cmdline");
            if (!stat.open(QIODevice::ReadOnly) || !cmdline.open(QIODevice::ReadOnly))
                continue;
            // "pid (comm) state ppid ...": the name may hold anything, so fields count from its end.
            const QByteArray fields = stat.readAll();
            const QList<QByteArray> rest = fields.mid(fields.lastIndexOf(')') + 2).split(' ');
            if (rest.value(1).toLongLong() == parent && cmdline.readAll().contains(argument))
                found.append(entry.toInt());
        }
        return found;
    }

    // Gone, or ended and waiting for its (new) parent to collect it.
    static bool ended(pid_t pid)
    {
        QFile stat(QString("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray fields = stat.readAll();
        return fields.mid(fields.lastIndexOf(')') + 2, 1) == "Z";
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
        first.start(VEILMARK_BINARY, {"--background"});
        QVERIFY(first.waitForStarted());

        QTRY_VERIFY_WITH_TIMEOUT(!events(m_home).isEmpty(), 15000);
        const QList<LogEvent> logged = events(m_home);
        QCOMPARE(logged.size(), 1);
        QCOMPARE(logged.first().subject + "|" + logged.first().detail,
                 QString("Projects|Relocked at launch — unlock session did not survive quit"));
        QVERIFY(!AccessControlLock::isAccessible(m_folder));

        // A second launch hands over to the first and ends; the first stays, and opens its window
        // unless the second was itself a start in the background (another login autostart).
        const auto mainWindows = [] {
            return run("xdotool", {"search", "--onlyvisible", "--name", "^Veilmark$"});
        };
        for (const QStringList& arguments : {QStringList{"--background"}, QStringList{}}) {
            QProcess second;
            second.setProcessEnvironment(environment(m_home));
            second.start(VEILMARK_BINARY, arguments);
            QVERIFY(second.waitForFinished(15000));
            QVERIFY(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
            QCOMPARE(first.state(), QProcess::Running);
            if (arguments.isEmpty())
                QTRY_VERIFY_WITH_TIMEOUT(!mainWindows().isEmpty(), 10000);
            else
                QVERIFY2(!QTest::qWaitFor([&] { return !mainWindows().isEmpty(); }, 1500),
                         "a second start in the background opened the window");
        }
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

    // Whatever ends Veilmark, nothing it had unlocked stays open: its quit path relocks, and any
    // other end (a SIGKILL, Qt's exit when the X server dies) is relocked by the guardian, which
    // records why. The guardian never outlives Veilmark's end, and after a clean quit it does
    // nothing. Veilmark is stopped while an entry and (but for the quit, which relocks what it stored
    // as unlocked) a folder are opened, as they would be if unlocked at that moment, and ended before
    // it can react.
    void everyEndLeavesEverythingLocked_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("guardianRecords");
        QTest::newRow("SIGTERM") << "term" << QString();
        QTest::newRow("SIGKILL") << "kill"
                                 << "Veilmark was killed or crashed — relocked Vault, Edit";
        QTest::newRow("X server killed") << "x"
                                         << "Veilmark exited without its quit path";
        QTest::newRow("session removed") << "session" << QString();
        QTest::newRow("shutdown") << "shutdown" << QString();
    }

    void everyEndLeavesEverythingLocked()
    {
        QFETCH(QString, end);
        QFETCH(QString, guardianRecords);
        const QString home = m_root.filePath("home-end-" + end);
        const QString folder = home + "/Vault";
        const QString entry = home + "/.local/share/applications/vmedit.desktop";
        QVERIFY(QDir().mkpath(folder) && QDir().mkpath(home + "/.local/share/applications"));
        QFile file(entry);
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write("[Desktop Entry]\nType=Application\nName=Edit\nExec=true\n"));
        file.close();
        PolicySnapshot snapshot;
        snapshot.apps = {{"vmedit", "Edit", entry, true, true}};
        snapshot.folders = {{QUuid::createUuid(), folder, "Vault", true, false, 10}};
        QVERIFY(writePolicy(home, snapshot));

        // A display of its own for the row that kills it; logind's mock on a bus of its own for the
        // rows where logind ends the session.
        QProcess server, systemBus, logind;
        QProcessEnvironment env = environment(home);
        const bool byLogind = end == "session" || end == "shutdown";
        const QString logindLog = m_root.filePath("logind-" + end + ".log");
        QDBusConnection logindBus("none");
        if (end == "x") {
            server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
            QVERIFY(server.waitForReadyRead(10000));
            env.insert("DISPLAY", ":" + QString::fromUtf8(server.readAll()).trimmed());
        } else if (byLogind) {
            dieWithTest(systemBus);
            dieWithTest(logind);
            systemBus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1",
                                            "--address=unix:dir=" + m_root.path()});
            QVERIFY(systemBus.waitForReadyRead(10000));
            const QString address = QString::fromUtf8(systemBus.readLine()).trimmed();
            QProcessEnvironment mockEnv = QProcessEnvironment::systemEnvironment();
            mockEnv.insert("DBUS_SYSTEM_BUS_ADDRESS", address);
            logind.setProcessEnvironment(mockEnv);
            logind.start("/usr/bin/python3",
                         {"-m", "dbusmock", "--system", "--template", "logind", "-l", logindLog});
            logindBus = QDBusConnection::connectToBus(address, "logind-" + end);
            QTRY_VERIFY_WITH_TIMEOUT(logindBus.interface()->isServiceRegistered("org.freedesktop.login1"),
                                     10000);
            // The mock has no GetSessionByPID: Veilmark falls back to the session the environment names.
            env.insert("DBUS_SYSTEM_BUS_ADDRESS", address);
            env.insert("XDG_SESSION_ID", "c1");
        }
        QProcess veilmark;
        veilmark.setProcessEnvironment(env);
        veilmark.setProcessChannelMode(QProcess::ForwardedChannels);
        veilmark.start(VEILMARK_BINARY, {"--background"});
        QTRY_VERIFY_WITH_TIMEOUT(!events(home).isEmpty(), 15000);
        const pid_t pid = static_cast<pid_t>(veilmark.processId());
        const QList<pid_t> guardians = children(pid, "--guardian");
        QCOMPARE(guardians.size(), 1);
        QVERIFY(!AccessControlLock::isAccessible(folder) && !AccessControlLock::isAccessible(entry));

        if (byLogind) {
            // Once logind has answered the session lookup, its signals reach a Veilmark that knows its
            // session.
            const auto logged = [&] {
                QFile log(logindLog);
                return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
            };
            QTRY_VERIFY_WITH_TIMEOUT(logged().contains("GetSession \"c1\""), 10000);
            const bool removed = end == "session";
            const QVariantList arguments =
                removed
                    ? QVariantList{"c1",
                                   QVariant::fromValue(QDBusObjectPath("/org/freedesktop/login1/session/c1"))}
                    : QVariantList{true};
            const QDBusMessage reply = logindBus.call(
                QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                               "org.freedesktop.DBus.Mock", "EmitSignal")
                << "org.freedesktop.login1.Manager" << (removed ? "SessionRemoved" : "PrepareForShutdown")
                << (removed ? "so" : "b") << QVariant(arguments));
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        } else {
            ::kill(pid, SIGSTOP);
            QVERIFY(!AccessControlLock::unlockAndVerify(entry));
            QVERIFY(end == "term" || !AccessControlLock::unlockAndVerify(folder));
        }
        if (byLogind) {
            // Veilmark quits by itself.
        } else if (end == "kill") {
            // The guardian outlives what ends Veilmark's whole group (here: a SIGTERM sent to it too).
            ::kill(guardians.first(), SIGTERM);
            ::kill(pid, SIGKILL);
        } else {
            if (end == "x") {
                server.kill();
                QVERIFY(server.waitForFinished(10000));
            } else {
                ::kill(pid, SIGTERM);
            }
            ::kill(pid, SIGCONT);
        }
        QVERIFY(veilmark.waitForFinished(15000));
        const bool clean = veilmark.exitStatus() == QProcess::NormalExit && veilmark.exitCode() == 0;
        QCOMPARE(clean, guardianRecords.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(ended(guardians.first()), 5000);
        QVERIFY(!AccessControlLock::isAccessible(folder));
        QVERIFY(!AccessControlLock::isAccessible(entry));

        QStringList recorded;
        for (const LogEvent& event : events(home)) {
            if (event.subject == "Relocked by the guardian")
                recorded.append(event.detail);
        }
        QCOMPARE(recorded.size(), guardianRecords.isEmpty() ? 0 : 1);
        if (!guardianRecords.isEmpty())
            QVERIFY2(recorded.first().startsWith(guardianRecords), qPrintable(recorded.first()));
        AccessControlLock::unlockAndVerify(folder);
        QDBusConnection::disconnectFromBus("logind-" + end);
        stop(logind);
        stop(systemBus);
    }

    // A process that owns Veilmark's name without answering as Veilmark does neither stops it nor
    // makes it end quietly: it says so and protects without the name. A guardian that dies is
    // recorded too.
    void problemsAreReportedNotSilent()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "squatter");
        QVERIFY(bus.interface()->registerService("org.veilmark.Veilmark").value() ==
                QDBusConnectionInterface::ServiceRegistered);
        const QString home = m_root.filePath("home-squatted");
        PolicySnapshot snapshot;
        QVERIFY(QDir().mkpath(home + "/Marker"));
        snapshot.folders = {{QUuid::createUuid(), home + "/Marker", "Marker", true, false, 10}};
        QVERIFY(writePolicy(home, snapshot));

        QProcess veilmark;
        veilmark.setProcessEnvironment(environment(home));
        veilmark.start(VEILMARK_BINARY, {"--background"});
        QTRY_VERIFY_WITH_TIMEOUT(events(home).size() == 2, 15000);
        QCOMPARE(veilmark.state(), QProcess::Running);
        QVERIFY(!AccessControlLock::isAccessible(home + "/Marker"));
        const QString said = QString::fromUtf8(veilmark.readAllStandardError());
        QVERIFY2(said.contains("org.veilmark.Veilmark belongs to another process (pid " +
                               QString::number(QCoreApplication::applicationPid())),
                 qPrintable(said));
        const QList<LogEvent> logged = events(home);
        QVERIFY(std::any_of(logged.cbegin(), logged.cend(), [](const LogEvent& event) {
            return event.subject == "Running without the single-instance name";
        }));

        const QList<pid_t> guardians = children(veilmark.processId(), "--guardian");
        QCOMPARE(guardians.size(), 1);
        ::kill(guardians.first(), SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(events(home).first().subject, QString("Guardian ended"), 10000);
        QVERIFY(events(home).first().detail.startsWith("it was killed by signal 9"));

        ::kill(static_cast<pid_t>(veilmark.processId()), SIGTERM);
        QVERIFY(veilmark.waitForFinished(15000));
        QCOMPARE(veilmark.exitCode(), 0);
        bus.interface()->unregisterService("org.veilmark.Veilmark");
        QDBusConnection::disconnectFromBus("squatter");
        AccessControlLock::unlockAndVerify(home + "/Marker");
    }

    // On the real program with its window open behind: two protected terminals, each hidden at
    // start. The shield keeps the keyboard (on its prompt, even once the window manager has finished
    // hiding the terminal and hands the focus on; on itself once the prompt is cancelled, where
    // Return opens the prompt again), nothing typed reaches a terminal, and a terminal whose shield
    // gave way to another one's gets its shield again when it comes forward.
    void shieldKeepsTheKeyboardAndFollowsEachApplication()
    {
        const QString home = m_root.filePath("home-shield");
        QVERIFY(QDir().mkpath(home + "/.local/share/applications") && QDir().mkpath(home + "/Marker"));
        PolicySnapshot snapshot;
        QMap<QString, QProcess*> terminals;
        for (const QString& name : {QString("vmterma"), QString("vmtermb")}) {
            const QString entry = home + "/.local/share/applications/" + name + ".desktop";
            QFile file(entry);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Desktop Entry]\nType=Application\nName=" + name.toUtf8() +
                       "\nExec=xterm\nStartupWMClass=" + name.toUtf8() + "\n");
            file.close();
            snapshot.apps.append({name, name, entry, true, true});
            auto* terminal = new QProcess(this);
            terminal->start("xterm", {"-class", name, "-e", "sh", "-c", "cat > " + home + "/typed-" + name});
            terminals.insert(name, terminal);
        }
        snapshot.folders = {{QUuid::createUuid(), home + "/Marker", "Marker", true, false, 10}};
        QVERIFY(writePolicy(home, snapshot));
        const auto cleanup = qScopeGuard([&] {
            for (QProcess* terminal : std::as_const(terminals)) {
                terminal->kill();
                terminal->waitForFinished();
            }
            for (const ProtectedApp& app : std::as_const(snapshot.apps))
                AccessControlLock::unlockAndVerify(app.appPath);
            AccessControlLock::unlockAndVerify(home + "/Marker");
        });
        // Minimised before Veilmark starts: one still in front then would be shielded at once.
        QMap<QString, QString> windows;
        for (const QString& name : terminals.keys())
            windows[name] = run("xdotool", {"search", "--sync", "--onlyvisible", "--class", name});
        const auto terminalInFront = [&] {
            bool inFront = false;
            for (const QString& id : std::as_const(windows)) {
                if (!run("xprop", {"-id", id, "WM_STATE"}).contains("Iconic")) {
                    run("xdotool", {"windowminimize", id});
                    inFront = true;
                }
            }
            return inFront;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!terminalInFront(), 10000);

        // Veilmark's unmanaged windows on screen, by X id: "shield", or "prompt" for the shield whose
        // card holds the prompt (its title then says what Veilmark is trying to do).
        const auto shown = [] {
            QMap<QString, QString> found;
            for (const QString& id :
                 run("xdotool", {"search", "--onlyvisible", "--name", "^Veilmark"}).split('\n')) {
                const QString info = run("xwininfo", {"-id", id});
                if (!id.isEmpty() && info.contains("Override Redirect State: yes"))
                    found.insert(QString::number(id.toULong()),
                                 info.contains("\"Veilmark is trying to unlock ") ? "prompt" : "shield");
            }
            return found;
        };
        const auto focused = [&] {
            return shown().value(QString::number(run("xdotool", {"getwindowfocus"}).toULong()), "elsewhere");
        };
        const auto keys = [](const QString& key) { run("xdotool", {"key", key}); };

        QProcess veilmark;
        veilmark.setProcessEnvironment(environment(home));
        veilmark.setProcessChannelMode(QProcess::ForwardedChannels);
        veilmark.start(VEILMARK_BINARY, {}); // its main window open: somewhere for focus to go
        QTRY_VERIFY_WITH_TIMEOUT(!events(home).isEmpty(), 15000);

        run("xdotool", {"windowactivate", windows["vmterma"]});
        QTRY_VERIFY_WITH_TIMEOUT(shown().values().contains("prompt"), 10000);
        QTest::qWait(800); // the window manager has finished hiding the terminal by now
        QCOMPARE(focused(), QString("prompt"));
        keys("Escape");
        QTRY_COMPARE_WITH_TIMEOUT(focused(), QString("shield"), 5000);
        run("xdotool", {"type", "secret"});
        keys("Return");
        QTRY_COMPARE_WITH_TIMEOUT(focused(), QString("prompt"), 5000);
        keys("Escape");
        QTRY_COMPARE_WITH_TIMEOUT(focused(), QString("shield"), 5000);

        // The second terminal takes the shield over; cancelled, the first one's comes back for it.
        run("xdotool", {"windowactivate", windows["vmtermb"]});
        QTRY_COMPARE_WITH_TIMEOUT(focused(), QString("prompt"), 10000);
        keys("Escape");
        QTRY_COMPARE_WITH_TIMEOUT(focused(), QString("shield"), 5000);
        keys("Escape");
        QTRY_VERIFY_WITH_TIMEOUT(shown().isEmpty(), 5000);
        run("xdotool", {"windowactivate", windows["vmterma"]});
        QTRY_COMPARE_WITH_TIMEOUT(focused(), QString("prompt"), 10000);
        keys("Escape");
        QTRY_COMPARE_WITH_TIMEOUT(focused(), QString("shield"), 5000);
        keys("Escape");
        QTRY_VERIFY_WITH_TIMEOUT(shown().isEmpty(), 5000);

        QStringList cancelled;
        for (const LogEvent& event : events(home))
            if (event.detail == "Unlock cancelled")
                cancelled.prepend(event.subject);
        QCOMPARE(cancelled, QStringList({"vmtermb", "vmterma"}));
        for (const QString& name : terminals.keys())
            QCOMPARE(QFileInfo(home + "/typed-" + name).size(), 0);
        ::kill(static_cast<pid_t>(veilmark.processId()), SIGTERM);
        QVERIFY(veilmark.waitForFinished(15000));
    }
};

QTEST_GUILESS_MAIN(TestVeilmarkProcess)
#include "TestVeilmarkProcess.moc"
