#include "ChildProcesses.h"
#include "ShieldWindow.h"
#include "ShieldWindows.h"
#include "apps/AppProtectionEngine.h"
#include "apps/OverlayManager.h"
#include "auth/AttemptBackoff.h"
#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "auth/PromptAuthenticator.h"
#include "auth/SessionManager.h"
#include "fakes/FakeClock.h"
#include "fakes/FakePasswordVerifier.h"
#include "fakes/FakePresencePrompt.h"
#include "fakes/FakeSecretStore.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/linux/FprintdVerifier.h"
#include "platform/linux/X11Workspace.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtQml/QQmlExtensionPlugin>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

// How fast a protected application goes behind the shield, as the X server reports it. A watcher
// on a connection of its own stamps three reports on arrival: _NET_ACTIVE_WINDOW naming the
// protected window, its WM_STATE turning Iconic, and the shield window being mapped. Run under
// tests/xvfb-session.sh (a private Xvfb with openbox).
//
// The prompt behind the shield is the real one as far as fprintd goes (PromptAuthenticator with
// FprintdVerifier on a private system bus); only its window and the password check are stand-ins.
// Each figure is taken three times: with no fingerprint service, with a fingerprint service that
// owns its name but never answers, and with fprintd and libfprint's virtual reader, a finger
// enrolled. A round whose reports did not all arrive counts as unobserved and is printed as such.
namespace {
using Clock = std::chrono::steady_clock;

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return a;
}

uint32_t cardinalProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1), nullptr);
    uint32_t value = 0;
    if (reply && xcb_get_property_value_length(reply) >= 4)
        value = *static_cast<uint32_t*>(xcb_get_property_value(reply));
    free(reply);
    return value;
}

class Watcher : public QThread
{
public:
    xcb_window_t target = 0;
    xcb_window_t shield = 0;
    std::atomic<int64_t> activeAt{0}, iconicAt{0}, mappedAt{0}, clientListAt{0};
    std::atomic<bool> stop{false};
    // Launch rounds: the newest client window becomes the target as soon as it is listed.
    std::atomic<bool> followNewClients{false};

    Watcher()
    {
        m_c = xcb_connect(nullptr, nullptr);
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        m_active = atom(m_c, "_NET_ACTIVE_WINDOW");
        m_clientList = atom(m_c, "_NET_CLIENT_LIST");
        m_wmState = atom(m_c, "WM_STATE");
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_c);
    }
    ~Watcher() override { xcb_disconnect(m_c); }

    void watch(xcb_window_t window)
    {
        target = window;
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_c, window, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_c);
    }
    void reset() { activeAt = iconicAt = mappedAt = clientListAt = 0; }
    // Asks the window manager to activate the target, as a task bar click would.
    void activateTarget()
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = target;
        event.type = m_active;
        event.data.data32[0] = 2;
        xcb_send_event(m_c, 0, m_root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(m_c);
    }

protected:
    void run() override
    {
        // Property reads need a second connection: this one is busy waiting.
        xcb_connection_t* reader = xcb_connect(nullptr, nullptr);
        while (!stop) {
            xcb_generic_event_t* event = xcb_poll_for_event(m_c);
            if (!event) {
                QThread::usleep(50);
                continue;
            }
            const auto now = Clock::now().time_since_epoch().count();
            switch (event->response_type & 0x7f) {
            case XCB_PROPERTY_NOTIFY: {
                auto* e = reinterpret_cast<xcb_property_notify_event_t*>(event);
                // The first change after the request is the activation (the engine's hide moves it on).
                if (e->window == m_root && e->atom == m_active && target && !activeAt)
                    activeAt = now;
                else if (e->window == m_root && e->atom == m_clientList && !clientListAt) {
                    clientListAt = now;
                    if (followNewClients)
                        followNewest(reader, now);
                } else if (e->window == target && e->atom == m_wmState &&
                           cardinalProperty(reader, target, m_wmState, m_wmState) == 3 && !iconicAt)
                    iconicAt = now;
                break;
            }
            case XCB_MAP_NOTIFY: {
                auto* e = reinterpret_cast<xcb_map_notify_event_t*>(event);
                // The shield's windows are made anew each time: with none named, any unmanaged one.
                if ((e->window == shield || (!shield && e->override_redirect)) && !mappedAt)
                    mappedAt = now;
                break;
            }
            default:
                break;
            }
            free(event);
        }
        xcb_disconnect(reader);
    }

private:
    void followNewest(xcb_connection_t* reader, int64_t now)
    {
        auto* reply = xcb_get_property_reply(
            reader, xcb_get_property(reader, 0, m_root, m_clientList, XCB_ATOM_WINDOW, 0, 1024), nullptr);
        if (reply && xcb_get_property_value_length(reply) >= 4) {
            const int count = xcb_get_property_value_length(reply) / 4;
            const auto newest = static_cast<xcb_window_t*>(xcb_get_property_value(reply))[count - 1];
            target = newest;
            const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(m_c, newest, XCB_CW_EVENT_MASK, &mask);
            xcb_flush(m_c);
            // Hidden before we could listen: count it now, which only makes the figure worse.
            if (cardinalProperty(reader, newest, m_wmState, m_wmState) == 3)
                iconicAt = now;
        }
        free(reply);
    }

    xcb_connection_t* m_c;
    xcb_window_t m_root;
    xcb_atom_t m_active, m_clientList, m_wmState;
};

bool waitFor(const std::function<bool()>& done, int ms = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

// `unobserved`: rounds in which the watcher did not see every report; they count as failures.
void report(const std::string& what, std::vector<double> ms, int unobserved)
{
    if (ms.empty()) {
        std::printf("%s: no samples, %d rounds unobserved (FAILED)\n", what.c_str(), unobserved);
        return;
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    std::printf("%s: n=%zu median %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.2f ms; unobserved %d%s\n",
                what.c_str(), ms.size(), at(0.5), at(0.9), at(0.99), ms.back(), unobserved,
                unobserved > 0 ? " (FAILED)" : "");
}

double msBetween(int64_t from, int64_t to)
{
    return double(to - from) / 1e6;
}

// Application protection on the real X server with the real prompt flow and fprintd client.
struct Rig
{
    FakeClock clock;
    FakeSecretStore secrets;
    KeychainService keychain{secrets};
    PolicyStore policy;
    EventLog log;
    SessionManager sessions{clock};
    QTemporaryDir attempts;
    AttemptBackoff backoff{clock, attempts.filePath("attempts.json")};
    FakePresencePrompt prompt;
    FprintdVerifier reader;
    FakePasswordVerifier passwords;
    PromptAuthenticator authenticator{prompt, reader, passwords, backoff};
    AuthenticationService auth{authenticator, keychain};
    X11Workspace workspace;
    DesktopEntryIndex installed;
    ShieldWindows display;
    OverlayManager overlay{display};
    AppProtectionEngine engine{policy, auth, sessions, overlay, log, workspace, installed};

    void cancel()
    {
        authenticator.cancelPrompt(Authenticator::Result::userCancel);
        overlay.model().cancel();
    }
};

// The services of a private system bus: fprintd with the virtual reader and polkit's mock, or a
// stand-in that owns fprintd's name and never answers.
class FingerprintServices
{
public:
    explicit FingerprintServices(const QString& dir)
        : m_dir(dir)
    {}
    ~FingerprintServices()
    {
        for (QProcess* process : {&m_fprintd, &m_hung, &m_polkit, &m_bus})
            stop(*process);
    }

    // Before anything touches the system bus: QDBusConnection connects to it once per process.
    bool startBus()
    {
        dieWithTest(m_bus);
        m_bus.start("/usr/bin/dbus-daemon",
                    {"--session", "--nofork", "--print-address=1", "--address=unix:dir=" + m_dir});
        while (!m_bus.canReadLine() && m_bus.waitForReadyRead(10000)) {
        }
        const QByteArray address = m_bus.readLine().trimmed();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
        m_client.emplace(QDBusConnection::connectToBus(QString::fromUtf8(address), "bench-client"));
        return m_client->isConnected();
    }
    bool startHung()
    {
        return start(m_hung, "/usr/bin/python3",
                     {"-c", "import dbus, time; dbus.SystemBus().request_name('net.reactivated.Fprint'); "
                            "time.sleep(3600)"},
                     "net.reactivated.Fprint");
    }
    bool stopHung()
    {
        stop(m_hung);
        return waitFor([this] { return !registered("net.reactivated.Fprint"); }, 10000);
    }
    bool startFprintd()
    {
        if (!start(m_polkit, "/usr/bin/python3", {"-m", "dbusmock", "--system", "--template", "polkitd"},
                   "org.freedesktop.PolicyKit1"))
            return false;
        QDBusMessage allow = QDBusMessage::createMethodCall("org.freedesktop.PolicyKit1",
                                                            "/org/freedesktop/PolicyKit1/Authority",
                                                            "org.freedesktop.DBus.Mock", "AllowUnknown");
        allow.setArguments({true});
        m_client->call(allow);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("STATE_DIRECTORY", m_dir + "/fprintd-state");
        environment.insert("FP_DRIVERS_WHITELIST", "virtual_device");
        environment.insert("FP_VIRTUAL_DEVICE", m_dir + "/reader");
        m_fprintd.setProcessEnvironment(environment);
        return start(m_fprintd, "/usr/libexec/fprintd", {"--no-timeout"}, "net.reactivated.Fprint") &&
               enroll();
    }

private:
    bool registered(const QString& name) { return m_client->interface()->isServiceRegistered(name); }

    bool start(QProcess& process, const QString& program, const QStringList& arguments, const QString& name)
    {
        dieWithTest(process);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(program, arguments);
        return waitFor([&] { return registered(name); }, 10000);
    }

    bool scan(const QByteArray& command)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(m_dir + "/reader").constData(), sizeof address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                          ::write(fd, command.constData(), size_t(command.size())) == command.size();
        ::close(fd);
        return sent;
    }

    // One finger through fprintd's own client, a scan per stage once the previous one was taken.
    bool enroll()
    {
        QProcess client;
        dieWithTest(client);
        client.start("fprintd-enroll", {"-f", "right-index-finger"});
        QByteArray output;
        const bool enrolled = waitFor(
            [&] {
                output += client.readAllStandardOutput();
                if (output.contains("enroll-completed"))
                    return true;
                const qsizetype stages = output.count("Enroll result");
                scan("SCAN right-index-finger");
                waitFor(
                    [&] {
                        return (output += client.readAllStandardOutput()).count("Enroll result") > stages;
                    },
                    2000);
                return false;
            },
            60000);
        client.waitForFinished(10000);
        return enrolled;
    }

    QString m_dir;
    QProcess m_bus, m_polkit, m_fprintd, m_hung;
    std::optional<QDBusConnection> m_client;
};
} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QDir().mkpath(data.filePath("applications"));
    QFile entry(data.filePath("applications/vmbenchterm.desktop"));
    entry.open(QIODevice::WriteOnly);
    // With an icon, as real entries have: loading it is on the way to the shield.
    entry.write(
        "[Desktop Entry]\nType=Application\nName=Bench Terminal\nExec=xterm -class VmBenchTerm\nIcon=" +
        QByteArray(VEILMARK_SOURCE_DIR) + "/data/desktop/org.veilmark.Veilmark.svg\n");
    entry.close();

    QGuiApplication app(argc, argv);
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 200;

    QTemporaryDir busDir;
    FingerprintServices services(busDir.path());
    if (!services.startBus()) {
        std::fputs("the private system bus did not start\n", stderr);
        return 1;
    }
    Rig rig;
    // The desktop entry lives under /usr/... as far as the engine knows: only the screen is measured.
    rig.policy.addApp(
        {"vmbenchterm", "Bench Terminal", "/usr/share/applications/vmbenchterm.desktop", true, true});
    rig.engine.start();

    Watcher watcher;
    watcher.start();

    // Activation: the terminal runs, is locked, and is brought to the front again and again.
    const auto activation = [&](const std::string& mode) {
        QProcess terminal;
        terminal.start("xterm", {"-class", "VmBenchTerm", "-geometry", "80x20+50+50"});
        if (!waitFor([&] { return rig.workspace.runningApplications().contains("vmbenchterm"); }, 10000)) {
            std::printf("%s: the terminal never appeared\n", mode.c_str());
            return;
        }
        QProcess search;
        search.start("xdotool", {"search", "--class", "VmBenchTerm"});
        search.waitForFinished();
        const xcb_window_t window = search.readAllStandardOutput().trimmed().split('\n').first().toUInt();
        watcher.watch(window);
        std::vector<double> ms;
        int unobserved = 0;
        int fingerprintPrompts = 0;
        // Round 0 warms up.
        for (int round = 0; round <= rounds; ++round) {
            watcher.reset();
            watcher.shield =
                rig.display.windows().empty() ? 0 : xcb_window_t(rig.display.windows().front()->winId());
            watcher.activateTarget();
            const bool shown =
                waitFor([&] { return watcher.iconicAt && watcher.activeAt && rig.overlay.isShown(); });
            if (shown)
                waitFor([&] { return watcher.mappedAt != 0; });
            if (round > 0 && shown && watcher.mappedAt)
                ms.push_back(
                    msBetween(watcher.activeAt, std::max(watcher.iconicAt.load(), watcher.mappedAt.load())));
            else if (round > 0)
                ++unobserved;
            fingerprintPrompts += rig.prompt.isOpen && rig.prompt.mode == PresencePrompt::Mode::fingerprint;
            rig.cancel();
            waitFor(
                [&] { return rig.display.windows().empty() || !rig.display.windows().front()->isVisible(); },
                1000);
            // Let the focus settle where the window manager puts it after the hide.
            waitFor([] { return false; }, 250);
        }
        report(mode + ": active window reported -> all windows iconic and shield mapped", ms, unobserved);
        std::printf("%s: %d of %d prompts asked for the fingerprint\n", mode.c_str(), fingerprintPrompts,
                    rounds + 1);
        terminal.kill();
        terminal.waitForFinished();
    };

    // Launch: a protected terminal starts; from its window entering the client list to iconic.
    const auto launch = [&](const std::string& mode) {
        std::vector<double> ms;
        int unobserved = 0;
        for (int round = 0; round < 20; ++round) {
            waitFor([&] { return !rig.workspace.runningApplications().contains("vmbenchterm"); }, 3000);
            QThread::msleep(50);
            QCoreApplication::processEvents();
            watcher.reset();
            watcher.target = 0;
            watcher.followNewClients = true;
            QProcess fresh;
            fresh.start("xterm", {"-class", "VmBenchTerm", "-geometry", "80x20+50+50"});
            waitFor([&] { return rig.workspace.runningApplications().contains("vmbenchterm"); }, 10000);
            waitFor([&] { return watcher.iconicAt != 0; }, 2000);
            const int64_t listed = watcher.clientListAt;
            if (listed && watcher.iconicAt)
                ms.push_back(msBetween(listed, watcher.iconicAt));
            else
                ++unobserved;
            rig.cancel();
            fresh.kill();
            fresh.waitForFinished();
        }
        watcher.followNewClients = false;
        report(mode + ": window listed by the window manager -> iconic", ms, unobserved);
    };

    struct Mode
    {
        std::string name;
        std::function<bool()> begin;
        std::function<bool()> end;
    };
    const std::vector<Mode> modes{
        {"no fingerprint service", [] { return true; }, [] { return true; }},
        {"fingerprint service hung", [&] { return services.startHung(); },
         [&] { return services.stopHung(); }},
        {"fprintd, reader, enrolled finger", [&] { return services.startFprintd(); }, [] { return true; }},
    };
    for (const Mode& mode : modes) {
        if (!mode.begin()) {
            std::printf("%s: could not be set up\n", mode.name.c_str());
            return 1;
        }
        // The verifier learns what the bus now offers (a hung service: after its query timed out).
        rig.reader.refreshAvailability();
        waitFor([] { return false; }, 1500);
        std::printf("%s: reader %s, prints %s\n", mode.name.c_str(), rig.reader.hasDevice() ? "yes" : "no",
                    rig.reader.hasEnrolledPrints() ? "yes" : "no");
        std::fflush(stdout);
        activation(mode.name);
        launch(mode.name);
        std::fflush(stdout);
        if (!mode.end()) {
            std::printf("%s: could not be taken down\n", mode.name.c_str());
            return 1;
        }
    }

    watcher.stop = true;
    watcher.wait();
    return 0;
}
