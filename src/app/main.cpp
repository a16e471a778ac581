#include "AppState.h"
#include "PresencePromptWindow.h"
#include "ShieldWindows.h"
#include "SignalHandler.h"
#include "SingleInstance.h"
#include "VeilmarkVersion.h"
#include "platform/linux/DesktopAppearance.h"
#include "platform/linux/FileSecretStore.h"
#include "platform/linux/FprintdVerifier.h"
#include "platform/linux/LibsecretStore.h"
#include "platform/linux/LinuxAuthenticator.h"
#include "platform/linux/LogindSystemEvents.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XdgAutostart.h"
#include "store/DataDirectory.h"

#include <QDir>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

#include <cstdio>
#include <memory>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)

namespace {
// Without OpenGL Qt Quick aborts; the software renderer draws every view, blur included,
// because blurs are computed on the CPU.
void chooseSceneGraphBackend()
{
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        return;
    QOpenGLContext context;
    QOffscreenSurface surface;
    surface.create();
    if (!context.create() || !surface.isValid() || !context.makeCurrent(&surface))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}
} // namespace

int main(int argc, char* argv[])
{
    // Qt aborts deep inside the platform plugin without a display; say it plainly instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("veilmark: no graphical display found (DISPLAY and WAYLAND_DISPLAY are unset); "
                   "start Veilmark inside a desktop session\n",
                   stderr);
        return 1;
    }

    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Veilmark"));
    QGuiApplication::setApplicationVersion(QStringLiteral(VEILMARK_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.veilmark.Veilmark"));
    // Closing the main window leaves Veilmark running in the tray.
    QGuiApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    if (!instance.claim())
        return 0;
    chooseSceneGraphBackend();

    SystemClock clock;
    PresencePromptWindow prompt;
    FprintdVerifier fingerprint;
    LinuxAuthenticator authenticator(prompt, fingerprint);
    std::unique_ptr<SecretStore> secrets;
    if (LibsecretStore::isAvailable())
        secrets = std::make_unique<LibsecretStore>();
    else
        secrets = std::make_unique<FileSecretStore>();
    X11Workspace workspace;
    ShieldWindows shield;
    LogindSystemEvents systemEvents;
    XdgAutostart loginItems(QStringLiteral("org.veilmark.Veilmark"), QCoreApplication::applicationFilePath());
    DesktopAppearance appearance;

    AppState state(PlatformServices{clock, authenticator, *secrets, workspace, shield, systemEvents, loginItems,
                                    appearance, QDir::homePath(), DataDirectory::path()});

    // Every way out (Quit, SIGTERM, SIGINT, SIGHUP, the session ending) passes here first.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &state, [&] {
        authenticator.cancelPrompt(Authenticator::Result::appCancel);
        state.relockEverything(QStringLiteral("App quit"));
    });
    SignalHandler signalHandler;
    QObject::connect(&signalHandler, &SignalHandler::quitRequested, &app, [] { QCoreApplication::quit(); });

    // Protection starts once the event loop runs.
    QTimer::singleShot(0, &state, [&state] { state.start(); });
    return QCoreApplication::exec();
}
