#include "ShieldWindow.h"
#include "X11ProtectionRig.h"

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
#include <xcb/xcb.h>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

// How fast a protected application goes behind the shield, as the X server reports it. A watcher
// on a connection of its own stamps three reports on arrival: _NET_ACTIVE_WINDOW naming the
// protected window, its WM_STATE turning Iconic, and the shield window being mapped. Run under
// tests/xvfb-session.sh (a private Xvfb with openbox).
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
                if (e->window == shield && !mappedAt)
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

void report(const char* what, std::vector<double> ms)
{
    if (ms.empty()) {
        std::printf("%s: no samples\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    std::printf("%s: n=%zu median %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.2f ms\n", what, ms.size(), at(0.5),
                at(0.9), at(0.99), ms.back());
}

double msBetween(int64_t from, int64_t to)
{
    return double(to - from) / 1e6;
}
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

    X11ProtectionRig rig;
    // The desktop entry lives under /usr/... as far as the engine knows: only the screen is measured.
    rig.policy.addApp(
        {"vmbenchterm", "Bench Terminal", "/usr/share/applications/vmbenchterm.desktop", true, true});
    rig.engine.start();

    Watcher watcher;
    watcher.start();

    // Activation: the terminal runs, is locked, and is brought to the front again and again.
    QProcess terminal;
    terminal.start("xterm", {"-class", "VmBenchTerm", "-geometry", "80x20+50+50"});
    if (!waitFor([&] { return rig.workspace.runningApplications().contains("vmbenchterm"); }, 10000)) {
        std::fputs("the terminal never appeared\n", stderr);
        return 1;
    }
    QProcess search;
    search.start("xdotool", {"search", "--class", "VmBenchTerm"});
    search.waitForFinished();
    const xcb_window_t window = search.readAllStandardOutput().trimmed().split('\n').first().toUInt();
    watcher.watch(window);
    // Warm up once so the shield windows exist; later rounds reuse them.
    std::vector<double> activation;
    for (int round = 0; round <= rounds; ++round) {
        watcher.reset();
        if (!rig.display.windows().empty())
            watcher.shield = xcb_window_t(rig.display.windows().front()->winId());
        watcher.activateTarget();
        const bool shown =
            waitFor([&] { return watcher.iconicAt && watcher.activeAt && rig.overlay.isShown(); });
        if (shown && watcher.shield)
            waitFor([&] { return watcher.mappedAt != 0; });
        if (shown && round > 0 && watcher.mappedAt)
            activation.push_back(
                msBetween(watcher.activeAt, std::max(watcher.iconicAt.load(), watcher.mappedAt.load())));
        rig.authenticator.reply(Authenticator::Result::userCancel);
        rig.overlay.model().cancel();
        waitFor([&] { return !rig.display.windows().empty() && !rig.display.windows().front()->isVisible(); },
                1000);
        // Let the focus settle where the window manager puts it after the hide.
        waitFor([] { return false; }, 250);
    }
    report("active window reported -> all windows iconic and shield mapped", activation);
    terminal.kill();
    terminal.waitForFinished();

    // Launch: a protected terminal starts; from its window entering the client list to iconic.
    std::vector<double> launch;
    for (int round = 0; round < 20; ++round) {
        waitFor([&] { return !rig.workspace.runningApplications().contains("vmbenchterm"); }, 3000);
        QThread::msleep(50);
        QCoreApplication::processEvents();
        watcher.reset();
        watcher.target = 0;
        watcher.followNewClients = true;
        QProcess fresh;
        fresh.start("xterm", {"-class", "VmBenchTerm", "-geometry", "80x20+50+50"});
        if (!waitFor([&] { return rig.workspace.runningApplications().contains("vmbenchterm"); }, 10000))
            break;
        waitFor([&] { return watcher.iconicAt != 0; }, 2000);
        const int64_t listed = watcher.clientListAt;
        if (listed && watcher.iconicAt)
            launch.push_back(msBetween(listed, watcher.iconicAt));
        rig.authenticator.reply(Authenticator::Result::userCancel);
        rig.overlay.model().cancel();
        fresh.kill();
        fresh.waitForFinished();
    }
    report("window listed by the window manager -> iconic", launch);

    watcher.stop = true;
    watcher.wait();
    return 0;
}
