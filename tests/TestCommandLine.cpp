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

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString gdbus(const QString& method)
{
    return run("gdbus", {"call", "--session", "--dest", Service, "--object-path", Path, "--method",
                         Interface + "." + method});
}

bool nameOwned()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(Service).value();
}

// The activity log's subjects, newest first.
QString subjects(const QString& home)
{
    QFile file(home + "/.local/share/Veilmark/events.json");
    QStringList found;
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    for (const LogEvent& event : EventLog::decode(bytes).value_or(QList<LogEvent>()))
        found.append(event.subject);
    return found.join('|');
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

    // A home whose Projects folder is open though protected, as a crash would leave it; an Edit
    // application; with "missing", a protected folder that is gone; "unreadable", a damaged policy;
    // "partial", one with a record that does not decode.
    QString makeHome(const QString& name, const QString& policy)
    {
        const QString home = m_root.filePath(name);
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
                   file.write(bytes) == bytes.size();
        };
        if (!QDir().mkpath(home + "/Projects") ||
            !write(home + Entry, "[Desktop Entry]\nType=Application\nName=Edit\nExec=true\n"))
            return {};
        ::chmod(QFile::encodeName(home + "/Projects").constData(), 0750);
        PolicySnapshot snapshot;
        snapshot.apps = {{"vmedit", "Edit", home + Entry, true, true}};
        snapshot.folders = {{QUuid::createUuid(), home + "/Projects", "Projects", true, false, 10}};
        if (policy == "missing")
            snapshot.folders.append({QUuid::createUuid(), home + "/Gone", "Gone", true, true, 10});
        QByteArray bytes = policy == "unreadable" ? QByteArray("{ not a policy") : snapshot.encode();
        if (policy == "partial") // a second folder record that does not decode
            bytes.replace("\"folders\": [", "\"folders\": [{\"name\": 5},");
        return write(home + "/.local/share/Veilmark/policies.json", bytes) ? home : QString();
    }

    // Started once, in the background, on a home with a missing folder.
    bool startInstance()
    {
        if (m_instance.state() != QProcess::NotRunning)
            return true;
        m_instanceHome = makeHome("instance", "missing");
        m_instance.setProcessEnvironment(environment(m_instanceHome));
        m_instance.setProcessChannelMode(QProcess::ForwardedChannels);
        dieWithTest(m_instance);
        m_instance.start(VEILMARK_BINARY, {"--background"});
        // Projects is relocked at launch: start-up is done.
        return QTest::qWaitFor([this] { return subjects(m_instanceHome).contains("Projects"); }, 20000) &&
               nameOwned();
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
            AccessControlLock::unlockAndVerify(m_root.filePath(name + Entry));
        }
    }

    // What a run of verbs must show: the exit code, each pattern in the output, the one error line
    // (none when empty), which of Projects and Edit's entry can be opened after, and what the
    // activity log gained. `setup` is the stored policy (see makeHome), or "foreign" when something
    // that is not Veilmark (or a Veilmark that hangs) owns the name, or "instance" for a running one.
    void verbs_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("output");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("open");
        QTest::addColumn<QString>("logged");
        const QString unlocked = "Projects +Unlocked", locked = "Locked from the command line";
        const QStringList both{"Projects", "Edit"}, none, status{"--status"}, lockAll{"--lock-all"};
        const auto row = [](const char* name, const QString& setup, const QStringList& arguments, int code,
                            const QStringList& output, const QString& error, const QStringList& open,
                            const QString& logged = {}) {
            QTest::newRow(name) << setup << arguments << code << output << error << open << logged;
        };
        row("status", "", status, 0,
            {"^Veilmark is not running", unlocked, "Edit +Not watched — Veilmark is not running"}, "", both);
        row("status, missing folder", "missing", status, 0, {unlocked, "Gone +Missing"}, "", both);
        row("status --json", "", {"--status", "--json"}, 0,
            {"\"running\": false", "\"state\": \"unlocked\"", "\"state\": \"unwatched\""}, "", both);
        row("status, unreadable policy", "unreadable", status, 1, {"^$"}, "cannot read", both);
        row("status, partial policy", "partial", status, 1, {unlocked}, "cannot read all of", both);
        row("lock-all", "", lockAll, 0, {"^Locked Projects, Edit\\.$"}, "", none, locked);
        row("lock-all, missing folder", "missing", lockAll, 1, {"^Locked Projects, Edit\\.$"},
            "could not lock Gone: Missing", none, "Lock from the command line failed|" + locked);
        row("lock-all, unreadable policy", "unreadable", lockAll, 1, {"^$"}, "could not lock policies.json",
            both, "Lock from the command line failed|" + locked);
        row("no unlock verb", "", {"--unlock"}, 2, {"^$"}, "Unknown option 'unlock'", both);
        row("json alone", "", {"--json"}, 2, {"^$"}, "--json goes with", both);
        row("two verbs", "", {"--lock-all", "--status"}, 2, {"^$"}, "give one of", both);
        row("stray argument", "", {"--status", "Projects"}, 2, {"^$"}, "unexpected argument Projects", both);
        row("help", "", {"--help"}, 0, {"--lock-all", "Exit status:\n  0  done\n  1 .*\n  2 .*\n  3 "}, "",
            both);
        row("version", "", {"--version"}, 0, {"^veilmark \\d+\\.\\d+\\.\\d+\n$"}, "", both);
        // Without an answer, --lock-all locks from the stored policy anyway and says so; --status
        // shows the stored policy.
        row("foreign status", "foreign", status, 3, {unlocked}, "did not answer", both);
        row("foreign lock-all", "foreign", lockAll, 3, {"^Locked Projects, Edit"}, "did not answer", none,
            locked);
        row("instance status", "instance", status, 0,
            {"^KIND +NAME +STATE", "Projects +Locked", "Gone +Missing", "Edit +Locked"}, "", {"Edit"});
        row("instance status --json", "instance", {"--status", "--json"}, 0,
            {"\"running\": true", "\"state\": \"missing\""}, "", {"Edit"});
        // The instance locks Edit's entry again; Gone cannot be locked by anyone, and it says so.
        // Nothing is locked behind its back from the stored policy (nothing is logged).
        row("instance lock-all", "instance", lockAll, 1, {"^$"}, "could not lock Gone: Missing", none);
    }

    // Nothing is written to a policy by a verb, whatever it holds.
    void verbs()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, output);
        QFETCH(QString, error);
        QFETCH(QStringList, open);
        QFETCH(QString, logged);
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString tag = QString(QTest::currentDataTag()).replace(' ', '-');
        const QString home = setup != "instance" ? makeHome(tag, setup == "foreign" ? "" : setup)
                             : startInstance()   ? m_instanceHome
                                                 : QString();
        QVERIFY(!home.isEmpty());
        // As if unlocked in the window: only a lock-all by the instance locks it again.
        QVERIFY(setup != "instance" || !AccessControlLock::unlockAndVerify(home + Entry));
        // This test process owns the name, and has nothing at Veilmark's object.
        QVERIFY(setup != "foreign" || bus.registerService(Service));
        QFile policy(home + "/.local/share/Veilmark/policies.json");
        QVERIFY(policy.open(QIODevice::ReadOnly));
        const QByteArray stored = policy.readAll();
        const QString before = subjects(home);

        QProcess process;
        process.setProcessEnvironment(environment(home));
        // Waited for in an event loop: this process may own Veilmark's name and must answer on the bus.
        QEventLoop loop;
        connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        process.start(VEILMARK_BINARY, arguments);
        loop.exec();
        if (setup == "foreign") {
            QVERIFY(bus.unregisterService(Service));
            QTRY_VERIFY(!nameOwned());
        }
        QCOMPARE(process.state(), QProcess::NotRunning);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        // Only Veilmark's own lines: the journal's categories ("veilmark.io: ...") are not errors.
        const QStringList errors = QString::fromUtf8(process.readAllStandardError())
                                       .split('\n')
                                       .filter(QRegularExpression("^veilmark: "));
        QVERIFY2(process.exitCode() == exitCode,
                 qPrintable(QString("exit %1: %2 %3").arg(process.exitCode()).arg(out, errors.join('\n'))));
        for (const QString& pattern : output)
            QVERIFY2(out.contains(QRegularExpression(pattern)), qPrintable(pattern + " in:\n" + out));
        QVERIFY2(error.isEmpty() ? errors.isEmpty() : errors.size() == 1 && errors.first().contains(error),
                 qPrintable(errors.join('\n')));
        QStringList opened;
        for (const QString& path : {QString("/Projects"), Entry}) {
            if (AccessControlLock::isAccessible(home + path))
                opened.append(path == Entry ? "Edit" : "Projects");
        }
        QCOMPARE(opened, open);
        QString added = subjects(home);
        added.chop(before.size());
        QCOMPARE(added.remove(QRegularExpression("\\|$")), logged);
        policy.seek(0);
        QCOMPARE(policy.readAll(), stored);
    }

    // Through gdbus, against the instance above: the interface is the documented one and no more
    // (nothing that unlocks or removes), a change outside Veilmark is signalled and shown by Status(), and
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
