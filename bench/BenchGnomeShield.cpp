#include "ScriptedServices.h"
#include "ShieldWindows.h"
#include "WaylandBench.h"
#include "apps/AppProtectionEngine.h"
#include "apps/OverlayManager.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/wayland/GnomeShellShieldKeeper.h"
#include "platform/wayland/GnomeShellWorkspace.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <unistd.h>
#include <vector>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

// How fast a protected application goes behind the shield on GNOME Shell, through Veilmark's
// extension. Run under tests/wayland/gnome-session.sh. A watcher on a bus connection and thread of
// its own stamps, on arrival, the extension reporting the protected window focused (the
// activation) and then one of this process's windows focused: the shield is on screen and holds
// the keyboard. The same-run reference is the watcher's own round trip to the extension.
namespace {
using namespace WaylandBench;

const QString Service = GnomeShellWorkspace::ServiceName;
const QString Path = QStringLiteral("/org/veilmark/Shell");
const QString Interface = QStringLiteral("org.veilmark.Shell1");

class Watcher : public QObject
{
    Q_OBJECT

public:
    explicit Watcher(QString appId)
        : m_appId(std::move(appId))
    {}

    // On the watcher's thread: a connection of its own, the windows listed, the signals followed.
    void start()
    {
        m_bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("bench-watcher")));
        for (const char* signal : {"WindowAdded", "WindowChanged"})
            m_bus->connect(Service, Path, Interface, signal, this, SLOT(listed(QDBusMessage)));
        m_bus->connect(Service, Path, Interface, QStringLiteral("WindowFocused"), this,
                       SLOT(focused(quint64)));
        const QDBusMessage reply = call(QStringLiteral("ListWindows"), {});
        const QDBusArgument windows = reply.arguments().value(0).value<QDBusArgument>();
        windows.beginArray();
        while (!windows.atEnd())
            note(windows);
        windows.endArray();
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, Interface, method);
        message.setArguments(arguments);
        return m_bus->call(message, QDBus::Block, 5000);
    }

    // Thread-safe: what the main thread reads and asks for.
    void arm()
    {
        const std::lock_guard lock(m_mutex);
        m_activated.reset();
        m_hidden.reset();
        m_shown.reset();
    }
    std::optional<SteadyClock::time_point> activated()
    {
        const std::lock_guard lock(m_mutex);
        return m_activated;
    }
    std::optional<SteadyClock::time_point> hidden()
    {
        const std::lock_guard lock(m_mutex);
        return m_hidden;
    }
    std::optional<SteadyClock::time_point> shown()
    {
        const std::lock_guard lock(m_mutex);
        return m_shown;
    }
    quint64 windowOf(const QString& appId)
    {
        const std::lock_guard lock(m_mutex);
        return m_byApp.value(appId);
    }

public slots:
    void listed(const QDBusMessage& message)
    {
        const QDBusArgument window = message.arguments().value(0).value<QDBusArgument>();
        note(window);
    }
    void focused(quint64 id)
    {
        const auto now = SteadyClock::now();
        const std::lock_guard lock(m_mutex);
        if (id != 0 && id == m_byApp.value(m_appId) && !m_activated)
            m_activated = now;
        else if (m_activated && !m_shown && m_pids.value(id) == quint32(getpid()))
            m_shown = now;
    }
    double roundTripMs()
    {
        const auto before = SteadyClock::now();
        call(QStringLiteral("ListWindows"), {});
        return ms(SteadyClock::now() - before);
    }

private:
    void note(const QDBusArgument& argument)
    {
        quint64 id = 0;
        QString appId;
        quint32 pid = 0;
        bool focus = false, minimized = false;
        argument.beginStructure();
        argument >> id >> appId >> pid >> focus >> minimized;
        argument.endStructure();
        const auto now = SteadyClock::now();
        const std::lock_guard lock(m_mutex);
        if (minimized && m_activated && !m_hidden && id == m_byApp.value(m_appId))
            m_hidden = now;
        m_pids.insert(id, pid);
        if (!appId.isEmpty())
            m_byApp.insert(appId, id);
    }

    QString m_appId;
    std::unique_ptr<QDBusConnection> m_bus;
    std::mutex m_mutex;
    QHash<quint64, quint32> m_pids;
    QHash<QString, quint64> m_byApp;
    std::optional<SteadyClock::time_point> m_activated, m_hidden, m_shown;
};

} // namespace

int main(int argc, char* argv[])
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    // Veilmark's own windows are not an application it protects, and the extension keeps only the
    // windows of the owner of Veilmark's name above.
    QGuiApplication::setDesktopFileName(AppProtectionEngine::OwnBundleID);
    const int cycles =
        qEnvironmentVariableIntValue("BENCH_CYCLES") > 0 ? qEnvironmentVariableIntValue("BENCH_CYCLES") : 200;
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    if (qEnvironmentVariable("VEILMARK_RIG") != "gnome" ||
        !QDBusConnection::sessionBus().registerService(AppProtectionEngine::OwnBundleID)) {
        std::fprintf(stderr, "BenchGnomeShield: run under tests/wayland/gnome-session.sh\n");
        return 1;
    }

    QThread thread;
    Watcher watcher(QStringLiteral("bench.protected"));
    watcher.moveToThread(&thread);
    thread.start();
    QMetaObject::invokeMethod(&watcher, &Watcher::start, Qt::BlockingQueuedConnection);

    ScriptedServices services;
    auto& [clock, authenticator, secrets, keychain, policy, log, sessions, auth] = services;
    GnomeShellWorkspace workspace;
    if (!workspace.isSupported()) {
        std::fprintf(stderr, "BenchGnomeShield: %s\n", qPrintable(workspace.unsupportedReason()));
        return 1;
    }
    DesktopEntryIndex installed;
    GnomeShellShieldKeeper keeper;
    ShieldWindows shield(&keeper);
    OverlayManager overlay(shield);
    AppProtectionEngine engine(policy, auth, sessions, overlay, log, workspace, installed);
    policy.addApp({"bench.protected", "Protected", QString(), true, true});
    engine.start();

    // Asked of the extension from the watcher's connection, without waiting for the answer here.
    const auto activate = [&](const char* appId) {
        const quint64 id = watcher.windowOf(QString::fromLatin1(appId));
        QMetaObject::invokeMethod(&watcher, [&watcher, id] {
            watcher.call(QStringLiteral("ActivateWindow"), {QVariant::fromValue(id)});
        });
    };

    QProcess* other = startClient("bench.other", "#2040ff");
    QProcess* protectedClient = startClient("bench.protected", "#ff2020");
    if (!spin(5000, [&] { return overlay.isShown(); })) {
        std::fprintf(stderr, "BenchGnomeShield: the protected client was never shielded\n");
        return 1;
    }
    std::vector<double> hidden, shown, reference;
    int missed = 0;
    for (int i = 0; i < cycles; ++i) {
        // Unlocked, then relocked by another window coming to the front: it is minimized, locked.
        authenticator.reply(Authenticator::Result::success);
        spin(5000, [&] { return !overlay.isShown() && sessions.isAppUnlocked("bench.protected"); });
        activate("bench.other");
        spin(5000, [&] { return !sessions.isAppUnlocked("bench.protected"); });
        spin(50); // the minimize settles
        watcher.arm();
        activate("bench.protected");
        if (!spin(5000, [&] { return watcher.shown().has_value(); })) {
            std::fprintf(stderr, "activation %d: no shield window took the focus (%s)\n", i,
                         watcher.activated() ? "activated" : "never activated");
            ++missed;
            spin(5000, [&] { return overlay.isShown(); });
        } else {
            shown.push_back(ms(*watcher.shown() - *watcher.activated()));
            if (watcher.hidden())
                hidden.push_back(ms(*watcher.hidden() - *watcher.activated()));
        }
        double roundTrip = 0;
        QMetaObject::invokeMethod(&watcher, &Watcher::roundTripMs, Qt::BlockingQueuedConnection, &roundTrip);
        reference.push_back(roundTrip);
    }

    QProcess version;
    version.start(QStringLiteral("gnome-shell"), {QStringLiteral("--version")});
    version.waitForFinished();
    std::printf("%s, headless, %d screens; shield through Veilmark's extension (%d cycles missed)\n",
                version.readAllStandardOutput().trimmed().constData(), int(QGuiApplication::screens().size()),
                missed);
    report("activation -> protected window minimized", hidden);
    report("activation -> shield on screen, holding the keyboard", shown);
    report("reference: D-Bus round trip to the extension", reference);
    protectedClient->kill();
    other->kill();
    protectedClient->waitForFinished();
    other->waitForFinished();
    thread.quit();
    thread.wait();
    return 0;
}

#include "BenchGnomeShield.moc"
