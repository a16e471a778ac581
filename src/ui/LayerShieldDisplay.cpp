#include "LayerShieldDisplay.h"

#include "ShieldWindow.h"
#include "UiLogging.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QQuickRenderControl>
#include <QQuickRenderTarget>
#include <QRegion>
#include <QResizeEvent>

#include <algorithm>
#include <cstring>
#include <utility>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {
// Frames are drawn at most this often, whatever animates.
const int FrameIntervalMs = 16;

// The rows where `a` and `b` (of one size and format) differ, as full-width bands.
QRegion changedRows(const QImage& a, const QImage& b)
{
    QRegion changed;
    const qsizetype rowBytes = qsizetype(a.width()) * 4;
    int start = -1;
    for (int y = 0; y <= a.height(); ++y) {
        const bool differs =
            y < a.height() && std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(rowBytes)) != 0;
        if (differs && start < 0)
            start = y;
        if (!differs && start >= 0) {
            changed += QRect(0, start, a.width(), y - start);
            start = -1;
        }
    }
    return changed;
}
} // namespace

struct LayerShieldDisplay::Shield
{
    int surface = 0;
    // Declared before the view, so that the view goes first.
    std::unique_ptr<QQuickRenderControl> control;
    std::unique_ptr<ShieldWindow> window;
    // What the view is drawn into: the scene graph repaints only what changed since the last frame,
    // which the surface's two buffers do not both hold.
    QImage canvas;
    // The buffer presented last, which the compositor shows.
    const QImage* shown = nullptr;
    bool dirty = true;
};

LayerShieldDisplay::LayerShieldDisplay(std::unique_ptr<OverlaySurfaces> surfaces)
    : m_surfaces(std::move(surfaces))
    , m_context(std::make_unique<QObject>())
{
    m_surfaces->setObserver(this);
    m_frameTimer.setSingleShot(true);
    QObject::connect(&m_frameTimer, &QTimer::timeout, m_context.get(), [this] { drawFrames(); });
    m_sinceFrame.start();
}

LayerShieldDisplay::~LayerShieldDisplay()
{
    m_context.reset();
    m_frameTimer.stop();
    m_shields.clear();
    qDeleteAll(m_retired);
    m_surfaces->close();
    m_surfaces->setObserver(nullptr);
}

QColor LayerShieldDisplay::backdropColour()
{
    // ShieldView's layers over the view's black, without a picture: the material's tint, then the
    // darkening.
    QImage pixel(1, 1, QImage::Format_RGB32);
    pixel.fill(Qt::black);
    QPainter painter(&pixel);
    painter.fillRect(pixel.rect(), QColor::fromRgbF(0.08f, 0.08f, 0.10f, 0.55f));
    painter.fillRect(pixel.rect(), QColor::fromRgbF(0, 0, 0, 0.55f));
    painter.end();
    return pixel.pixelColor(0, 0);
}

QList<ShieldWindow*> LayerShieldDisplay::windows() const
{
    QList<ShieldWindow*> windows;
    for (const auto& shield : m_shields)
        windows.append(shield->window.get());
    return windows;
}

int LayerShieldDisplay::showWindows(ShieldModel& model)
{
    hideWindows();
    m_model = &model;
    // Shown again straight after being taken down (another protected application came to the
    // front): the surfaces that still cover every output stay, with no frame in between without them.
    const bool covering = std::exchange(m_closePending, false);
    const QList<int> surfaces = covering ? m_surfaces->surfaces() : m_surfaces->open();
    if (surfaces.isEmpty()) {
        qCWarning(lcUi) << "The shield cannot cover the screens:" << m_surfaces->problem();
        m_surfaces->close();
        return 0;
    }
    m_shown = true;
    // Every output covered first; the views, which take some milliseconds each, after.
    for (int surface : surfaces)
        showBackdrop(surface);
    for (int surface : surfaces)
        cover(surface);
    updatePromptPlace();
    focus(keyTarget());
    return int(m_shields.size());
}

void LayerShieldDisplay::showBackdrop(int surface)
{
    if (QImage* buffer = m_surfaces->buffer(surface)) {
        buffer->fill(backdropColour());
        m_surfaces->present(surface, QRect(QPoint(), buffer->size()));
    }
}

void LayerShieldDisplay::cover(int surface)
{
    auto shield = std::make_unique<Shield>();
    shield->surface = surface;
    const QSize size = m_surfaces->size(surface);
    shield->control = std::make_unique<QQuickRenderControl>();
    shield->window = std::make_unique<ShieldWindow>(shield->control.get(), *m_model);
    ShieldWindow* window = shield->window.get();
    window->setGeometry(QRect(QPoint(), size));
    // Only a hardware scene graph needs initialize(), and it would make a context for one.
    if (QQuickWindow::sceneGraphBackend() != QLatin1String("software") && !shield->control->initialize())
        qCWarning(lcUi)
            << "The shield's view cannot be drawn off screen; the surface shows its backdrop only";
    window->load(QImage());
    QQuickRenderControl* control = shield->control.get();
    Shield* raw = shield.get();
    const auto changed = [this, raw] {
        raw->dirty = true;
        scheduleFrames();
    };
    QObject::connect(control, &QQuickRenderControl::sceneChanged, m_context.get(), changed);
    QObject::connect(control, &QQuickRenderControl::renderRequested, m_context.get(), changed);
    QObject::connect(window, &ShieldWindow::promptChanged, m_context.get(), [this] { focus(keyTarget()); });
    m_shields.push_back(std::move(shield));
    window->setShown(true);
    scheduleFrames();
}

void LayerShieldDisplay::hideWindows()
{
    m_shown = false;
    m_frameTimer.stop();
    m_focused.clear();
    m_keySurface = -1;
    m_pointerSurface = -1;
    std::vector<std::unique_ptr<Shield>> shields;
    shields.swap(m_shields);
    for (std::unique_ptr<Shield>& shield : shields)
        retire(std::move(shield));
    // The surfaces go once control is back in the event loop, unless the shield is put up again
    // before: taking them down and making new ones would let the compositor show a frame between.
    if (m_closePending || m_surfaces->surfaces().isEmpty())
        return;
    m_closePending = true;
    QTimer::singleShot(0, m_context.get(), [this] {
        if (std::exchange(m_closePending, false))
            m_surfaces->close();
    });
}

void LayerShieldDisplay::activateWindows()
{
    // The overlay holds the keyboard as long as it is up; within Veilmark the keys go to one view.
    m_focused.clear();
    focus(keyTarget());
}

LayerShieldDisplay::Shield* LayerShieldDisplay::find(int surface) const
{
    for (const auto& shield : m_shields)
        if (shield->surface == surface)
            return shield.get();
    return nullptr;
}

void LayerShieldDisplay::scheduleFrames()
{
    if (!m_shown || m_frameTimer.isActive())
        return;
    m_frameTimer.start(int(std::max<qint64>(0, FrameIntervalMs - m_sinceFrame.elapsed())));
}

void LayerShieldDisplay::drawFrames()
{
    m_sinceFrame.restart();
    for (const auto& shield : m_shields)
        if (shield->dirty && draw(*shield))
            shield->dirty = false;
}

bool LayerShieldDisplay::draw(Shield& shield)
{
    QImage* buffer = m_surfaces->buffer(shield.surface);
    if (!buffer)
        return false;
    ShieldWindow& window = *shield.window;
    if (shield.canvas.size() != buffer->size()) {
        const QSize old = window.size();
        shield.canvas = QImage(buffer->size(), QImage::Format_RGB32);
        window.setGeometry(QRect(QPoint(), buffer->size()));
        // A window never shown gets no resize event from the window system.
        QResizeEvent resize(buffer->size(), old);
        QCoreApplication::sendEvent(&window, &resize);
        window.setRenderTarget(QQuickRenderTarget::fromPaintDevice(&shield.canvas));
        shield.shown = nullptr;
    }
    QQuickRenderControl& control = *shield.control;
    control.polishItems();
    control.beginFrame();
    control.sync();
    control.render();
    control.endFrame();
    // The compositor is told what changed since the frame it shows; the buffer, which holds an
    // older frame, gets the rows it lacks.
    const QRegion damage = shield.shown && shield.shown->size() == shield.canvas.size()
                               ? changedRows(shield.canvas, *shield.shown)
                               : QRegion(shield.canvas.rect());
    if (damage.isEmpty())
        return true;
    const QRegion stale = changedRows(shield.canvas, *buffer);
    const qsizetype rowBytes = qsizetype(shield.canvas.width()) * 4;
    for (const QRect& band : stale)
        for (int y = band.top(); y <= band.bottom(); ++y)
            std::memcpy(buffer->scanLine(y), shield.canvas.constScanLine(y), size_t(rowBytes));
    m_surfaces->present(shield.surface, damage);
    shield.shown = buffer;
    return true;
}

void LayerShieldDisplay::retire(std::unique_ptr<Shield> owned)
{
    Shield* shield = owned.release();
    QObject::disconnect(shield->control.get(), nullptr, m_context.get(), nullptr);
    QObject::disconnect(shield->window.get(), nullptr, m_context.get(), nullptr);
    // The prompt leaves it now; the view goes once control is back in the event loop, as its own
    // button may have taken the shield down.
    shield->window->setShown(false);
    m_retired.append(shield);
    QTimer::singleShot(0, m_context.get(), [this, shield] {
        m_retired.removeOne(shield);
        delete shield;
        if (!m_retired.isEmpty())
            return;
        QPixmapCache::clear();
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
    });
}

ShieldWindow* LayerShieldDisplay::keyTarget() const
{
    for (const auto& shield : m_shields)
        if (shield->window->prompt())
            return shield->window.get();
    if (const Shield* shield = find(m_keySurface))
        return shield->window.get();
    return m_shields.empty() ? nullptr : m_shields.front()->window.get();
}

void LayerShieldDisplay::focus(ShieldWindow* window)
{
    if (window == m_focused)
        return;
    if (m_focused) {
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QCoreApplication::sendEvent(m_focused.data(), &out);
    }
    m_focused = window;
    if (window) {
        QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QCoreApplication::sendEvent(window, &in);
    }
}

void LayerShieldDisplay::updatePromptPlace()
{
    const Shield* preferred = find(m_pointerSurface);
    if (!preferred && !m_shields.empty())
        preferred = m_shields.front().get();
    for (const auto& shield : m_shields)
        shield->window->setPrefersPrompt(shield.get() == preferred);
}

void LayerShieldDisplay::surfaceAdded(int surface)
{
    if (!m_shown)
        return;
    showBackdrop(surface);
    cover(surface);
    updatePromptPlace();
}

void LayerShieldDisplay::surfaceRemoved(int surface)
{
    const auto found = std::find_if(m_shields.begin(), m_shields.end(),
                                    [surface](const auto& shield) { return shield->surface == surface; });
    if (found == m_shields.end())
        return;
    std::unique_ptr<Shield> shield = std::move(*found);
    m_shields.erase(found);
    if (m_focused == shield->window.get())
        m_focused.clear();
    if (m_keySurface == surface)
        m_keySurface = -1;
    updatePromptPlace();
    retire(std::move(shield));
    if (m_shields.empty() && m_shown)
        qCWarning(lcUi) << "The shield has no surface left on any output";
    focus(keyTarget());
}

void LayerShieldDisplay::surfaceResized(int surface)
{
    if (Shield* shield = find(surface)) {
        shield->dirty = true;
        scheduleFrames();
    }
}

void LayerShieldDisplay::bufferReleased(int surface)
{
    if (Shield* shield = find(surface); shield && shield->dirty)
        scheduleFrames();
}

void LayerShieldDisplay::frameShown(int) {}

void LayerShieldDisplay::inputEvent(int surface, QEvent& event)
{
    ShieldWindow* target = nullptr;
    if (event.type() == QEvent::KeyPress || event.type() == QEvent::KeyRelease) {
        target = keyTarget();
        focus(target);
    } else if (const Shield* shield = find(surface)) {
        target = shield->window.get();
        // A click on a view gives it the keys, as it would a window, unless the prompt has them.
        if (event.type() == QEvent::MouseButtonPress && m_keySurface != surface) {
            m_keySurface = surface;
            focus(keyTarget());
        }
    }
    if (target)
        QCoreApplication::sendEvent(target, &event);
}

void LayerShieldDisplay::keyboardEntered(int surface)
{
    if (surface < 0)
        return;
    m_keySurface = surface;
    focus(keyTarget());
}

void LayerShieldDisplay::pointerEntered(int surface)
{
    if (surface < 0)
        return;
    m_pointerSurface = surface;
    updatePromptPlace();
}
