#include "BenchSupport.h"
#include "LayerShieldDisplay.h"
#include "OverlaySurfaces.h"
#include "PresencePromptWindow.h"
#include "ProcessMemory.h"
#include "apps/ShieldModel.h"
#include "platform/wayland/LayerShellSurfaces.h"
#include "platform/wayland/WaylandConnection.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHash>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

// What the shield on the overlay layer costs: from showWindows() to the backdrop committed on
// every output, to the compositor's frame done for it, and to the first frame of the views (with
// the prompt open in one card) committed; then the resident memory once the shield is down, after
// the first cycle and every hundredth. Run under tests/wayland/sway-session.sh (or kwin-session.sh);
// argument: the number of cycles (300).
namespace {
// The real surfaces, with the time of each surface's presents and frames since the cycle began.
class TimedSurfaces : public OverlaySurfaces, private OverlaySurfaces::Observer
{
public:
    explicit TimedSurfaces(WaylandConnection& connection)
        : m_inner(connection)
    {
        m_inner.setObserver(this);
    }

    struct Stamps
    {
        std::vector<double> presented; // ms since begin(), one per present
        double firstFrameShown = -1;
    };

    void begin()
    {
        m_stamps.clear();
        m_clock.start();
    }
    const QHash<int, Stamps>& stamps() const { return m_stamps; }

    void setObserver(OverlaySurfaces::Observer* observer) override { m_outer = observer; }
    QList<int> open() override { return m_inner.open(); }
    void close() override { m_inner.close(); }
    QList<int> surfaces() const override { return m_inner.surfaces(); }
    QSize size(int surface) const override { return m_inner.size(surface); }
    QImage* buffer(int surface) override { return m_inner.buffer(surface); }
    void present(int surface, const QRegion& damage) override
    {
        m_inner.present(surface, damage);
        m_stamps[surface].presented.push_back(now());
    }
    QString problem() const override { return m_inner.problem(); }

private:
    double now() const { return double(m_clock.nsecsElapsed()) / 1e6; }

    void surfaceAdded(int surface) override { m_outer->surfaceAdded(surface); }
    void surfaceRemoved(int surface) override { m_outer->surfaceRemoved(surface); }
    void surfaceResized(int surface) override { m_outer->surfaceResized(surface); }
    void bufferReleased(int surface) override { m_outer->bufferReleased(surface); }
    void frameShown(int surface) override
    {
        if (Stamps& stamps = m_stamps[surface]; stamps.firstFrameShown < 0)
            stamps.firstFrameShown = now();
        m_outer->frameShown(surface);
    }
    void inputEvent(int surface, QEvent& event) override { m_outer->inputEvent(surface, event); }
    void keyboardEntered(int surface) override { m_outer->keyboardEntered(surface); }
    void pointerEntered(int surface) override { m_outer->pointerEntered(surface); }

    LayerShellSurfaces m_inner;
    OverlaySurfaces::Observer* m_outer = nullptr;
    QElapsedTimer m_clock;
    QHash<int, Stamps> m_stamps;
};

void printMemory(const char* when)
{
    std::printf("%-30s resident %.1f MiB (anonymous %.1f)\n", when, statusMiB("VmRSS:"),
                statusMiB("RssAnon:"));
}
} // namespace

int main(int argc, char* argv[])
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    const int cycles = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 300;
    WaylandConnection connection;
    auto owned = std::make_unique<TimedSurfaces>(connection);
    TimedSurfaces& surfaces = *owned;
    if (!surfaces.problem().isEmpty()) {
        std::fprintf(stderr, "no overlay surfaces: %s\n", qPrintable(surfaces.problem()));
        return 1;
    }
    LayerShieldDisplay display(std::move(owned));
    ShieldModel model;
    model.setApp(QStringLiteral("Bench App"), {});
    model.setStatus(QStringLiteral("Locked"), false, false);
    PresencePromptWindow prompt;
    std::vector<double> returned, committed, shown, drawn;
    int outputs = 0;
    int incomplete = 0;
    printMemory("before the first shield:");
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        surfaces.begin();
        QElapsedTimer call;
        call.start();
        outputs = display.showWindows(model);
        returned.push_back(double(call.nsecsElapsed()) / 1e6);
        prompt.open(PresencePrompt::Mode::password, QStringLiteral("unlock Bench App"));
        // Every output: the backdrop's frame shown, and the view's first frame committed.
        const auto complete = [&] {
            const auto& stamps = surfaces.stamps();
            return stamps.size() == outputs && std::all_of(stamps.cbegin(), stamps.cend(), [](const auto& s) {
                       return s.presented.size() >= 2 && s.firstFrameShown >= 0;
                   });
        };
        if (!spin(3000, complete)) {
            ++incomplete;
        } else {
            double tint = 0, frame = 0, view = 0;
            for (const auto& stamps : surfaces.stamps()) {
                tint = std::max(tint, stamps.presented[0]);
                frame = std::max(frame, stamps.firstFrameShown);
                view = std::max(view, stamps.presented[1]);
            }
            committed.push_back(tint);
            shown.push_back(frame);
            drawn.push_back(view);
        }
        prompt.close();
        display.hideWindows();
        spin(20);
        if (cycle == 1 || cycle % 100 == 0)
            printMemory(qPrintable(QStringLiteral("after cycle %1:").arg(cycle)));
    }
    std::printf("%d cycles over %d outputs, %d incomplete\n", cycles, outputs, incomplete);
    if (committed.empty())
        return 1;
    report("showWindows() to backdrop committed on every output:", committed);
    report("showWindows() to the compositor's frame done on every one:", shown);
    report("showWindows() call (views made):", returned);
    report("showWindows() to the views' first frame committed:", drawn);
    return incomplete ? 1 : 0;
}
