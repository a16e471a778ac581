#include "LayerShieldDisplay.h"
#include "MainWindow.h"
#include "PresencePromptWindow.h"
#include "ShieldWindows.h"
#include "UiShell.h"
#include "VeilmarkBuild.h"
#include "ViewContext.h"
#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/PolicyRelock.h"
#include "app/Translations.h"
#include "auth/AttemptBackoff.h"
#include "auth/PromptAuthenticator.h"
#include "io/DataDirectory.h"
#include "platform/linux/BusInstance.h"
#include "platform/linux/DesktopAppearance.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/linux/FileSecretStore.h"
#include "platform/linux/FprintdVerifier.h"
#include "platform/linux/Guardian.h"
#include "platform/linux/LibsecretStore.h"
#include "platform/linux/LogindSystemEvents.h"
#include "platform/linux/PamPasswordVerifier.h"
#include "platform/linux/SignalHandler.h"
#include "platform/linux/SingleInstance.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/VeilmarkBus.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XdgAutostart.h"
#include "platform/unsupported/UnsupportedShieldDisplay.h"
#include "platform/unsupported/UnsupportedWorkspace.h"
#include "platform/wayland/GnomeShellShieldKeeper.h"
#include "platform/wayland/GnomeShellWorkspace.h"
#include "platform/wayland/LayerShellSurfaces.h"
#include "platform/wayland/PlasmaWorkspace.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WlrWorkspace.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QTextStream>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

namespace {
// Whether OpenGL works and is drawn by a GPU; false without OpenGL or when it is emulated on
// the CPU (llvmpipe, softpipe). Needs a QGuiApplication.
bool hasHardwareOpenGL()
{
    QOpenGLContext context;
    QOffscreenSurface surface;
    surface.create();
    if (!context.create() || !surface.isValid() || !context.makeCurrent(&surface))
        return false;
    const auto* renderer = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    const QByteArray name = QByteArray(renderer ? renderer : "").toLower();
    context.doneCurrent();
    return !(name.contains("llvmpipe") || name.contains("softpipe") || name.contains("software rasterizer"));
}

// Without a GPU device node (DRM or NVIDIA's own) OpenGL can only be emulated on the CPU, and the
// question needs no driver loaded to answer.
bool hasGpuDevice()
{
    const QStringList dri = QDir(QStringLiteral("/dev/dri")).entryList(QDir::System | QDir::NoDotAndDotDot);
    return !dri.isEmpty() || QFile::exists(QStringLiteral("/dev/nvidia0"));
}

constexpr pid_t NoGpu = -2;

// The OpenGL question is asked in a child process, started before anything else so that it
// runs alongside start-up: loading a GL driver maps tens of MiB that would otherwise stay
// resident for the life of Veilmark even when the answer is "use the software renderer".
// Returns the child's id, NoGpu when there is nothing to ask, or -1 when the question is not asked
// that way. The child exits 0 for a GPU, 1 for none; anything else is a failed probe.
pid_t startRendererProbe(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        return -1;
    if (!hasGpuDevice())
        return NoGpu;
    const pid_t pid = fork();
    if (pid == 0) {
        QGuiApplication probe(argc, argv);
        std::fflush(stderr);
        _exit(hasHardwareOpenGL() ? 0 : 1);
    }
    if (pid < 0)
        std::fprintf(stderr, "veilmark: cannot start the OpenGL probe (%s); asking in this process\n",
                     std::strerror(errno));
    return pid;
}

// Without OpenGL Qt Quick aborts; the software renderer draws every view, blur included,
// because blurs are computed on the CPU. It is also chosen over OpenGL emulated on the CPU:
// for these flat views it shows the first frame sooner and keeps far less memory resident.
void chooseSceneGraphBackend(pid_t probe, bool offscreenShield)
{
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        return;
    // A shield drawn into shared memory for the compositor is drawn by the software renderer, and
    // Qt Quick has one renderer for all windows.
    if (offscreenShield) {
        if (probe > 0)
            waitpid(probe, nullptr, 0);
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        return;
    }
    bool hardware = false;
    int status = 0;
    pid_t waited = -1;
    while (probe > 0 && (waited = waitpid(probe, &status, 0)) < 0 && errno == EINTR) {
    }
    if (probe == NoGpu) {
        hardware = false;
    } else if (probe <= 0) {
        hardware = hasHardwareOpenGL();
    } else if (waited == probe && WIFEXITED(status) && WEXITSTATUS(status) <= 1) {
        hardware = WEXITSTATUS(status) == 0;
    } else {
        // A driver that crashed the probe would crash Veilmark too: the software renderer is safe.
        const QByteArray why =
            waited != probe ? QByteArray("could not be waited for: ") + std::strerror(errno)
            : WIFSIGNALED(status)
                ? QByteArray("was killed by signal ") + QByteArray::number(WTERMSIG(status)) + " (" +
                      strsignal(WTERMSIG(status)) + ")"
                : QByteArray("exited with status ") + QByteArray::number(WEXITSTATUS(status));
        std::fprintf(stderr, "veilmark: the OpenGL probe %s; using the software renderer\n", why.constData());
    }
    if (!hardware)
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

// The window-system backend of this session: the one place that decides whether applications can
// be watched and hidden, and how. X11 sessions use X11. Under Wayland, Xwayland shows only the X
// clients, and hiding them protects nothing: Wayland sessions use what the compositor offers on a
// connection of Veilmark's own (wlroots' foreign toplevels or KWin's window management to watch and
// hide, the layer shell for the shield), or the unsupported backend, which says what is missing.
struct WindowSystem
{
    std::unique_ptr<WaylandConnection> wayland; // outlives everything built on it
    std::unique_ptr<ShieldKeeper> keeper;       // outlives the shield it keeps
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<ShieldDisplay> shield;
    // The shield is drawn off screen into the compositor's surfaces, by the software renderer.
    bool drawsOffscreen = false;
};

bool isWaylandSession()
{
    const QString session = qEnvironmentVariable("XDG_SESSION_TYPE");
    return session == QLatin1String("wayland") ||
           (session.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY") &&
            !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
}

// What keeps app protection off on this compositor, in the user's words; empty when nothing does.
QString waylandProblem(const WaylandConnection& wayland, bool canWatch)
{
    const auto offersPrefix = [&wayland](const char* prefix) {
        const QList<WaylandConnection::Global> globals = wayland.globals();
        return std::any_of(globals.cbegin(), globals.cend(),
                           [prefix](const WaylandConnection::Global& global) {
                               return global.interface.startsWith(prefix);
                           });
    };
    if (!wayland.isConnected())
        return QCoreApplication::translate(
                   "main", "App protection is off: Veilmark cannot connect to the Wayland compositor (%1).")
            .arg(wayland.problem());
    if (!canWatch && offersPrefix("org_kde_kwin"))
        return QCoreApplication::translate(
                   "main", "App protection is off: KWin shows its windows only to programs that an "
                           "installed desktop entry names, and none names %1. Start the installed "
                           "Veilmark; after installing it, log out and in once.")
            .arg(QCoreApplication::applicationFilePath());
    if (!canWatch)
        return QCoreApplication::translate(
            "main", "App protection is off: this compositor offers no way to watch and hide "
                    "other applications' windows.");
    if (wayland.offeredVersion("zwlr_layer_shell_v1") == 0)
        return QCoreApplication::translate(
            "main", "App protection is off: this compositor cannot keep Veilmark's shield "
                    "above other windows (it offers no layer shell).");
    return {};
}

WindowSystem chooseWindowSystem()
{
    WindowSystem chosen;
    QString problem;
    if (!isWaylandSession()) {
        auto x11 = std::make_unique<X11Workspace>();
        if (x11->isSupported()) {
            chosen.workspace = std::move(x11);
            chosen.shield = std::make_unique<ShieldWindows>();
            return chosen;
        }
        problem = QCoreApplication::translate(
            "main", "App protection is off: Veilmark cannot connect to the X server.");
    } else {
        chosen.wayland = std::make_unique<WaylandConnection>();
        WaylandConnection& wayland = *chosen.wayland;
        if (WlrWorkspace::isOffered(wayland))
            chosen.workspace = std::make_unique<WlrWorkspace>(wayland);
        else if (PlasmaWorkspace::isOffered(wayland))
            chosen.workspace = std::make_unique<PlasmaWorkspace>(wayland);
        else if (GnomeShellWorkspace::isGnomeShell()) {
            // GNOME Shell: Veilmark's extension watches and hides, and keeps Veilmark's own shield
            // windows above. Kept when unsupported too: it says what is missing and can turn its
            // extension on.
            auto gnome = std::make_unique<GnomeShellWorkspace>();
            if (gnome->isSupported()) {
                chosen.keeper = std::make_unique<GnomeShellShieldKeeper>();
                chosen.shield = std::make_unique<ShieldWindows>(chosen.keeper.get());
            } else {
                std::fprintf(stderr, "veilmark: %s\n", qPrintable(gnome->unsupportedReason()));
                chosen.shield = std::make_unique<UnsupportedShieldDisplay>();
            }
            chosen.workspace = std::move(gnome);
            return chosen;
        }
        problem = waylandProblem(wayland, chosen.workspace && chosen.workspace->isSupported());
        if (problem.isEmpty()) {
            chosen.shield =
                std::make_unique<LayerShieldDisplay>(std::make_unique<LayerShellSurfaces>(wayland));
            chosen.drawsOffscreen = true;
            return chosen;
        }
    }
    std::fprintf(stderr, "veilmark: %s\n", qPrintable(problem));
    chosen.workspace = std::make_unique<UnsupportedWorkspace>(problem);
    chosen.shield = std::make_unique<UnsupportedShieldDisplay>();
    return chosen;
}

// Resident memory of this process in MiB (VmRSS, or another field of /proc/self/status).
double residentMiB(const QByteArray& field = QByteArrayLiteral("VmRSS:"))
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// Milliseconds since the kernel started this process (its start time in /proc/self/stat, counted in
// clock ticks since boot, so to 10 ms): what a user waits for includes loading the libraries, which
// happens before main.
double millisecondsSinceProcessStart()
{
    QFile file(QStringLiteral("/proc/self/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // The command name in parentheses may hold spaces; the fields after it start at field 3.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    constexpr int startTimeField = 22 - 3;
    timespec now{};
    if (fields.size() <= startTimeField || clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return -1;
    const double ticksPerSecond = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 -
            fields.at(startTimeField).toDouble() / ticksPerSecond) *
           1000.0;
}

void printMemory(const char* what)
{
    std::fprintf(stderr, "veilmark: resident memory %s: %.1f MiB (anonymous %.1f, files %.1f)\n", what,
                 residentMiB(), residentMiB("RssAnon:"), residentMiB("RssFile:"));
}

// VEILMARK_MEASURE=1: prints the time from the process's start to the main window's first frame, the
// resident memory with the window open and, after closing it, with only the tray; then quits.
// Started with --background it prints the memory of the tray alone, once start-up has settled.
void measure(UiShell& shell, const QElapsedTimer& sinceMain, bool background)
{
    constexpr int settle = 1500;
    if (background) {
        QTimer::singleShot(2 * settle, &shell, [] {
            printMemory("with only the tray, started in the background");
            QCoreApplication::quit();
        });
        return;
    }
    QObject::connect(&shell, &UiShell::mainWindowShown, &shell, [&shell, &sinceMain] {
        std::fprintf(stderr,
                     "veilmark: first frame after %.0f ms from the process's start (%lld ms from main)\n",
                     millisecondsSinceProcessStart(), static_cast<long long>(sinceMain.elapsed()));
        QTimer::singleShot(settle, &shell, [&shell] {
            printMemory("with the window open");
            if (shell.mainWindow())
                shell.mainWindow()->close();
            QTimer::singleShot(settle, &shell, [] {
                printMemory("with only the tray, after closing the window");
                QCoreApplication::quit();
            });
        });
    });
}

// The guardian process (see Guardian): nothing but a wait, and at Veilmark's unclean end a relock from
// the stored policy, recorded in the activity log. No display, no bus.
int runGuardian(int argc, char* argv[])
{
    return Guardian::run(argc, argv, [argc, argv](Guardian::End end) mutable {
        // Made only now, with Veilmark gone: the record is written in the session's language.
        QCoreApplication app(argc, argv);
        Translations::install();
        const QString cause = Guardian::cause(end);
        EventLog log;
        const PolicyRelock::Result result =
            PolicyRelock::run(log, QDir::homePath(), DataDirectory::path(), cause);
        std::fprintf(stderr, "veilmark: guardian: %s; relocked %lld, failed %lld\n", qPrintable(cause),
                     static_cast<long long>(result.relocked.size()),
                     static_cast<long long>(result.failed.size()));
    });
}

// A verb (--lock-all, --status, --help, --version) needs no display: it asks the running instance,
// or works from the stored policy, and ends.
int runCommandLine(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Translations::install();
    QCoreApplication::setApplicationVersion(QStringLiteral(VEILMARK_VERSION));
    QTextStream out(stdout), err(stderr);
    BusInstance instance;
    return CommandLine::run(QCoreApplication::arguments(), instance, out, err, QDir::homePath(),
                            DataDirectory::path());
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc >= 2 && std::strcmp(argv[1], Guardian::Argument) == 0)
        return runGuardian(argc, argv);
    if (CommandLine::isVerb(argc, argv))
        return runCommandLine(argc, argv);
    QElapsedTimer sinceStart;
    sinceStart.start();
    // Qt aborts deep inside the platform plugin without a display; say it plainly instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("veilmark: no graphical display found (DISPLAY and WAYLAND_DISPLAY are unset); "
                   "start Veilmark inside a desktop session\n",
                   stderr);
        return 1;
    }

    const pid_t rendererProbe = startRendererProbe(argc, argv);
    // QApplication rather than QGuiApplication: the tray icon is a Qt Widgets class.
    QApplication app(argc, argv);
    Translations::install();
    QGuiApplication::setApplicationName(QStringLiteral("Veilmark"));
    QGuiApplication::setApplicationVersion(QStringLiteral(VEILMARK_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(VEILMARK_APP_ID));
    // Closing the main window leaves Veilmark running in the tray.
    QGuiApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    // Started at login, Veilmark protects from the tray without opening its window.
    const bool background = QCoreApplication::arguments().contains(QStringLiteral("--background"));
    const SingleInstance::Claim claim = instance.claim(!background);
    if (claim == SingleInstance::Claim::handedOver) {
        if (rendererProbe > 0)
            waitpid(rendererProbe, nullptr, 0);
        return 0;
    }
    if (!instance.problem().isEmpty())
        std::fprintf(stderr, "veilmark: %s\n", qPrintable(instance.problem()));
    // Before anything is unlocked: from here on, an end without the quit path is relocked by the guardian.
    Guardian guardian;
    const std::optional<QString> guardianError = guardian.start();
    if (guardianError)
        std::fprintf(stderr, "veilmark: no guardian: %s\n", qPrintable(*guardianError));

    SystemClock clock;
    PresencePromptWindow prompt;
    FprintdVerifier fingerprint;
    PamPasswordVerifier password;
    AttemptBackoff backoff(clock, DataDirectory::filePath(QStringLiteral("attempts.json")));
    PromptAuthenticator authenticator(prompt, fingerprint, password, backoff);
    std::unique_ptr<SecretStore> secrets;
    if (LibsecretStore::isAvailable())
        secrets = std::make_unique<LibsecretStore>();
    else
        secrets = std::make_unique<FileSecretStore>();
    // KWin reads the executable of a client when it connects, to grant its window management; an
    // undumpable process hides it, so the compositor connection comes first.
    const WindowSystem windowSystem = chooseWindowSystem();
    // No core dumps and no ptrace by other processes of the user: typed passwords pass through
    // this process's memory. Nothing has been typed yet: the event loop has not run.
    prctl(PR_SET_DUMPABLE, 0);
    DesktopEntryIndex installedApps;
    LogindSystemEvents systemEvents;
    XdgAutostart loginItems(QStringLiteral(VEILMARK_APP_ID), QCoreApplication::applicationFilePath());
    DesktopAppearance appearance;

    AppState state(PlatformServices{clock, authenticator, *secrets, *windowSystem.workspace,
                                    *windowSystem.shield, installedApps, systemEvents, loginItems, appearance,
                                    QDir::homePath(), DataDirectory::path()});
    // The prompt's own window shows the icon of the app or folder that a reason names.
    prompt.setSubjects(state.policy(), &installedApps);

    // Every way out (Quit, SIGTERM, SIGINT, SIGHUP, the session ending) passes here first.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &state, [&] {
        authenticator.cancelPrompt(Authenticator::Result::appCancel);
        state.relockEverything(QCoreApplication::translate("main", "App quit"));
        // The relock saves only what it changed; a policy whose last save failed is tried once more.
        state.policy()->savePending();
        guardian.sayGoodbye();
    });
    SignalHandler signalHandler;
    QObject::connect(&signalHandler, &SignalHandler::quitRequested, &app, [] { QCoreApplication::quit(); });
    QObject::connect(&systemEvents, &SystemEvents::sessionEnding, &app, [] { QCoreApplication::quit(); });
    // What went wrong before the log existed is recorded once it does.
    if (!instance.problem().isEmpty())
        state.log()->record(LogEventKind::error,
                            QCoreApplication::translate("main", "Running without the single-instance name"),
                            instance.problem());
    if (guardianError)
        state.log()->record(LogEventKind::error, QCoreApplication::translate("main", "Guardian not started"),
                            QCoreApplication::translate("main", "%1 — after a SIGKILL, unlocked folders stay "
                                                                "open until Veilmark starts again")
                                .arg(*guardianError));
    QObject::connect(&guardian, &Guardian::lost, &state, [&state](const QString& why) {
        state.log()->record(LogEventKind::error, QCoreApplication::translate("main", "Guardian ended"),
                            QCoreApplication::translate("main", "%1 — after a SIGKILL, unlocked folders stay "
                                                                "open until Veilmark starts again")
                                .arg(why));
    });

    // As late as possible, so the probe runs alongside the start-up above; before the first window.
    chooseSceneGraphBackend(rendererProbe, windowSystem.drawsOffscreen);
    ViewContext viewContext(state, QDir::homePath());
    UiShell shell(viewContext);
    QObject::connect(&instance, &SingleInstance::activationRequested, &shell, &UiShell::showMainWindow);
    VeilmarkBus busInterface(instance, state);
    if (qEnvironmentVariableIntValue("VEILMARK_MEASURE") == 1)
        measure(shell, sinceStart, background);
    if (background)
        shell.showTrayIcon();
    else
        shell.showMainWindow();

    // Protection starts once the event loop runs.
    QTimer::singleShot(0, &state, [&state] { state.start(); });
    return QCoreApplication::exec();
}
