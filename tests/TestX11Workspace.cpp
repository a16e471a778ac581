#include "platform/linux/DesktopEntryIndex.h"
#include "platform/linux/X11Workspace.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QRasterWindow>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <linux/capability.h>
#include <memory>
#include <sys/syscall.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {
// X clients start in well under a second; this is for a loaded machine.
const int WaitMs = 10000;
const QString Veilmark = QStringLiteral("org.veilmark.Veilmark");
const QString Term = QStringLiteral("org.example.Term");
const QString Launched = QStringLiteral("org.example.Launched");
const QString Logo = QStringLiteral("vmlogo");
const QString Nested = QStringLiteral("vmtest-nested");
const QString Shadowed = QStringLiteral("org.example.Shadowed");

struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};

// Drops, for the calling thread only, the capabilities that let root read any file, so a file
// without owner permissions is unreadable here as for an ordinary user. Reading happens on this
// thread; credentials are per thread in the kernel.
class WithoutReadBypass
{
public:
    WithoutReadBypass()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct dropped[2];
        std::memcpy(dropped, m_saved, sizeof dropped);
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            dropped[cap / 32].effective &= ~(1u << (cap % 32));
        m_dropped = syscall(SYS_capset, &m_header, dropped) == 0;
    }
    ~WithoutReadBypass()
    {
        if (m_dropped)
            syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};

// How a row of identifiesWindows starts its window.
enum class Start
{
    process,   // QProcess with the arguments
    inherited, // QProcess, with GIO's variables as a launched parent would pass them on
    launch,    // X11Workspace::launch of the entry at the path
    property,  // a window of the test's own with the properties "NAME=value"
};

// The four signals as one list: "launch x", "activate x", "deactivate x", "terminate x".
QStringList* record(Workspace& workspace)
{
    auto* events = new QStringList;
    QObject::connect(&workspace, &QObject::destroyed, [events] { delete events; });
    QObject::connect(&workspace, &Workspace::didLaunch,
                     [events](const QString& id) { *events << "launch " + id; });
    QObject::connect(&workspace, &Workspace::didActivate,
                     [events](const QString& id) { *events << "activate " + id; });
    QObject::connect(&workspace, &Workspace::didDeactivate,
                     [events](const QString& id) { *events << "deactivate " + id; });
    QObject::connect(&workspace, &Workspace::didTerminate,
                     [events](const QString& id) { *events << "terminate " + id; });
    return events;
}

QStringList launches(const QStringList& events)
{
    return events.filter(QRegularExpression("^launch "));
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray entry(const QByteArray& name, const QByteArray& exec, const QByteArray& extra = {})
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n" + extra;
}
} // namespace

Q_DECLARE_METATYPE(Start)

// X11Workspace on a private X server with openbox (xvfb-session.sh), with real X clients (xterm,
// xlogo) described by desktop entries in temporary XDG data directories. The test watches the
// server through an xcb connection of its own.
class TestX11Workspace : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void indexFollowsDataDirectoryPrecedence();
    void lockedEntryStillNamesItsApplication();
    void supportedOnlyOutsideWaylandSessions();
    void knowsRunningApplicationsWithoutReportingLaunch();
    void identifiesWindows_data();
    void identifiesWindows();
    void ownWindowsResolveToOwnId();
    void reportsTheFourEventsInOrder();
    void deactivatesWhenFocusStaysNowhere();
    void hidingTheActiveApplicationDeactivatesIt();
    void hideUnhideAndActivate();
    void iconFromEntryThenWindow();
    void survivesLostConnection();
    void mayBeDeletedByItsOwnSignal();

private:
    // The test's own view of the X server.
    xcb_atom_t atom(const char* name);
    QList<xcb_window_t> windowList(const char* property);
    QList<xcb_window_t> clients() { return windowList("_NET_CLIENT_LIST"); }
    xcb_window_t activeWindow() { return windowList("_NET_ACTIVE_WINDOW").value(0, XCB_WINDOW_NONE); }
    QByteArray property(xcb_window_t window, xcb_atom_t property, uint32_t words = 1024);
    QStringList wmClass(xcb_window_t window);
    quint32 pidOf(xcb_window_t window);
    int wmState(xcb_window_t window);
    // The listed client windows whose WM_CLASS instance or class is `name`, in listing order.
    QList<xcb_window_t> clientsNamed(const QString& name);
    xcb_window_t waitForClient(const QString& name, int count = 1);
    void activateWithXdotool(xcb_window_t window);
    // Activates `window` of application `id` after a window of another application, and waits until
    // the workspace has seen it: it reads the active window when it handles the change, so one
    // activated and left at once may never be seen.
    void switchTo(xcb_window_t window, const QString& id, const QStringList& events);

    QProcess* startProcess(const QStringList& command, const QStringList& environment = {});
    xcb_window_t createWindow(const QStringList& properties);
    void start(X11Workspace& workspace, Start how, const QStringList& what);
    // Maps a window that resolves to a fresh ID and waits for its launch: every event the server
    // sent before has been handled by then.
    void barrier(const QStringList& events);

    QString entryPath(const QString& id) const { return m_home.filePath("applications/" + id + ".desktop"); }

    QTemporaryDir m_home;
    QTemporaryDir m_system;
    QString m_iconPath;
    xcb_connection_t* m_x = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    QList<QProcess*> m_processes;
    QList<xcb_window_t> m_ownWindows;
    int m_barriers = 0;
};

void TestX11Workspace::initTestCase()
{
    QVERIFY(m_home.isValid() && m_system.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_system.path()));
    qunsetenv("XDG_SESSION_TYPE");
    // GIO announces launches on the session bus; with none, it would start one through dbus-launch.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    QGuiApplication::setDesktopFileName(Veilmark);

    QImage red(48, 48, QImage::Format_ARGB32);
    red.fill(Qt::red);
    m_iconPath = m_home.filePath("red.png");
    QVERIFY(red.save(m_iconPath));

    const QString home = m_home.path() + "/applications/";
    const QString system = m_system.path() + "/applications/";
    QVERIFY(writeFile(home + "org.example.Term.desktop",
                      entry("Term", "xterm -class VmTestTerm -e sleep 600",
                            "StartupWMClass=VmTestTerm\nIcon=" + m_iconPath.toUtf8() + "\n")));
    // Nothing about its windows names it: only GIO's launch variables can.
    QVERIFY(writeFile(home + "org.example.Launched.desktop",
                      entry("Launched", "xterm -class VmLaunched -e sleep 600", "Icon=no-such-icon\n")));
    QVERIFY(writeFile(home + "vmtest/nested.desktop",
                      entry("Nested", "xterm -class VmNested -e sleep 600", "Icon=vmtest-green\n")));
    // A theme icon, in the lowest-priority theme every desktop has.
    QVERIFY(writeFile(
        m_home.filePath("icons/hicolor/index.theme"),
        "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\nType=Fixed\n"));
    QImage green(48, 48, QImage::Format_ARGB32);
    green.fill(Qt::green);
    QVERIFY(QDir().mkpath(m_home.filePath("icons/hicolor/48x48/apps")));
    QVERIFY(green.save(m_home.filePath("icons/hicolor/48x48/apps/vmtest-green.png")));
    QVERIFY(writeFile(home + "vmlogo.desktop", entry("Logo", "xlogo -name VmLogo", "NoDisplay=true\n")));
    QVERIFY(writeFile(home + "org.example.Shadowed.desktop",
                      entry("Shadowed (home)", "xlogo -name VmShadowHome", "StartupWMClass=VmShadowHome\n")));
    QVERIFY(writeFile(system + "org.example.Shadowed.desktop",
                      entry("Shadowed (system)", "xlogo -name VmShadowSys", "StartupWMClass=VmShadowSys\n")));
    QVERIFY(writeFile(home + "vmhidden.desktop", entry("Hidden", "xlogo -name vmhidden", "Hidden=true\n")));
    QVERIFY(writeFile(system + "vmhidden.desktop", entry("Hidden", "xlogo -name vmhidden")));
    QVERIFY(writeFile(home + "vmlink.desktop",
                      "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.org\n"));

    m_x = xcb_connect(nullptr, nullptr);
    QVERIFY2(!xcb_connection_has_error(m_x), "no X display: run through xvfb-session.sh");
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root;
    // Everything here goes through the window manager; on a busy machine it may still be starting.
    QTRY_VERIFY2_WITH_TIMEOUT(!windowList("_NET_SUPPORTING_WM_CHECK").isEmpty(), "no window manager running",
                              3 * WaitMs);
}

// Every client on this private server is the test's: all go, and the next test starts on an empty
// desktop.
void TestX11Workspace::cleanup()
{
    for (QProcess* process : std::as_const(m_processes)) {
        process->kill();
        process->waitForFinished();
        delete process;
    }
    m_processes.clear();
    for (const xcb_window_t window : std::as_const(m_ownWindows))
        xcb_destroy_window(m_x, window);
    m_ownWindows.clear();
    xcb_flush(m_x);
    for (const xcb_window_t window : clients()) {
        const quint32 pid = pidOf(window);
        if (pid != 0 && pid != quint32(getpid()))
            ::kill(pid_t(pid), SIGKILL);
    }
    QTRY_VERIFY_WITH_TIMEOUT(clients().isEmpty(), WaitMs);
}

void TestX11Workspace::cleanupTestCase()
{
    if (m_x)
        xcb_disconnect(m_x);
}

xcb_atom_t TestX11Workspace::atom(const char* name)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(
        xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, uint16_t(strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QByteArray TestX11Workspace::property(xcb_window_t window, xcb_atom_t property, uint32_t words)
{
    const std::unique_ptr<xcb_get_property_reply_t, FreeDeleter> reply(xcb_get_property_reply(
        m_x, xcb_get_property(m_x, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, words), nullptr));
    if (!reply)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

QList<xcb_window_t> TestX11Workspace::windowList(const char* name)
{
    const QByteArray data = property(m_root, atom(name), 4096);
    QList<xcb_window_t> windows(data.size() / 4);
    if (!windows.isEmpty())
        std::memcpy(windows.data(), data.constData(), size_t(windows.size()) * 4);
    return windows;
}

QStringList TestX11Workspace::wmClass(xcb_window_t window)
{
    const QList<QByteArray> parts = property(window, XCB_ATOM_WM_CLASS).split('\0');
    return {QString::fromLatin1(parts.value(0)), QString::fromLatin1(parts.value(1))};
}

quint32 TestX11Workspace::pidOf(xcb_window_t window)
{
    const QByteArray data = property(window, atom("_NET_WM_PID"));
    return data.size() >= 4 ? *reinterpret_cast<const quint32*>(data.constData()) : 0;
}

// WM_STATE's first word: 1 normal, 3 iconic; -1 when the window manager has not set it.
int TestX11Workspace::wmState(xcb_window_t window)
{
    const QByteArray data = property(window, atom("WM_STATE"));
    return data.size() >= 4 ? int(*reinterpret_cast<const quint32*>(data.constData())) : -1;
}

QList<xcb_window_t> TestX11Workspace::clientsNamed(const QString& name)
{
    QList<xcb_window_t> found;
    for (const xcb_window_t window : clients())
        if (wmClass(window).contains(name))
            found << window;
    return found;
}

xcb_window_t TestX11Workspace::waitForClient(const QString& name, int count)
{
    (void)QTest::qWaitFor([&] { return clientsNamed(name).size() >= count; }, WaitMs);
    const xcb_window_t window = clientsNamed(name).value(count - 1, XCB_WINDOW_NONE);
    if (window == XCB_WINDOW_NONE)
        QTest::qFail(qPrintable("no window named " + name), __FILE__, __LINE__);
    return window;
}

void TestX11Workspace::activateWithXdotool(xcb_window_t window)
{
    QCOMPARE(QProcess::execute("xdotool", {"windowactivate", QString::number(window)}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), window, WaitMs);
}

void TestX11Workspace::switchTo(xcb_window_t window, const QString& id, const QStringList& events)
{
    activateWithXdotool(window);
    QTRY_VERIFY_WITH_TIMEOUT(events.endsWith("activate " + id), WaitMs);
}

QProcess* TestX11Workspace::startProcess(const QStringList& command, const QStringList& environment)
{
    auto* process = new QProcess;
    m_processes << process;
    if (!environment.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& assignment : environment)
            env.insert(assignment.section('=', 0, 0), assignment.section('=', 1));
        process->setProcessEnvironment(env);
    }
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(command.first(), command.mid(1));
    process->waitForStarted();
    return process;
}

// A plain top-level window of this process with the given text properties; "WM_CLASS=x" makes x both
// instance and class. Without _NET_WM_PID, only the window's own properties can identify it.
xcb_window_t TestX11Workspace::createWindow(const QStringList& properties)
{
    const xcb_window_t window = xcb_generate_id(m_x);
    xcb_create_window(m_x, XCB_COPY_FROM_PARENT, window, m_root, 10, 10, 120, 80, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    for (const QString& assignment : properties) {
        const QByteArray name = assignment.section('=', 0, 0).toLatin1();
        QByteArray value = assignment.section('=', 1).toUtf8();
        xcb_atom_t type = atom("UTF8_STRING");
        if (name == "WM_CLASS") {
            value = value + '\0' + value + '\0';
            type = XCB_ATOM_STRING;
        }
        xcb_change_property(m_x, XCB_PROP_MODE_REPLACE, window, atom(name.constData()), type, 8,
                            uint32_t(value.size()), value.constData());
    }
    xcb_map_window(m_x, window);
    xcb_flush(m_x);
    m_ownWindows << window;
    return window;
}

void TestX11Workspace::start(X11Workspace& workspace, Start how, const QStringList& what)
{
    switch (how) {
    case Start::process:
        startProcess(what);
        break;
    case Start::inherited:
        startProcess(what,
                     {"GIO_LAUNCHED_DESKTOP_FILE=" + entryPath(Launched), "GIO_LAUNCHED_DESKTOP_FILE_PID=1"});
        break;
    case Start::launch:
        workspace.launch(m_home.filePath(what.first()));
        break;
    case Start::property:
        createWindow(what);
        break;
    }
}

void TestX11Workspace::barrier(const QStringList& events)
{
    const QString id = QStringLiteral("org.example.Barrier%1").arg(++m_barriers);
    createWindow({"_GTK_APPLICATION_ID=" + id});
    QTRY_VERIFY_WITH_TIMEOUT(events.contains("launch " + id), WaitMs);
}

void TestX11Workspace::indexFollowsDataDirectoryPrecedence()
{
    const DesktopEntryIndex index;
    QCOMPARE(DesktopEntryIndex::applicationDirectories(),
             QStringList({m_home.path() + "/applications", m_system.path() + "/applications"}));

    QStringList ids;
    for (const DesktopEntryIndex::Entry& e : index.entries())
        ids << e.id;
    ids.sort();
    // Nested entries get their directory in the ID; Hidden=true in the home directory removes the
    // system copy too; links are not applications.
    QCOMPARE(ids, QStringList({"org.example.Launched", "org.example.Shadowed", "org.example.Term", "vmlogo",
                               "vmtest-nested"}));
    const DesktopEntryIndex::Entry* shadowed = index.find(Shadowed);
    QVERIFY(shadowed);
    QCOMPARE(shadowed->name, QString("Shadowed (home)"));
    QCOMPARE(shadowed->path, entryPath(Shadowed));
    QCOMPARE(index.findByStartupWMClass("VmShadowHome"), shadowed);
    QVERIFY(!index.findByStartupWMClass("VmShadowSys"));
    QVERIFY(index.findIgnoringCase("VMLOGO"));
    QCOMPARE(index.findIgnoringCase("VMLOGO")->id, Logo);
    QVERIFY(index.find(Term));
    QCOMPARE(index.find(Term)->icon, m_iconPath);

    QCOMPARE(DesktopEntryIndex::idForPath(m_home.filePath("applications/vmtest/nested.desktop")), Nested);
    QCOMPARE(DesktopEntryIndex::idForPath(m_system.filePath("applications/a/b/c.desktop")), QString("a-b-c"));
    QCOMPARE(DesktopEntryIndex::idForPath("/elsewhere/some/org.example.App.desktop"),
             QString("org.example.App"));

    // A new entry is seen on the next refresh, and only a change makes it scan again.
    DesktopEntryIndex refreshing;
    QVERIFY(!refreshing.refreshIfChanged());
    const QString added = m_home.filePath("applications/vmtest/org.example.Added.desktop");
    QVERIFY(writeFile(added + ".tmp", entry("Added", "true")));
    QVERIFY(QFile::rename(added + ".tmp", added));
    QVERIFY(refreshing.refreshIfChanged());
    QVERIFY(refreshing.find("vmtest-org.example.Added"));
    QVERIFY(QFile::remove(added));
    QVERIFY(refreshing.refreshIfChanged());
    QVERIFY(!refreshing.find("vmtest-org.example.Added"));
}

// Veilmark locks a protected application's entry by taking the owner's permissions away; its
// windows must still resolve, and its icon still be found.
void TestX11Workspace::lockedEntryStillNamesItsApplication()
{
    const QString path = entryPath(Term);
    QFile file(path);
    const QFile::Permissions permissions = file.permissions();
    const auto unlock = qScopeGuard([&] { file.setPermissions(permissions); });
    DesktopEntryIndex index;
    {
        const WithoutReadBypass unprivileged;
        QVERIFY(file.setPermissions(QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(!QFile(path).open(QIODevice::ReadOnly));
        index.reload();
        const DesktopEntryIndex fresh;
        QVERIFY(index.find(Term));
        QCOMPARE(index.find(Term)->startupWMClass, QString("VmTestTerm"));
        QCOMPARE(index.find(Term)->icon, m_iconPath);
        // Never read before: the ID is known, nothing else.
        QVERIFY(fresh.find(Term));
        QCOMPARE(fresh.find(Term)->path, path);
        QVERIFY(fresh.find(Term)->startupWMClass.isEmpty());
    }
    QVERIFY(file.setPermissions(permissions));

    {
        X11Workspace workspace; // reads the entry while it can
        const WithoutReadBypass unprivileged;
        QVERIFY(file.setPermissions(QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(!workspace.iconForFile(path).isNull());
    }
}

void TestX11Workspace::supportedOnlyOutsideWaylandSessions()
{
    X11Workspace workspace;
    QVERIFY(workspace.isSupported());
    qputenv("XDG_SESSION_TYPE", "wayland");
    QVERIFY(!workspace.isSupported());
    qputenv("XDG_SESSION_TYPE", "x11");
    QVERIFY(workspace.isSupported());
    qunsetenv("XDG_SESSION_TYPE");

    X11Workspace nowhere(QByteArray(":65001"));
    QVERIFY(!nowhere.isSupported());
    QVERIFY(nowhere.runningApplications().isEmpty());
    nowhere.hide(Term);
    nowhere.unhide(Term);
    nowhere.activate(Term);
    QVERIFY(nowhere.icon(Launched).isNull());
}

void TestX11Workspace::knowsRunningApplicationsWithoutReportingLaunch()
{
    startProcess({"xterm", "-class", "VmTestTerm", "-e", "sleep", "600"});
    waitForClient("VmTestTerm");

    X11Workspace workspace;
    const QStringList* events = record(workspace);
    QCOMPARE(workspace.runningApplications(), QStringList{Term});
    barrier(*events);
    QCOMPARE(launches(*events), QStringList{"launch org.example.Barrier" + QString::number(m_barriers)});
    QCOMPARE(workspace.runningApplications(),
             QStringList({Term, "org.example.Barrier" + QString::number(m_barriers)}));
}

void TestX11Workspace::identifiesWindows_data()
{
    QTest::addColumn<Start>("how");
    QTest::addColumn<QStringList>("what");
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QString>("expected");

    QTest::newRow("StartupWMClass") << Start::process
                                    << QStringList{"xterm", "-class", "VmTestTerm", "-e", "sleep", "600"}
                                    << "VmTestTerm" << Term;
    QTest::newRow("WM_CLASS instance as ID, any case")
        << Start::process << QStringList{"xlogo", "-name", "VmLogo"} << "VmLogo" << Logo;
    QTest::newRow("launched by GIO") << Start::launch
                                     << QStringList{"applications/org.example.Launched.desktop"}
                                     << "VmLaunched" << Launched;
    QTest::newRow("launched by GIO from a subdirectory")
        << Start::launch << QStringList{"applications/vmtest/nested.desktop"} << "VmNested" << Nested;
    QTest::newRow("same program not launched by GIO")
        << Start::process << QStringList{"xterm", "-class", "VmLaunched", "-e", "sleep", "600"}
        << "VmLaunched" << QString();
    QTest::newRow("GIO variables inherited from a parent")
        << Start::inherited << QStringList{"xterm", "-class", "VmLaunched", "-e", "sleep", "600"}
        << "VmLaunched" << QString();
    QTest::newRow("entry shadowed by the home directory's")
        << Start::process << QStringList{"xlogo", "-name", "VmShadowSys"} << "VmShadowSys" << QString();
    QTest::newRow("the home directory's entry")
        << Start::process << QStringList{"xlogo", "-name", "VmShadowHome"} << "VmShadowHome" << Shadowed;
    QTest::newRow("entry hidden by the home directory")
        << Start::process << QStringList{"xlogo", "-name", "vmhidden"} << "vmhidden" << QString();
    QTest::newRow("link entry") << Start::property << QStringList{"WM_CLASS=vmlink"} << "vmlink" << QString();
    QTest::newRow("_GTK_APPLICATION_ID before WM_CLASS")
        << Start::property << QStringList{"WM_CLASS=VmLogo", "_GTK_APPLICATION_ID=" + Term} << "VmLogo"
        << Term;
    QTest::newRow("_KDE_NET_WM_DESKTOP_FILE before WM_CLASS")
        << Start::property << QStringList{"WM_CLASS=VmTestTerm", "_KDE_NET_WM_DESKTOP_FILE=vmlogo.desktop"}
        << "VmTestTerm" << Logo;
    QTest::newRow("uninstalled _GTK_APPLICATION_ID after an installed match")
        << Start::property << QStringList{"WM_CLASS=VmTestTerm", "_GTK_APPLICATION_ID=org.example.Elsewhere"}
        << "VmTestTerm" << Term;
    QTest::newRow("uninstalled _GTK_APPLICATION_ID alone")
        << Start::property << QStringList{"WM_CLASS=VmNothing", "_GTK_APPLICATION_ID=org.example.Elsewhere"}
        << "VmNothing"
        << "org.example.Elsewhere";
    QTest::newRow("nothing known") << Start::property << QStringList{"WM_CLASS=VmNothing"} << "VmNothing"
                                   << QString();
}

void TestX11Workspace::identifiesWindows()
{
    QFETCH(Start, how);
    QFETCH(QStringList, what);
    QFETCH(QString, windowName);
    QFETCH(QString, expected);

    X11Workspace workspace;
    const QStringList* events = record(workspace);
    start(workspace, how, what);
    waitForClient(windowName);
    // Arrival order: once the barrier's launch is in, the window above has been handled.
    barrier(*events);
    const QString barrierLaunch = "launch org.example.Barrier" + QString::number(m_barriers);
    if (expected.isEmpty()) {
        QCOMPARE(launches(*events), QStringList{barrierLaunch});
    } else {
        QCOMPARE(launches(*events), QStringList({"launch " + expected, barrierLaunch}));
        QVERIFY(workspace.runningApplications().contains(expected));
    }
}

void TestX11Workspace::ownWindowsResolveToOwnId()
{
    X11Workspace workspace;
    const QStringList* events = record(workspace);
    {
        QRasterWindow window;
        window.resize(200, 100);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(events->contains("launch " + Veilmark), WaitMs);
        QCOMPARE(launches(*events), QStringList{"launch " + Veilmark});
        // Qt names the class after the program, not after the desktop file, so no other rule would.
        const xcb_window_t own = clientsNamed(QCoreApplication::applicationName()).value(0);
        QVERIFY(own != XCB_WINDOW_NONE);
        QCOMPARE(pidOf(own), quint32(getpid()));
    }
    QTRY_VERIFY_WITH_TIMEOUT(events->contains("terminate " + Veilmark), WaitMs);
}

void TestX11Workspace::reportsTheFourEventsInOrder()
{
    X11Workspace workspace;
    const QStringList* events = record(workspace);
    QStringList expected;

    startProcess({"xterm", "-class", "VmTestTerm", "-e", "sleep", "600"});
    const xcb_window_t term = waitForClient("VmTestTerm");
    activateWithXdotool(term);
    expected << "launch " + Term << "activate " + Term;
    QTRY_COMPARE_WITH_TIMEOUT(events->join(", "), expected.join(", "), WaitMs);

    workspace.launch(entryPath(Launched));
    const xcb_window_t launched = waitForClient("VmLaunched");
    activateWithXdotool(launched);
    expected << "launch " + Launched << "deactivate " + Term << "activate " + Launched;
    QTRY_COMPARE_WITH_TIMEOUT(events->join(", "), expected.join(", "), WaitMs);

    workspace.activate(Term);
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), term, WaitMs);
    expected << "deactivate " + Launched << "activate " + Term;
    QTRY_COMPARE_WITH_TIMEOUT(events->join(", "), expected.join(", "), WaitMs);

    // A second window of the same application: neither a launch nor a change of application, however
    // often focus goes back and forth (openbox passes through "no active window" each time).
    QProcess* second = startProcess({"xterm", "-class", "VmTestTerm", "-e", "sleep", "600"});
    const xcb_window_t secondTerm = waitForClient("VmTestTerm", 2);
    for (int i = 0; i < 10; ++i) {
        activateWithXdotool(secondTerm);
        activateWithXdotool(term);
    }

    // A window of no application: only the deactivation, then only the activation.
    startProcess({"xterm", "-class", "VmStray", "-e", "sleep", "600"});
    activateWithXdotool(waitForClient("VmStray"));
    expected << "deactivate " + Term;
    QTRY_COMPARE_WITH_TIMEOUT(events->join(", "), expected.join(", "), WaitMs);
    activateWithXdotool(term);
    expected << "activate " + Term;
    QTRY_COMPARE_WITH_TIMEOUT(events->join(", "), expected.join(", "), WaitMs);

    ::kill(pid_t(pidOf(launched)), SIGTERM);
    expected << "terminate " + Launched;
    QTRY_COMPARE_WITH_TIMEOUT(events->join(", "), expected.join(", "), WaitMs);

    // Closing one of two windows ends nothing; closing the last ends the application, which is not
    // also reported as deactivated. Focus then has nowhere to go but the window of no application.
    second->kill();
    QTRY_VERIFY_WITH_TIMEOUT(clientsNamed("VmTestTerm").size() == 1, WaitMs);
    QCOMPARE(activeWindow(), term);
    m_processes.first()->kill();
    expected << "terminate " + Term;
    QTRY_COMPARE_WITH_TIMEOUT(events->join(", "), expected.join(", "), WaitMs);
    QCOMPARE(workspace.runningApplications(), QStringList());
    barrier(*events);
    expected << "launch org.example.Barrier" + QString::number(m_barriers);
    QCOMPARE(events->mid(0, expected.size()), expected);
}

// Minimising the only window leaves nothing to focus.
void TestX11Workspace::deactivatesWhenFocusStaysNowhere()
{
    X11Workspace workspace;
    const QStringList* events = record(workspace);
    startProcess({"xterm", "-class", "VmTestTerm", "-e", "sleep", "600"});
    const xcb_window_t term = waitForClient("VmTestTerm");
    activateWithXdotool(term);
    QStringList expected{"launch " + Term, "activate " + Term};
    QTRY_COMPARE_WITH_TIMEOUT(events->join(", "), expected.join(", "), WaitMs);

    QCOMPARE(QProcess::execute("xdotool", {"windowminimize", QString::number(term)}), 0);
    expected << "deactivate " + Term;
    QTRY_COMPARE_WITH_TIMEOUT(events->join(", "), expected.join(", "), WaitMs);
    QCOMPARE(activeWindow(), xcb_window_t(XCB_WINDOW_NONE));
}

// The active application hidden is no longer active; brought back at once, before the window manager
// has even settled on "nothing active", it is active again.
void TestX11Workspace::hidingTheActiveApplicationDeactivatesIt()
{
    X11Workspace workspace;
    const QStringList* events = record(workspace);
    startProcess({"xterm", "-class", "VmTestTerm", "-e", "sleep", "600"});
    const xcb_window_t term = waitForClient("VmTestTerm");
    activateWithXdotool(term);
    QStringList expected{"launch " + Term, "activate " + Term};
    QTRY_COMPARE_WITH_TIMEOUT(events->join(", "), expected.join(", "), WaitMs);

    workspace.hide(Term);
    QTRY_COMPARE_WITH_TIMEOUT(wmState(term), 3, WaitMs);
    activateWithXdotool(term);
    expected << "deactivate " + Term << "activate " + Term;
    QTRY_COMPARE_WITH_TIMEOUT(events->join(", "), expected.join(", "), WaitMs);
    QCOMPARE(wmState(term), 1);
}

void TestX11Workspace::hideUnhideAndActivate()
{
    X11Workspace workspace;
    const QStringList* events = record(workspace);
    for (int i = 0; i < 3; ++i)
        startProcess({"xterm", "-class", "VmTestTerm", "-e", "sleep", "600"});
    waitForClient("VmTestTerm", 3);
    const QList<xcb_window_t> terms = clientsNamed("VmTestTerm");
    workspace.launch(entryPath(Launched));
    const xcb_window_t other = waitForClient("VmLaunched");
    QTRY_COMPARE_WITH_TIMEOUT(workspace.runningApplications().size(), 2, WaitMs);

    // The middle window was used last: neither the first nor the last listed.
    switchTo(other, Launched, *events);
    switchTo(terms[1], Term, *events);
    switchTo(other, Launched, *events);

    workspace.hide(Term);
    for (const xcb_window_t window : terms)
        QTRY_COMPARE_WITH_TIMEOUT(wmState(window), 3, WaitMs);
    QCOMPARE(wmState(other), 1);

    // A window the hidden application opens now is hidden as well.
    startProcess({"xterm", "-class", "VmTestTerm", "-e", "sleep", "600"});
    const xcb_window_t late = waitForClient("VmTestTerm", 4);
    QTRY_COMPARE_WITH_TIMEOUT(wmState(late), 3, WaitMs);

    workspace.unhide(Term);
    for (const xcb_window_t window : clientsNamed("VmTestTerm"))
        QTRY_COMPARE_WITH_TIMEOUT(wmState(window), 1, WaitMs);

    switchTo(other, Launched, *events);
    switchTo(terms[1], Term, *events);
    switchTo(other, Launched, *events);
    workspace.activate(Term);
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), terms[1], WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(events->endsWith("activate " + Term), WaitMs);

    // Activating a hidden application brings all of it back, not only the window it activates.
    workspace.hide(Term);
    for (const xcb_window_t window : clientsNamed("VmTestTerm"))
        QTRY_COMPARE_WITH_TIMEOUT(wmState(window), 3, WaitMs);
    workspace.activate(Term);
    for (const xcb_window_t window : clientsNamed("VmTestTerm"))
        QTRY_COMPARE_WITH_TIMEOUT(wmState(window), 1, WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(clientsNamed("VmTestTerm").contains(activeWindow()), WaitMs);
}

void TestX11Workspace::iconFromEntryThenWindow()
{
    X11Workspace workspace;
    const QStringList* events = record(workspace);

    // From the entry's Icon, an absolute path here.
    QImage image = workspace.iconForFile(entryPath(Term));
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixelColor(24, 24), QColor(Qt::red));
    QVERIFY(workspace.iconForFile(entryPath(Logo)).isNull()); // no Icon key
    // From the icon theme.
    image = workspace.iconForFile(m_home.filePath("applications/vmtest/nested.desktop"));
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::green));
    QVERIFY(workspace.iconForFile(m_home.filePath("applications/missing.desktop")).isNull());
    // Not running: nothing but the entry to go by.
    QCOMPARE(workspace.icon(Term).pixelColor(0, 0), QColor(Qt::red));
    QVERIFY(workspace.icon(Launched).isNull());

    // Launched's entry names an icon no theme has: the window's own icon counts, the largest of
    // the sizes it offers, with its alpha channel intact.
    workspace.launch(entryPath(Launched));
    const xcb_window_t window = waitForClient("VmLaunched");
    QTRY_VERIFY_WITH_TIMEOUT(events->contains("launch " + Launched), WaitMs);
    QVERIFY(workspace.icon(Launched).isNull());
    QList<quint32> icon{16, 16};
    for (int i = 0; i < 16 * 16; ++i)
        icon << 0xff0000ffu;
    icon << 32 << 24;
    for (int i = 0; i < 32 * 24; ++i)
        icon << 0x8000ff00u;
    icon[2 + 256 + 2] = 0xffff0000u;               // top left of the large one
    icon[2 + 256 + 2 + 32 * 24 - 1] = 0x40ffffffu; // bottom right
    icon << 64 << 64 << 1 << 2;                    // cut short: ignored
    xcb_change_property(m_x, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32,
                        uint32_t(icon.size()), icon.constData());
    xcb_flush(m_x);
    QTRY_VERIFY_WITH_TIMEOUT(!workspace.icon(Launched).isNull(), WaitMs);
    image = workspace.icon(Launched);
    QCOMPARE(image.size(), QSize(32, 24));
    QCOMPARE(image.pixel(0, 0), 0xffff0000u);
    QCOMPARE(image.pixel(1, 0), 0x8000ff00u);
    QCOMPARE(image.pixel(31, 23), 0x40ffffffu);
    QVERIFY(workspace.icon("org.example.NotRunning").isNull());
}

// A second X server that goes away while the workspace watches it.
void TestX11Workspace::survivesLostConnection()
{
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start("sh", {"-c", "exec Xvfb -displayfd 1 -screen 0 320x200x24 -nolisten tcp 2>/dev/null"});
    QVERIFY(server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), WaitMs);
    const QByteArray display = ":" + server.readLine().trimmed();

    const auto workspace = std::make_unique<X11Workspace>(display);
    const QStringList* events = record(*workspace);
    QVERIFY(workspace->isSupported());
    auto* notifier = workspace->findChild<QSocketNotifier*>();
    QVERIFY(notifier && notifier->isEnabled());

    server.terminate(); // lets it remove its socket
    QVERIFY(server.waitForFinished(WaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(!notifier->isEnabled(), WaitMs);
    QVERIFY(!workspace->isSupported());
    workspace->hide(Term);
    workspace->unhide(Term);
    workspace->activate(Term);
    QVERIFY(workspace->icon(Launched).isNull());
    QTest::qWait(100);
    QVERIFY(events->isEmpty());
    QVERIFY(!notifier->isEnabled());
}

// The engine's slots run synchronously inside the event handling; one of them may end the workspace
// while more changes are waiting to be reported.
void TestX11Workspace::mayBeDeletedByItsOwnSignal()
{
    QPointer<X11Workspace> workspace = new X11Workspace;
    int launched = 0;
    connect(workspace.data(), &Workspace::didLaunch, this, [&] {
        ++launched;
        delete workspace.data();
    });
    createWindow({"_GTK_APPLICATION_ID=org.example.First"});
    createWindow({"_GTK_APPLICATION_ID=org.example.Second"});
    QTRY_VERIFY_WITH_TIMEOUT(workspace.isNull(), WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(clients().size(), 2, WaitMs);
    QTest::qWait(100); // lets what it left to deleteLater go
    QCOMPARE(launched, 1);
}

QTEST_MAIN(TestX11Workspace)
#include "TestX11Workspace.moc"
