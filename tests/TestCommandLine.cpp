#include "ChildProcesses.h"
#include "io/AccessControlLock.h"
#include "store/EventLog.h"
#include "store/PolicySnapshot.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>

#include <sys/stat.h>

#ifndef VEILMARK_BINARY
#error "VEILMARK_BINARY must name the veilmark executable"
#endif

namespace {
const QString Service = "org.veilmark.Veilmark";
const QString Path = "/org/veilmark/Veilmark";
const QString Interface = "org.veilmark.Veilmark1";
const QString Entry = "/.local/share/applications/vmedit.desktop";

// The interface's members and arguments, one line each, from introspection XML.
QStringList members(const QByteArray& xml)
{
    QStringList found;
    bool inside = false;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attribute = [&](const char* name) { return reader.attributes().value(name).toString(); };
        if (reader.name() == QLatin1String("interface"))
            inside = attribute("name") == Interface;
        else if (inside)
            found.append(QStringList{reader.name().toString(), attribute("name"), attribute("type"),
                                     attribute("direction")}
                             .join(' ')
                             .trimmed());
    }
    return reader.hasError() ? QStringList{reader.errorString()} : found;
}
} // namespace

// The verbs of the real executable and its interface on the session bus, on a private X server and
// session bus, without root's permission bypass: with no Veilmark running, with one that does not
// answer, and with one running.
class TestCommandLine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QProcess m_instance;
    QString m_instanceHome;
    int m_stateChanges = 0;

    struct Run
    {
        int code = -1;
        QString out;
        QStringList errors;
    };

    QProcessEnvironment environment(const QString& home) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_DATA_HOME", home + "/.local/share");
        env.insert("XDG_CONFIG_HOME", home + "/.config");
        env.insert("XDG_RUNTIME_DIR", m_root.path());
        env.insert("XDG_SESSION_TYPE", "x11");
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + m_root.filePath("no-system-bus"));
        env.remove("QT_QPA_PLATFORM");
        return env;
    }

    Run veilmark(const QString& home, const QStringList& arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment(home));
        // Waited for in an event loop: this process may own Veilmark's name and must answer on the bus.
        QEventLoop loop;
        connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        process.start(VEILMARK_BINARY, arguments);
        loop.exec();
        if (process.state() != QProcess::NotRunning)
            return {};
        // Only Veilmark's own lines: the journal's categories ("veilmark.io: ...") are not errors.
        const QStringList errors = QString::fromUtf8(process.readAllStandardError())
                                       .split('\n')
                                       .filter(QRegularExpression("^veilmark: "));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()), errors};
    }

    static QString subjects(const QString& home)
    {
        QFile file(home + "/.local/share/Veilmark/events.json");
        QStringList found;
        if (file.open(QIODevice::ReadOnly)) {
            for (const LogEvent& event : EventLog::decode(file.readAll()).value_or(QList<LogEvent>()))
                found.append(event.subject);
        }
        return found.join('|');
    }

    // A home whose Projects folder is open though protected, as a crash would leave it; an Edit
    // application; with "missing", a protected folder that is gone; "unreadable", a damaged policy;
    // "partial", one with a record that does not decode.
    QString makeHome(const QString& name, const QString& policy)
    {
        const QString home = m_root.filePath(name);
        const QString entry = home + Entry;
        if (!QDir().mkpath(home + "/Projects") || !QDir().mkpath(home + "/.local/share/applications") ||
            !QDir().mkpath(home + "/.local/share/Veilmark"))
            return {};
        ::chmod(QFile::encodeName(home + "/Projects").constData(), 0750);
        QFile desktop(entry);
        if (!desktop.open(QIODevice::WriteOnly) ||
            desktop.write("[Desktop Entry]\nType=Application\nName=Edit\n"
                          "Exec=true\n") <= 0)
            return {};
        PolicySnapshot snapshot;
        snapshot.apps = {{"vmedit", "Edit", entry, true, true}};
        snapshot.folders = {{QUuid::createUuid(), home + "/Projects", "Projects", true, false, 10}};
        if (policy == "missing")
            snapshot.folders.append({QUuid::createUuid(), home + "/Gone", "Gone", true, true, 10});
        QFile file(home + "/.local/share/Veilmark/policies.json");
        QByteArray bytes = policy == "unreadable" ? QByteArray("{ not a policy") : snapshot.encode();
        if (policy == "partial") // a second folder record that does not decode
            bytes.replace("\"folders\": [", "\"folders\": [{\"name\": 5},");
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? home : QString();
    }

    static QString run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(10000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    static QString gdbus(const QString& method)
    {
        return run("gdbus", {"call", "--session", "--dest", Service, "--object-path", Path, "--method",
                             Interface + "." + method});
    }

    static bool nameOwned()
    {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(Service).value();
    }

    // What a row of verbs must show: the exit code, each pattern in the output, the one error line
    // (none when empty), which of Projects and Edit's entry can be opened after, and what the
    // activity log gained.
    static void addColumns()
    {
        QTest::addColumn<QString>("policy");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("output");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("open");
        QTest::addColumn<QString>("logged");
    }

    // `before`: the activity log's subjects before the run; `logged` are those added by it.
    void check(const QString& home, const QString& before, const Run& result)
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, output);
        QFETCH(QString, error);
        QFETCH(QStringList, open);
        QFETCH(QString, logged);
        QVERIFY2(
            result.code == exitCode,
            qPrintable(QString("exit %1: %2 %3").arg(result.code).arg(result.out, result.errors.join('\n'))));
        for (const QString& pattern : output)
            QVERIFY2(result.out.contains(QRegularExpression(pattern)),
                     qPrintable(pattern + " in:\n" + result.out));
        if (error.isEmpty())
            QCOMPARE(result.errors, QStringList());
        else
            QVERIFY2(result.errors.size() == 1 && result.errors.first().contains(error),
                     qPrintable(result.errors.join('\n')));
        QStringList opened;
        for (const QString& name : QStringList{"Projects", "Edit"}) {
            if (AccessControlLock::isAccessible(home + (name == "Edit" ? Entry : "/" + name)))
                opened.append(name);
        }
        QCOMPARE(opened, open);
        QString added = subjects(home); // newest first
        added.chop(before.size());
        QCOMPARE(added.remove(QRegularExpression("\\|$")), logged);
    }

public slots:
    void stateChanged() { ++m_stateChanges; }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a display and a session bus (run through CTest)");
        QVERIFY(!nameOwned());
    }

    void cleanupTestCase()
    {
        stop(m_instance);
        for (const QString& name : QDir(m_root.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            AccessControlLock::unlockAndVerify(m_root.filePath(name + "/Projects"));
            AccessControlLock::unlockAndVerify(
                m_root.filePath(name + "/.local/share/applications/vmedit.desktop"));
        }
    }

    void withoutInstance_data()
    {
        addColumns();
        const QString unlocked = "Projects +Unlocked", notRunning = "^Veilmark is not running";
        const QStringList both{"Projects", "Edit"}, none;
        const QString unwatched = "Edit +Not watched — Veilmark is not running";
        QTest::newRow("status") << "" << QStringList{"--status"} << 0
                                << QStringList{notRunning, unlocked, unwatched} << "" << both << "";
        QTest::newRow("status, missing folder") << "missing" << QStringList{"--status"} << 0
                                                << QStringList{unlocked, "Gone +Missing"} << "" << both << "";
        QTest::newRow("status --json")
            << "" << QStringList{"--status", "--json"} << 0
            << QStringList{"\"running\": false", "\"state\": \"unlocked\"", "\"state\": \"unwatched\""} << ""
            << both << "";
        QTest::newRow("status, unreadable policy") << "unreadable" << QStringList{"--status"} << 1
                                                   << QStringList{"^$"} << "cannot read" << both << "";
        QTest::newRow("status, partial policy")
            << "partial" << QStringList{"--status"} << 1 << QStringList{unlocked} << "cannot read all of"
            << both << "";
        QTest::newRow("lock-all") << "" << QStringList{"--lock-all"} << 0
                                  << QStringList{"^Locked Projects, Edit\\.$"} << "" << none
                                  << "Locked from the command line";
        QTest::newRow("lock-all, missing folder")
            << "missing" << QStringList{"--lock-all"} << 1 << QStringList{"^Locked Projects, Edit\\.$"}
            << "could not lock Gone: Missing" << none
            << "Lock from the command line failed|Locked from the command line";
        QTest::newRow("lock-all, unreadable policy")
            << "unreadable" << QStringList{"--lock-all"} << 1 << QStringList{"^$"}
            << "could not lock policies.json" << both
            << "Lock from the command line failed|Locked from the command line";
        QTest::newRow("no unlock verb") << "" << QStringList{"--unlock"} << 2 << QStringList{"^$"}
                                        << "Unknown option 'unlock'" << both << "";
        QTest::newRow("json alone") << "" << QStringList{"--json"} << 2 << QStringList{"^$"}
                                    << "--json goes with" << both << "";
        QTest::newRow("two verbs") << "" << QStringList{"--lock-all", "--status"} << 2 << QStringList{"^$"}
                                   << "give one of" << both << "";
        QTest::newRow("help") << "" << QStringList{"--help"} << 0
                              << QStringList{"--lock-all", "Exit status:\n  0  done\n  1 .*\n  2 .*\n  3 "}
                              << "" << both << "";
        QTest::newRow("version") << "" << QStringList{"--version"} << 0
                                 << QStringList{"^veilmark \\d+\\.\\d+\\.\\d+\n$"} << "" << both << "";
    }

    // Nothing is written to a policy by a verb, whatever it holds.
    void withoutInstance()
    {
        QFETCH(QString, policy);
        QFETCH(QStringList, arguments);
        const QString home =
            makeHome(QString("off-%1").arg(QTest::currentDataTag()).replace(' ', '-'), policy);
        QVERIFY(!home.isEmpty());
        QFile file(home + "/.local/share/Veilmark/policies.json");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray stored = file.readAll();
        check(home, {}, veilmark(home, arguments));
        file.seek(0);
        QCOMPARE(file.readAll(), stored);
    }

    // The name is owned by something that is not Veilmark (or a Veilmark that hangs): --lock-all
    // locks from the stored policy anyway and says so; --status shows the stored policy.
    void foreignOwner_data()
    {
        addColumns();
        const QStringList both{"Projects", "Edit"}, none;
        QTest::newRow("status") << "" << QStringList{"--status"} << 3 << QStringList{"Projects +Unlocked"}
                                << "did not answer" << both << "";
        QTest::newRow("lock-all") << "" << QStringList{"--lock-all"} << 3
                                  << QStringList{"^Locked Projects, Edit"} << "did not answer" << none
                                  << "Locked from the command line";
    }

    void foreignOwner()
    {
        QFETCH(QStringList, arguments);
        const QString home = makeHome(QString("foreign-%1").arg(QTest::currentDataTag()), "");
        // This test process owns the name, and has nothing at Veilmark's object.
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerService(Service));
        check(home, {}, veilmark(home, arguments));
        QVERIFY(bus.unregisterService(Service));
        QTRY_VERIFY(!nameOwned());
    }

    void withInstance_data()
    {
        addColumns();
        const QString instance = "instance";
        const QStringList entry{"Edit"}, none;
        QTest::newRow("status") << instance << QStringList{"--status"} << 0
                                << QStringList{"^KIND +NAME +STATE", "Projects +Locked", "Gone +Missing",
                                               "Edit +Locked"}
                                << "" << entry << "";
        QTest::newRow("status --json")
            << instance << QStringList{"--status", "--json"} << 0
            << QStringList{"\"running\": true", "\"state\": \"missing\""} << "" << entry << "";
        // The instance locks Edit's entry again; Gone cannot be locked by anyone, and it says so. Nothing is
        // locked behind its back from the stored policy (nothing is logged).
        QTest::newRow("lock-all") << instance << QStringList{"--lock-all"} << 1 << QStringList{"^$"}
                                  << "could not lock Gone: Missing" << none << "";
    }

    void withInstance()
    {
        if (m_instance.state() == QProcess::NotRunning) {
            m_instanceHome = makeHome("instance", "missing");
            m_instance.setProcessEnvironment(environment(m_instanceHome));
            m_instance.setProcessChannelMode(QProcess::ForwardedChannels);
            dieWithTest(m_instance);
            m_instance.start(VEILMARK_BINARY, {"--background"});
            // Projects is relocked at launch: start-up is done.
            QTRY_VERIFY_WITH_TIMEOUT(subjects(m_instanceHome).contains("Projects"), 20000);
            QVERIFY(nameOwned());
        }
        QFETCH(QStringList, arguments);
        // As if unlocked in the window: only a lock-all by the instance locks it again.
        QVERIFY(!AccessControlLock::unlockAndVerify(m_instanceHome + Entry));
        const QString before = subjects(m_instanceHome);
        check(m_instanceHome, before, veilmark(m_instanceHome, arguments));
    }

    // Through gdbus, against the instance above: the interface is the documented one and no more
    // (nothing that unlocks or removes), Status() answers, a change outside Veilmark is signalled, and
    // ShowWindow() opens the window of an instance started in the background.
    void busInterface()
    {
        QVERIFY(m_instance.state() == QProcess::Running);
        QFile documented(VEILMARK_INTERFACE_XML);
        QVERIFY(documented.open(QIODevice::ReadOnly));
        const QStringList expected = members(documented.readAll());
        QCOMPARE(expected.size(), 5);
        QCOMPARE(members(run("gdbus",
                             {"introspect", "--session", "--dest", Service, "--object-path", Path, "--xml"})
                             .toUtf8()),
                 expected);

        const QString status = gdbus("Status");
        QVERIFY2(status.contains("\"running\": true") && status.contains("\"name\": \"Projects\""),
                 qPrintable(status));

        // Subscribed before the change, so no signal can come before it.
        QVERIFY(QDBusConnection::sessionBus().connect(Service, Path, Interface, "StateChanged", this,
                                                      SLOT(stateChanged())));
        const QString projects = m_instanceHome + "/Projects";
        QVERIFY(QFile::rename(projects, projects + ".moved"));
        QTRY_VERIFY_WITH_TIMEOUT(m_stateChanges > 0, 10000);
        QCOMPARE(gdbus("Status").count("\"state\": \"missing\""), 2); // Gone and Projects
        QVERIFY(QFile::rename(projects + ".moved", projects));

        const auto window = [] {
            return run("xdotool", {"search", "--onlyvisible", "--name", "^Veilmark$"});
        };
        QCOMPARE(window(), QString());
        QCOMPARE(gdbus("ShowWindow").trimmed(), QString("()"));
        QTRY_VERIFY_WITH_TIMEOUT(!window().isEmpty(), 10000);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
