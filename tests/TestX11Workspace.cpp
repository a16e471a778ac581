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
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <linux/capability.h>
#include <memory>
#include <sys/syscall.h>
#include <unistd.h>
#include <xcb/xcb.h>

// Waits until the events seen so far are `expected` with the given ones added.
#define EXPECT_EVENTS(added)                                                                                 \
    do {                                                                                                     \
        expected << added;                                                                                   \
        QTRY_COMPARE_WITH_TIMEOUT(m_events.join(", "), expected.join(", "), WaitMs);                         \
    } while (false)

namespace {
// X clients start in well under a second; this is for a loaded machine.
const int WaitMs = 10000;
const QString Veilmark = QStringLiteral("org.veilmark.Veilmark");
const QString Term = QStringLiteral("org.example.Term");
const QString Launched = QStringLiteral("org.example.Launched");
const QString ByProgram = QStringLiteral("org.example.ByProgram");
QStringList xterm(const QString& windowClass)
{
    return {"xterm", "-class", windowClass, "-e", "sleep", "600"};
}
const QStringList TermCommand = xterm("VmTestTerm");

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

// X11Workspace on a private X server with openbox (xvfb-session.sh), with real X clients (xterm, xlogo)
// described by desktop entries in temporary XDG data directories. The test watches the server through an xcb
// connection of its own.
class TestX11Workspace : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QTemporaryDir m_system;
    xcb_connection_t* m_x = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    std::vector<std::unique_ptr<QProcess>> m_processes; // killed when deleted
    QList<xcb_window_t> m_ownWindows;
    QStringList m_events;
    int m_barriers = 0;

    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return atom;
    }
    QByteArray property(xcb_window_t window, const char* name)
    {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            m_x, xcb_get_property(m_x, 0, window, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096), nullptr);
        QByteArray value;
        if (reply)
            value = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        free(reply);
        return value;
    }
    QList<quint32> words(xcb_window_t window, const char* name)
    {
        const QByteArray data = property(window, name);
        QList<quint32> out(data.size() / 4);
        if (!out.isEmpty())
            std::memcpy(out.data(), data.constData(), size_t(out.size()) * 4);
        return out;
    }
    QList<xcb_window_t> clients() { return words(m_root, "_NET_CLIENT_LIST"); }
    xcb_window_t activeWindow() { return words(m_root, "_NET_ACTIVE_WINDOW").value(0, XCB_WINDOW_NONE); }
    // WM_STATE, as the window manager sets it: 1 normal, 3 iconic.
    bool allInState(const QList<xcb_window_t>& windows, quint32 state)
    {
        return std::all_of(windows.cbegin(), windows.cend(),
                           [&](xcb_window_t w) { return words(w, "WM_STATE").value(0) == state; });
    }
    // The client windows whose WM_CLASS instance or class is `name`, in listing order.
    QList<xcb_window_t> clientsNamed(const QString& name)
    {
        QList<xcb_window_t> found;
        for (const xcb_window_t window : clients())
            if (property(window, "WM_CLASS").split('\0').mid(0, 2).contains(name.toLatin1()))
                found << window;
        return found;
    }
    xcb_window_t waitForClient(const QString& name, int count = 1)
    {
        (void)QTest::qWaitFor([&] { return clientsNamed(name).size() >= count; }, WaitMs);
        return clientsNamed(name).value(count - 1, XCB_WINDOW_NONE);
    }
    // Activates `window` the way a pager or the user would, and waits until the window manager has and, given
    // its application, until the workspace has reported that: the workspace reads the active window when it
    // handles a change, so one left at once may go unseen.
    bool activate(xcb_window_t window, const QString& id = {})
    {
        return QProcess::execute("xdotool", {"windowactivate", QString::number(window)}) == 0 &&
               QTest::qWaitFor([&] { return activeWindow() == window; }, WaitMs) &&
               (id.isEmpty() || QTest::qWaitFor([&] { return m_events.endsWith("activate " + id); }, WaitMs));
    }
    void record(Workspace& workspace)
    {
        for (const auto& [signal, name] :
             {std::pair{&Workspace::didLaunch, "launch "}, std::pair{&Workspace::didActivate, "activate "},
              std::pair{&Workspace::didDeactivate, "deactivate "},
              std::pair{&Workspace::didTerminate, "terminate "}})
            connect(&workspace, signal, &workspace,
                    [this, name](const QString& id) { m_events << name + id; });
    }
    QProcess* startProcess(const QStringList& command)
    {
        auto* process = m_processes.emplace_back(std::make_unique<QProcess>()).get();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(command.first(), command.mid(1));
        process->waitForStarted();
        return process;
    }
    // A plain top-level window of this process with the given text properties; "WM_CLASS=x" makes x both
    // instance and class. Without _NET_WM_PID, only the window's own properties can identify it.
    void createWindow(const QStringList& properties)
    {
        const xcb_window_t window = xcb_generate_id(m_x);
        xcb_create_window(m_x, XCB_COPY_FROM_PARENT, window, m_root, 10, 10, 120, 80, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        for (const QString& assignment : properties)
            setText(window, assignment);
        xcb_map_window(m_x, window);
        xcb_flush(m_x);
        m_ownWindows << window;
    }
    void setText(xcb_window_t window, const QString& assignment)
    {
        const QByteArray name = assignment.section('=', 0, 0).toLatin1();
        const QByteArray value = assignment.section('=', 1).toUtf8();
        const bool wmClass = name == "WM_CLASS";
        const QByteArray data = wmClass ? value + '\0' + value + '\0' : value;
        xcb_change_property(m_x, XCB_PROP_MODE_REPLACE, window, atom(name.constData()),
                            wmClass ? xcb_atom_t(XCB_ATOM_STRING) : atom("UTF8_STRING"), 8,
                            uint32_t(data.size()), data.constData());
        xcb_flush(m_x);
    }
    // Maps a window that resolves to a fresh ID and waits for its launch: every event the server sent before
    // has been handled by then. Returns the launch.
    QString barrier()
    {
        const QString launch = QStringLiteral("launch org.example.Barrier%1").arg(++m_barriers);
        createWindow({"_GTK_APPLICATION_ID=" + launch.mid(7)});
        (void)QTest::qWaitFor([&] { return m_events.contains(launch); }, WaitMs);
        return launch;
    }
    QString program() const { return m_home.filePath("vmprogram"); }
    QString appImage() const { return m_home.filePath("Foo.AppImage"); }
    QString entryPath(const QString& id) const { return m_home.filePath("applications/" + id + ".desktop"); }

private slots:
    void initTestCase()
    {
        // Root reads any file; without these capabilities a locked entry is unreadable here as for any user.
        // Capabilities are per thread, and this test reads files on the main thread only.
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[2]{};
        QCOMPARE(syscall(SYS_capget, &header, caps), 0);
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            caps[cap / 32].effective &= ~(1u << (cap % 32));
        QCOMPARE(syscall(SYS_capset, &header, caps), 0);

        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(m_system.path()));
        qunsetenv("XDG_SESSION_TYPE");
        // GIO announces launches on the session bus; with none, it would start one through dbus-launch.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        QGuiApplication::setDesktopFileName(Veilmark);

        // Icons: a file named by its path, and one of the lowest-priority theme every desktop has.
        QImage image(48, 48, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(m_home.filePath("red.png")));
        image.fill(Qt::green);
        QVERIFY(QDir().mkpath(m_home.filePath("icons/hicolor/48x48/apps")));
        QVERIFY(image.save(m_home.filePath("icons/hicolor/48x48/apps/vmtest-green.png")));
        const QString home = m_home.path() + "/applications/", system = m_system.path() + "/applications/";
        const QList<std::pair<QString, QByteArray>> files{
            {m_home.filePath("icons/hicolor/index.theme"),
             "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\nType=Fixed\n"},
            {home + "org.example.Term.desktop",
             entry("Term", "xterm -class VmTestTerm -e sleep 600",
                   "StartupWMClass=VmTestTerm\nIcon=" + QFile::encodeName(m_home.filePath("red.png")) +
                       "\n")},
            // Nothing about its windows names it: only GIO's launch variables can.
            {home + "org.example.Launched.desktop",
             entry("Launched", "xterm -class VmLaunched -e sleep 600", "Icon=no-such-icon\n")},
            {home + "vmtest/nested.desktop",
             entry("Nested", "xterm -class VmNested -e sleep 600", "Icon=vmtest-green\n")},
            {home + "vmlogo.desktop", entry("Logo", "xlogo -name VmLogo", "NoDisplay=true\n")},
            {home + "vmhidden.desktop", entry("Hidden", "xlogo -name vmhidden", "Hidden=true\n")},
            {system + "vmhidden.desktop", entry("Hidden", "xlogo -name vmhidden")},
            {home + "vmlink.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.org\n"},
            // Known only by the program that runs: a copy of xterm of its own, and an AppImage.
            {home + "org.example.ByProgram.desktop",
             entry("By program", "vmprogram -e sleep 600", "TryExec=" + QFile::encodeName(program()) + "\n")},
            {home + "org.example.Image.desktop", entry("Image", QFile::encodeName(appImage()) + " --flag")},
            {appImage(), "not run: the process names it"}};
        for (const auto& [path, content] : files)
            QVERIFY(writeFile(path, content));
        QVERIFY(QFile::copy(QStandardPaths::findExecutable("xterm"), program()));
        for (const QString& executable : {program(), appImage()})
            QVERIFY(QFile::setPermissions(executable, QFile::ReadOwner | QFile::ExeOwner));

        m_x = xcb_connect(nullptr, nullptr);
        QVERIFY2(!xcb_connection_has_error(m_x), "no X display: run through xvfb-session.sh");
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root;
        // Everything here goes through the window manager; on a busy machine it may still be starting.
        QTRY_VERIFY2_WITH_TIMEOUT(!property(m_root, "_NET_SUPPORTING_WM_CHECK").isEmpty(),
                                  "no window manager", 3 * WaitMs);
    }

    void init() { m_events.clear(); }

    // Every client on this private server is the test's: all go, and the next test starts on an empty
    // desktop.
    void cleanup()
    {
        m_processes.clear();
        for (const xcb_window_t window : std::as_const(m_ownWindows))
            xcb_destroy_window(m_x, window);
        m_ownWindows.clear();
        xcb_flush(m_x);
        for (const xcb_window_t window : clients()) // started by GIO
            if (const quint32 pid = words(window, "_NET_WM_PID").value(0);
                pid != 0 && pid != quint32(getpid()))
                ::kill(pid_t(pid), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(clients().isEmpty(), WaitMs);
    }

    void cleanupTestCase() { xcb_disconnect(m_x); }

    // Veilmark locks a protected application's entry by taking the owner's permissions away; its windows must
    // still resolve, and its icon still be found, from what was read while it could be.
    void desktopEntries()
    {
        DesktopEntryIndex index;
        // As Veilmark does before it locks an entry.
        index.keepIdentity(entryPath(Term));
        QFile file(entryPath(Term));
        const QFile::Permissions permissions = file.permissions();
        const auto unlock = qScopeGuard([&] { file.setPermissions(permissions); });
        QVERIFY(file.setPermissions(QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(!file.open(QIODevice::ReadOnly));
        index.reload();
        QCOMPARE(index.find(Term)->startupWMClass, QString("VmTestTerm"));
        QCOMPARE(index.icon(entryPath(Term)).pixelColor(24, 24), QColor(Qt::red));
        // After a restart, what was kept stands in for the locked entry; never kept, only the ID is known. A
        // kept file that cannot be read is moved aside, not trusted.
        QFile launched(entryPath(Launched));
        QVERIFY(launched.setPermissions(QFile::ReadGroup));
        DesktopEntryIndex fresh;
        launched.setPermissions(permissions);
        QCOMPARE(fresh.find(Term)->startupWMClass, QString("VmTestTerm"));
        QCOMPARE(fresh.icon(entryPath(Term)).pixelColor(24, 24), QColor(Qt::red));
        QCOMPARE(fresh.find(Launched)->path, entryPath(Launched));
        QVERIFY(fresh.find(Launched)->exec.isEmpty());
        const QString kept = m_home.filePath("Veilmark/entry-identities.json");
        QVERIFY(writeFile(kept, "{ broken"));
        QVERIFY(DesktopEntryIndex().find(Term)->startupWMClass.isEmpty());
        QVERIFY(!QFile::exists(kept));
        // An icon from the theme, of an entry in a subdirectory.
        const QImage themed = index.icon(m_home.filePath("applications/vmtest/nested.desktop"));
        QCOMPARE(themed.pixelColor(themed.width() / 2, themed.height() / 2), QColor(Qt::green));
        // The chooser's list: what menus show, NoDisplay entries (still identifying windows) left out.
        QStringList menu;
        for (const InstalledApps::Application& app : index.menuApplications())
            menu << app.id;
        QVERIFY(menu.contains(Term) && !menu.contains("vmlogo") && index.find("vmlogo"));

        // An entry installed meanwhile is seen on the next refresh, and only a change makes it scan again.
        QVERIFY(!index.refreshIfChanged());
        const QString added = m_home.filePath("applications/vmtest/org.example.Added.desktop");
        QVERIFY(writeFile(added + ".tmp", entry("Added", "true")));
        QVERIFY(QFile::rename(added + ".tmp", added));
        QVERIFY(index.refreshIfChanged() && index.find("vmtest-org.example.Added"));
        QVERIFY(QFile::remove(added));
        QVERIFY(index.refreshIfChanged() && !index.find("vmtest-org.example.Added"));
    }

    // A window from a command, from a desktop entry launched through GIO, of this process with the given
    // properties, or (none given) a Qt window of this process; the application it resolves to.
    void identifiesWindows_data()
    {
        QTest::addColumn<QStringList>("what");
        QTest::addColumn<QString>("expected");
        const auto xlogo = [](const char* name) { return QStringList{"xlogo", "-name", name}; };
        QTest::newRow("WM_CLASS instance as ID, any case") << xlogo("VmLogo") << "vmlogo";
        QTest::newRow("own window, by the desktop file name") << QStringList() << Veilmark;
        QTest::newRow("launched by GIO from a subdirectory")
            << QStringList{m_home.filePath("applications/vmtest/nested.desktop")} << "vmtest-nested";
        QTest::newRow("GIO variables inherited from a parent")
            << QStringList{"env", "GIO_LAUNCHED_DESKTOP_FILE=" + entryPath(Launched),
                           "GIO_LAUNCHED_DESKTOP_FILE_PID=1"} +
                   xterm("VmLaunched")
            << QString();
        QTest::newRow("executable named by TryExec")
            << QStringList{program()} + xterm("VmAnyClass").mid(1) << ByProgram;
        QTest::newRow("AppImage it runs from")
            << QStringList{"env", "APPIMAGE=" + appImage()} + xterm("VmImage") << "org.example.Image";
        QTest::newRow("system entry hidden by the home directory") << xlogo("vmhidden") << QString();
        QTest::newRow("link entry") << QStringList{"WM_CLASS=vmlink"} << QString();
        QTest::newRow("_GTK_APPLICATION_ID before WM_CLASS")
            << QStringList{"WM_CLASS=VmLogo", "_GTK_APPLICATION_ID=" + Term} << Term;
        QTest::newRow("_KDE_NET_WM_DESKTOP_FILE before WM_CLASS")
            << QStringList{"WM_CLASS=VmTestTerm", "_KDE_NET_WM_DESKTOP_FILE=vmlogo.desktop"} << "vmlogo";
        QTest::newRow("uninstalled _GTK_APPLICATION_ID after an installed match")
            << QStringList{"WM_CLASS=VmTestTerm", "_GTK_APPLICATION_ID=org.example.Elsewhere"} << Term;
        QTest::newRow("uninstalled _GTK_APPLICATION_ID alone")
            << QStringList{"WM_CLASS=VmNothing", "_GTK_APPLICATION_ID=org.example.Elsewhere"}
            << "org.example.Elsewhere";
    }

    void identifiesWindows()
    {
        QFETCH(QStringList, what);
        QFETCH(QString, expected);
        X11Workspace workspace;
        record(workspace);
        QRasterWindow own;
        if (what.isEmpty()) {
            own.resize(200, 100);
            own.show();
        } else if (what.first().endsWith(".desktop")) {
            DesktopEntryIndex().launch(what.first());
        } else if (what.first().contains('=')) {
            createWindow(what);
        } else {
            startProcess(what);
        }
        QTRY_COMPARE_WITH_TIMEOUT(clients().size(), 1, WaitMs);
        // Arrival order: once the barrier's launch is in, the window above has been handled.
        const QString last = barrier();
        QCOMPARE(m_events.filter(QRegularExpression("^launch ")).join(", "),
                 (expected.isEmpty() ? "" : "launch " + expected + ", ") + last);
    }

    void reportsTheFourEventsInOrder()
    {
        X11Workspace workspace;
        record(workspace);
        QStringList expected;
        startProcess(TermCommand);
        const xcb_window_t term = waitForClient("VmTestTerm");
        QVERIFY(activate(term));
        EXPECT_EVENTS("launch " + Term << "activate " + Term);
        // Its only window minimised, focus stays nowhere: deactivated. Hidden, it is deactivated at once, so
        // brought back before the window manager has even settled on "nothing active", it is active again.
        QCOMPARE(QProcess::execute("xdotool", {"windowminimize", QString::number(term)}), 0);
        EXPECT_EVENTS("deactivate " + Term);
        QVERIFY(activate(term));
        EXPECT_EVENTS("activate " + Term);
        workspace.hide(Term);
        QTRY_VERIFY_WITH_TIMEOUT(allInState({term}, 3), WaitMs);
        QVERIFY(activate(term));
        EXPECT_EVENTS("deactivate " + Term << "activate " + Term);

        DesktopEntryIndex().launch(entryPath(Launched));
        const xcb_window_t launched = waitForClient("VmLaunched");
        QVERIFY(activate(launched));
        EXPECT_EVENTS("launch " + Launched << "deactivate " + Term << "activate " + Launched);
        workspace.activate(Term);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), term, WaitMs);
        EXPECT_EVENTS("deactivate " + Launched << "activate " + Term);

        // A second window of the same application: neither a launch nor a change of application, however
        // often focus goes back and forth (openbox passes through "no active window" each time).
        QProcess* second = startProcess(TermCommand);
        const xcb_window_t secondTerm = waitForClient("VmTestTerm", 2);
        for (int i = 0; i < 10; ++i)
            QVERIFY(activate(secondTerm) && activate(term));
        // A window of no application: only the deactivation. A window whose class changes belongs to the
        // application it names now, and in front brings that one forward.
        createWindow({"WM_CLASS=VmNothing"});
        QVERIFY(activate(m_ownWindows.last()));
        EXPECT_EVENTS("deactivate " + Term);
        setText(m_ownWindows.last(), "WM_CLASS=VmTestTerm");
        EXPECT_EVENTS("activate " + Term);
        setText(m_ownWindows.last(), "WM_CLASS=vmlogo");
        EXPECT_EVENTS("launch vmlogo"
                      << "deactivate " + Term << "activate vmlogo");
        QVERIFY(activate(term));
        xcb_destroy_window(m_x, m_ownWindows.takeLast());
        xcb_flush(m_x);
        EXPECT_EVENTS("deactivate vmlogo"
                      << "activate " + Term << "terminate vmlogo");

        ::kill(pid_t(words(launched, "_NET_WM_PID").value(0)), SIGTERM);
        EXPECT_EVENTS("terminate " + Launched);
        // Closing one of two windows ends nothing; closing the last ends the application, which is not also
        // reported as deactivated.
        second->kill();
        QTRY_COMPARE_WITH_TIMEOUT(clientsNamed("VmTestTerm").size(), 1, WaitMs);
        m_processes.front()->kill();
        EXPECT_EVENTS("terminate " + Term);
        QCOMPARE(workspace.runningApplications(), QStringList());
        expected << barrier(); // which the window manager may then activate
        QCOMPARE(m_events.mid(0, expected.size()).join(", "), expected.join(", "));
    }

    // hide, unhide, activate and icon, on three windows of one application and one of another.
    void actions()
    {
        // Not running: the entry's icon, if it names one that exists.
        QCOMPARE(X11Workspace().icon(Term).pixelColor(0, 0), QColor(Qt::red));
        QVERIFY(X11Workspace().icon(Launched).isNull());
        for (int i = 0; i < 3; ++i)
            startProcess(TermCommand);
        waitForClient("VmTestTerm", 3);
        const QList<xcb_window_t> terms = clientsNamed("VmTestTerm");
        // What runs already is known, but was not launched now.
        X11Workspace workspace;
        record(workspace);
        QCOMPARE(workspace.runningApplications(), QStringList{Term});
        DesktopEntryIndex().launch(entryPath(Launched));
        const xcb_window_t other = waitForClient("VmLaunched");
        QTRY_COMPARE_WITH_TIMEOUT(m_events.filter(QRegularExpression("^launch ")),
                                  QStringList{"launch " + Launched}, WaitMs);

        // The middle window was used last: neither the first nor the last listed.
        QVERIFY(activate(other, Launched) && activate(terms[1], Term) && activate(other, Launched));
        workspace.hide(Term);
        QTRY_VERIFY_WITH_TIMEOUT(allInState(terms, 3), WaitMs);
        QVERIFY(allInState({other}, 1));
        // A window the hidden application opens now is hidden as well.
        startProcess(TermCommand);
        QTRY_VERIFY_WITH_TIMEOUT(allInState({waitForClient("VmTestTerm", 4)}, 3), WaitMs);
        workspace.unhide(Term);
        QTRY_VERIFY_WITH_TIMEOUT(allInState(clientsNamed("VmTestTerm"), 1), WaitMs);

        QVERIFY(activate(other, Launched) && activate(terms[1], Term) && activate(other, Launched));
        workspace.activate(Term);
        QTRY_VERIFY_WITH_TIMEOUT(activeWindow() == terms[1] && m_events.endsWith("activate " + Term), WaitMs);

        // Activating a hidden application brings all of it back, not only the window it activates. The window
        // manager gives focus to the other application once the hidden one's windows are gone; that must be
        // over before the activation, or it could take focus again right after.
        workspace.hide(Term);
        QTRY_VERIFY_WITH_TIMEOUT(allInState(clientsNamed("VmTestTerm"), 3), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(activeWindow() == other && m_events.endsWith("activate " + Launched),
                                 WaitMs);
        workspace.activate(Term);
        QTRY_VERIFY_WITH_TIMEOUT(allInState(clientsNamed("VmTestTerm"), 1), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(activeWindow() == terms[1] && m_events.endsWith("activate " + Term), WaitMs);

        // Launched's entry names an icon no theme has: the window's own icon counts, the largest of the sizes
        // it offers, with its alpha channel intact.
        QList<quint32> icon = QList<quint32>{16, 16} + QList<quint32>(16 * 16, 0xff0000ffu) +
                              QList<quint32>{32, 24} + QList<quint32>(32 * 24, 0x8000ff00u) +
                              QList<quint32>{64, 64, 1, 2}; // the last cut short: ignored
        icon[2 + 256 + 2] = 0xffff0000u;                    // top left of the large one
        icon[2 + 256 + 2 + 32 * 24 - 1] = 0x40ffffffu;      // bottom right
        xcb_change_property(m_x, XCB_PROP_MODE_REPLACE, other, atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32,
                            uint32_t(icon.size()), icon.constData());
        xcb_flush(m_x);
        QTRY_COMPARE_WITH_TIMEOUT(workspace.icon(Launched).size(), QSize(32, 24), WaitMs);
        const QImage image = workspace.icon(Launched);
        QCOMPARE((QList<QRgb>{image.pixel(0, 0), image.pixel(1, 0), image.pixel(31, 23)}),
                 (QList<QRgb>{0xffff0000u, 0x8000ff00u, 0x40ffffffu}));
    }

    // Without a usable X connection (no server, or one that goes away while watched), nothing is reported and
    // every action does nothing.
    void brokenConnection()
    {
        QVERIFY(!X11Workspace(QByteArray(":65001")).isSupported());

        QProcess server;
        server.start("sh", {"-c", "exec Xvfb -displayfd 1 -screen 0 320x200x24 -nolisten tcp 2>/dev/null"});
        QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), WaitMs);
        X11Workspace workspace(":" + server.readLine().trimmed());
        record(workspace);
        auto* notifier = workspace.findChild<QSocketNotifier*>();
        QVERIFY(notifier && notifier->isEnabled());
        server.terminate(); // lets it remove its socket
        QVERIFY(server.waitForFinished(WaitMs));
        // A broken connection leaves its socket readable: the notifier must stop, or it spins.
        QTRY_VERIFY_WITH_TIMEOUT(!notifier->isEnabled(), WaitMs);
        QVERIFY(!workspace.isSupported());
        workspace.hide(Term);
        workspace.unhide(Term);
        workspace.activate(Term);
        QVERIFY(workspace.icon(Launched).isNull());
        QCoreApplication::processEvents();
        QVERIFY(m_events.isEmpty());
    }

    // The engine's slots run synchronously inside the event handling; one of them may end the workspace while
    // more changes are waiting to be reported.
    void mayBeDeletedByItsOwnSignal()
    {
        QTest::failOnWarning(QRegularExpression(".")); // such as from a workspace used after its end
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
};

QTEST_MAIN(TestX11Workspace)
#include "TestX11Workspace.moc"
