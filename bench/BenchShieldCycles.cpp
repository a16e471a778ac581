#include "BenchSupport.h"
#include "PresencePromptWindow.h"
#include "ProcessMemory.h"
#include "ShieldWindows.h"
#include "apps/OverlayManager.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

// What the shield costs in memory once it has gone: the real shield windows with their QML put up
// over every screen, the prompt opened in them and drawn, then everything taken down again, many
// times over. Prints the resident memory after the first cycle, every 100 cycles and at the end;
// it must come back down after each cycle and not grow. Run under tests/xvfb-session.sh. Drawn by
// Qt Quick's software renderer, as Veilmark does without a GPU (QT_QUICK_BACKEND overrides it).
namespace {
void printMemory(const char* when, int cycle)
{
    std::printf("%s %4d: resident %.1f MiB (anonymous %.1f, files %.1f)\n", when, cycle, statusMiB("VmRSS:"),
                statusMiB("RssAnon:"), statusMiB("RssFile:"));
    std::fflush(stdout);
}

// Waits until every visible Qt Quick window has drawn a frame after now.
bool drawn()
{
    std::vector<QQuickWindow*> windows;
    for (QWindow* window : QGuiApplication::topLevelWindows())
        if (auto* quick = qobject_cast<QQuickWindow*>(window); quick && quick->isVisible())
            windows.push_back(quick);
    int frames = 0;
    QObject context;
    for (QQuickWindow* window : windows) {
        QObject::connect(
            window, &QQuickWindow::frameSwapped, &context, [&frames] { ++frames; }, Qt::SingleShotConnection);
        window->update();
    }
    return !windows.empty() && spin(3000, [&] { return frames >= int(windows.size()); });
}

QImage appIcon()
{
    QImage icon(128, 128, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setBrush(QColor(0xe6, 0x60, 0x00));
    painter.drawEllipse(icon.rect().adjusted(8, 8, -8, -8));
    return icon;
}
} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    const int cycles = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 1000;

    ShieldWindows display;
    OverlayManager overlay(display);
    PresencePromptWindow prompt;
    const QImage icon = appIcon();
    printMemory("before the first shield, cycle", 0);
    std::vector<double> upMs;
    int undrawn = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        QElapsedTimer up;
        up.start();
        overlay.show(QStringLiteral("Bench App"), icon, QStringLiteral("Fingerprint"), {}, {}, {});
        prompt.open(PresencePrompt::Mode::fingerprint, QStringLiteral("unlock Bench App"));
        prompt.setStatus(QStringLiteral("Place your finger on the reader"), false);
        undrawn += !drawn();
        upMs.push_back(double(up.nsecsElapsed()) / 1e6);
        prompt.close();
        overlay.hide();
        // Teardown finishes in the event loop: deferred deletions, then the trim after them.
        spin(30);
        if (cycle == 1 || cycle % 100 == 0 || cycle == cycles)
            printMemory("after cycle", cycle);
    }
    std::sort(upMs.begin(), upMs.end());
    std::printf("shield up to first frame (with the prompt): median %.1f ms, p90 %.1f ms, max %.1f ms; "
                "%d cycles not drawn%s\n",
                upMs[upMs.size() / 2], upMs[upMs.size() * 9 / 10], upMs.back(), undrawn,
                undrawn ? " (FAILED)" : "");
    return undrawn ? 1 : 0;
}
