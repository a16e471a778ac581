#include "LayerShieldDisplay.h"
#include "ScriptedServices.h"
#include "WaylandBench.h"
#include "apps/AppProtectionEngine.h"
#include "apps/OverlayManager.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/wayland/LayerShellSurfaces.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WlrWorkspace.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <thread>
#include <vector>
#include <wayland-client.h>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

// How fast a protected Wayland application goes behind the shield on a wlroots compositor. Run
// under tests/wayland/sway-session.sh. A watcher on a connection and thread of its own stamps, on
// arrival, the compositor reporting the protected window activated (or mapped, for a launch);
// Veilmark's shield stamps the moment its backdrop is committed on every output, the moment its
// views are made, and again once a round trip proves the compositor has taken the commits. The same-run
// reference is the watcher's own round trip to the compositor.
namespace {
using namespace WaylandBench;

// Reports on the wire as they arrive, on a thread of its own: when a window of `appId` is first
// seen, and when it is reported activated.
class Watcher
{
public:
    explicit Watcher(std::string appId)
        : m_appId(std::move(appId))
    {
        m_display = wl_display_connect(nullptr);
        wl_registry* registry = wl_display_get_registry(m_display);
        wl_registry_add_listener(registry, &registryListener, this);
        wl_display_roundtrip(m_display);
        m_thread = std::thread([this] { run(); });
    }
    ~Watcher()
    {
        m_stop = true;
        m_thread.join();
        wl_display_disconnect(m_display);
    }
    bool ready() const { return m_manager != nullptr; }

    // Arms the next stamps; they are taken once each.
    void arm()
    {
        std::lock_guard lock(m_mutex);
        m_mapped.reset();
        m_activated.reset();
    }
    std::optional<SteadyClock::time_point> mapped()
    {
        std::lock_guard lock(m_mutex);
        return m_mapped;
    }
    std::optional<SteadyClock::time_point> activated()
    {
        std::lock_guard lock(m_mutex);
        return m_activated;
    }
    // A round trip of the watcher's own, timed.
    double roundTripMs()
    {
        m_synced = false;
        const auto start = SteadyClock::now();
        {
            std::lock_guard lock(m_mutex);
            wl_callback* callback = wl_display_sync(m_display);
            wl_callback_add_listener(callback, &syncListener, this);
            wl_display_flush(m_display);
        }
        while (!m_synced)
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        return ms(m_syncedAt - start);
    }

private:
    struct Handle
    {
        std::string appId;
        bool active = false;
        bool seen = false;
    };

    void run()
    {
        pollfd fd{wl_display_get_fd(m_display), POLLIN, 0};
        while (!m_stop) {
            while (wl_display_prepare_read(m_display) != 0)
                wl_display_dispatch_pending(m_display);
            wl_display_flush(m_display);
            if (poll(&fd, 1, 20) > 0) {
                wl_display_read_events(m_display);
                std::lock_guard lock(m_mutex);
                wl_display_dispatch_pending(m_display);
            } else {
                wl_display_cancel_read(m_display);
            }
        }
    }

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
    {
        auto* self = static_cast<Watcher*>(data);
        if (std::string(interface) == zwlr_foreign_toplevel_manager_v1_interface.name) {
            self->m_manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
                wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface, 3));
            zwlr_foreign_toplevel_manager_v1_add_listener(self->m_manager, &managerListener, self);
        }
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                         zwlr_foreign_toplevel_handle_v1* handle)
    {
        auto* self = static_cast<Watcher*>(data);
        self->m_handles.emplace_back(handle, Handle{});
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, self);
    }
    static void finished(void*, zwlr_foreign_toplevel_manager_v1*) {}
    Handle& of(zwlr_foreign_toplevel_handle_v1* handle)
    {
        for (auto& [h, state] : m_handles)
            if (h == handle)
                return state;
        return m_handles.emplace_back(handle, Handle{}).second;
    }
    static void title(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
    static void appIdEvent(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* id)
    {
        static_cast<Watcher*>(data)->of(handle).appId = id;
    }
    static void output(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void state(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states)
    {
        bool active = false;
        const auto* values = static_cast<const uint32_t*>(states->data);
        for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i)
            active = active || values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        static_cast<Watcher*>(data)->of(handle).active = active;
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1* handle)
    {
        auto* self = static_cast<Watcher*>(data);
        Handle& h = self->of(handle);
        if (h.appId != self->m_appId)
            return;
        const auto now = SteadyClock::now();
        if (!h.seen && !self->m_mapped)
            self->m_mapped = now;
        h.seen = true;
        if (h.active && !self->m_activated)
            self->m_activated = now;
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1* handle)
    {
        auto* self = static_cast<Watcher*>(data);
        std::erase_if(self->m_handles, [handle](const auto& entry) { return entry.first == handle; });
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
    static void synced(void* data, wl_callback* callback, uint32_t)
    {
        auto* self = static_cast<Watcher*>(data);
        self->m_syncedAt = SteadyClock::now();
        self->m_synced = true;
        wl_callback_destroy(callback);
    }

    static constexpr wl_registry_listener registryListener{global, globalRemove};
    static constexpr zwlr_foreign_toplevel_manager_v1_listener managerListener{toplevel, finished};
    static constexpr zwlr_foreign_toplevel_handle_v1_listener handleListener{
        title, appIdEvent, output, output, state, done, closed, parent};
    static constexpr wl_callback_listener syncListener{synced};

    std::string m_appId;
    wl_display* m_display = nullptr;
    zwlr_foreign_toplevel_manager_v1* m_manager = nullptr;
    std::vector<std::pair<zwlr_foreign_toplevel_handle_v1*, Handle>> m_handles;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::optional<SteadyClock::time_point> m_mapped, m_activated;
    SteadyClock::time_point m_syncedAt;
    std::atomic<bool> m_synced{false};
};

// The compositor's surfaces, stamping the moment each of them was first presented since they were
// opened (the backdrop): the shield covers every output once all of them have been.
class StampedSurfaces : public OverlaySurfaces
{
public:
    explicit StampedSurfaces(std::unique_ptr<OverlaySurfaces> inner)
        : m_inner(std::move(inner))
    {}
    void setObserver(Observer* observer) override { m_inner->setObserver(observer); }
    QList<int> open() override
    {
        m_presented.clear();
        return m_inner->open();
    }
    void close() override { m_inner->close(); }
    QList<int> surfaces() const override { return m_inner->surfaces(); }
    QSize size(int surface) const override { return m_inner->size(surface); }
    QImage* buffer(int surface) override { return m_inner->buffer(surface); }
    void present(int surface, const QRegion& damage) override
    {
        m_inner->present(surface, damage);
        if (!m_presented.contains(surface)) {
            m_presented.insert(surface);
            if (m_presented.size() == m_inner->surfaces().size())
                allCovered = SteadyClock::now();
        }
    }
    QString problem() const override { return m_inner->problem(); }

    std::optional<SteadyClock::time_point> allCovered;

private:
    std::unique_ptr<OverlaySurfaces> m_inner;
    QSet<int> m_presented;
};

// Stamps the moment the shield's surfaces are committed (showWindows() returns) and the moment
// the compositor has them (a round trip after).
class StampedShield : public ShieldDisplay
{
public:
    StampedShield(ShieldDisplay& inner, WaylandConnection& connection)
        : m_inner(inner)
        , m_connection(connection)
    {}
    int showWindows(ShieldModel& model) override
    {
        entered = SteadyClock::now();
        const int count = m_inner.showWindows(model);
        committed = SteadyClock::now();
        m_connection.roundtrip();
        taken = SteadyClock::now();
        windows = count;
        return count;
    }
    void hideWindows() override { m_inner.hideWindows(); }
    void activateWindows() override { m_inner.activateWindows(); }

    std::optional<SteadyClock::time_point> entered, committed, taken;
    int windows = 0;

private:
    ShieldDisplay& m_inner;
    WaylandConnection& m_connection;
};

// Asks sway without blocking: the event loop goes on, as it would while the user switches.
void swaymsg(const QStringList& args)
{
    auto* process = new QProcess;
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->start(QStringLiteral("swaymsg"), args);
}
} // namespace

int main(int argc, char* argv[])
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    const int cycles =
        qEnvironmentVariableIntValue("BENCH_CYCLES") > 0 ? qEnvironmentVariableIntValue("BENCH_CYCLES") : 200;
    const int launches = std::max(20, cycles / 4);
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));

    Watcher watcher("bench.protected");
    WaylandConnection connection;
    if (!connection.isConnected() || !watcher.ready()) {
        std::fprintf(stderr, "BenchWaylandShield: run under tests/wayland/sway-session.sh\n");
        return 1;
    }
    ScriptedServices services;
    auto& [clock, authenticator, secrets, keychain, policy, log, sessions, auth] = services;
    WlrWorkspace workspace(connection);
    DesktopEntryIndex installed;
    auto stampedSurfaces =
        std::make_unique<StampedSurfaces>(std::make_unique<LayerShellSurfaces>(connection));
    StampedSurfaces& surfaces = *stampedSurfaces;
    LayerShieldDisplay layers(std::move(stampedSurfaces));
    StampedShield shield(layers, connection);
    OverlayManager overlay(shield);
    AppProtectionEngine engine(policy, auth, sessions, overlay, log, workspace, installed);
    policy.addApp({"bench.protected", "Protected", QString(), true, true});
    // Connected before the engine's own handlers, so it runs first: when Veilmark learns of it.
    std::optional<SteadyClock::time_point> notified;
    QObject::connect(&workspace, &Workspace::didActivate, [&notified] { notified = SteadyClock::now(); });
    engine.start();

    // Unlocked each time: the next cycle starts from an application that relocks when it leaves the
    // front (or quits), as it would in use. A cancelled prompt would leave it in front on sway,
    // which has no minimized state, and its shield would come straight back.
    const auto dismiss = [&] {
        authenticator.reply(Authenticator::Result::success);
        spin(5000, [&] { return !overlay.isShown(); });
    };

    // Launch → covered: a protected client started anew each time, shown on top of an ordinary one.
    QProcess* other = startClient("bench.other", "#2040ff");
    std::vector<double> launchCommitted, launchTaken, launchReference, launchCovered;
    for (int i = 0; i < launches; ++i) {
        watcher.arm();
        shield.committed.reset();
        QProcess* protectedClient = startClient("bench.protected", "#ff2020");
        if (!spin(5000, [&] { return shield.committed && watcher.mapped(); })) {
            std::fprintf(stderr, "launch %d: not covered (shield %s, committed %d, mapped %d, running %s)\n",
                         i, overlay.isShown() ? "up" : "down", bool(shield.committed), bool(watcher.mapped()),
                         qPrintable(workspace.runningApplications().join(',')));
        } else {
            launchCommitted.push_back(ms(*shield.committed - *watcher.mapped()));
            launchCovered.push_back(ms(*surfaces.allCovered - *watcher.mapped()));
            launchTaken.push_back(ms(*shield.taken - *watcher.mapped()));
        }
        launchReference.push_back(watcher.roundTripMs());
        dismiss();
        protectedClient->kill();
        protectedClient->waitForFinished();
        delete protectedClient;
        spin(5000, [&] { return !workspace.runningApplications().contains("bench.protected"); });
    }

    // Activation → covered: the running protected client brought to the front again and again.
    QProcess* protectedClient = startClient("bench.protected", "#ff2020");
    spin(5000, [&] { return overlay.isShown(); });
    dismiss();
    std::vector<double> activationCommitted, activationTaken, reference, notifiedAt, enteredAt,
        activationCovered;
    for (int i = 0; i < cycles; ++i) {
        swaymsg({"[app_id=\"bench.other\"]", "focus"});
        spin(5000, [&] { return !sessions.isAppUnlocked("bench.protected"); });
        watcher.arm();
        shield.committed.reset();
        swaymsg({"[app_id=\"bench.protected\"]", "focus"});
        if (!spin(5000, [&] { return shield.committed && watcher.activated(); })) {
            std::fprintf(stderr, "activation %d: not covered\n", i);
        } else {
            activationCommitted.push_back(ms(*shield.committed - *watcher.activated()));
            activationCovered.push_back(ms(*surfaces.allCovered - *watcher.activated()));
            notifiedAt.push_back(ms(*notified - *watcher.activated()));
            enteredAt.push_back(ms(*shield.entered - *watcher.activated()));
            activationTaken.push_back(ms(*shield.taken - *watcher.activated()));
        }
        reference.push_back(watcher.roundTripMs());
        dismiss();
    }

    std::printf("Wayland shield on %s, %d outputs covered\n",
                qPrintable(qEnvironmentVariable("VEILMARK_RIG")), shield.windows);
    report("launch (window mapped) -> backdrop committed on every output", launchCovered);
    report("launch (window mapped) -> shield views made (showWindows returns)", launchCommitted);
    report("launch (window mapped) -> compositor has the commits", launchTaken);
    report("reference: compositor round trip (during launches)", launchReference);
    report("activation -> Veilmark told (workspace signal)", notifiedAt);
    report("activation -> shield asked to go up", enteredAt);
    report("activation -> backdrop committed on every output", activationCovered);
    report("activation -> shield views made (showWindows returns)", activationCommitted);
    report("activation -> compositor has the commits", activationTaken);
    report("reference: compositor round trip", reference);
    protectedClient->kill();
    other->kill();
    protectedClient->waitForFinished();
    other->waitForFinished();
    return 0;
}
