#include "LayerShellSurfaces.h"

#include "WaylandConnection.h"
#include "XkbKeyboard.h"

#include <QImage>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QRegion>
#include <QWheelEvent>

#include <array>
#include <cerrno>
#include <cstring>
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wlr-layer-shell-unstable-v1-client-protocol.h>

namespace {
Q_LOGGING_CATEGORY(lcLayerShell, "veilmark.wayland.shield")

// wl_compositor 4 has damage_buffer; the layer shell 3 has destroy.
constexpr uint32_t CompositorVersion = 4;
constexpr uint32_t LayerShellVersion = 4;
// What the compositor and a pointer's wheel call one step: 10 units, 120 in Qt's angle delta.
constexpr double AngleDeltaPerUnit = 12.0;

Qt::MouseButton qtButton(uint32_t button)
{
    switch (button) {
    case BTN_LEFT:
        return Qt::LeftButton;
    case BTN_RIGHT:
        return Qt::RightButton;
    case BTN_MIDDLE:
        return Qt::MiddleButton;
    case BTN_SIDE:
        return Qt::BackButton;
    case BTN_EXTRA:
        return Qt::ForwardButton;
    default:
        return Qt::NoButton;
    }
}
} // namespace

struct LayerShellSurfaces::Buffer
{
    Surface* owner = nullptr;
    wl_buffer* buffer = nullptr;
    QImage image;
    bool busy = false;
};

struct LayerShellSurfaces::Surface
{
    LayerShellSurfaces* owner = nullptr;
    int id = 0;
    wl_output* output = nullptr;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    wl_callback* frame = nullptr;
    QSize size;
    bool configured = false;
    // Told to the observer (surfaceAdded, or returned by open()).
    bool announced = false;
    std::array<Buffer, 2> buffers;
    Buffer* drawn = nullptr;
    uchar* memory = nullptr;
    size_t memorySize = 0;
};

struct LayerShellSurfaces::Listeners
{
    static void configure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width,
                          uint32_t height)
    {
        auto* surface = static_cast<Surface*>(data);
        surface->owner->configure(*surface, serial, QSize(int(width), int(height)));
    }
    static void closed(void* data, zwlr_layer_surface_v1*)
    {
        auto* surface = static_cast<Surface*>(data);
        qCWarning(lcLayerShell) << "The compositor took down the shield's surface" << surface->id;
        surface->owner->removeSurface(surface);
    }
    static void released(void* data, wl_buffer*)
    {
        auto* buffer = static_cast<Buffer*>(data);
        buffer->busy = false;
        LayerShellSurfaces* owner = buffer->owner->owner;
        if (owner->m_observer && buffer->owner->announced)
            owner->m_observer->bufferReleased(buffer->owner->id);
    }
    static void frameDone(void* data, wl_callback* callback, uint32_t)
    {
        auto* surface = static_cast<Surface*>(data);
        wl_callback_destroy(callback);
        surface->frame = nullptr;
        if (surface->owner->m_observer && surface->announced)
            surface->owner->m_observer->frameShown(surface->id);
    }

    static void keymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size)
    {
        auto* self = static_cast<LayerShellSurfaces*>(data);
        if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
            ::close(fd);
            qCWarning(lcLayerShell) << "The compositor sent a keymap in an unknown format" << format;
            return;
        }
        if (!self->m_xkb->setKeymap(fd, size))
            qCWarning(lcLayerShell)
                << "The compositor's keymap could not be read; keys typed on the shield are lost";
    }
    static void keyboardEnter(void* data, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*)
    {
        auto* self = static_cast<LayerShellSurfaces*>(data);
        const Surface* entered = self->find(surface);
        self->m_keyboardSurface = entered ? entered->id : -1;
        if (self->m_observer)
            self->m_observer->keyboardEntered(self->m_keyboardSurface);
    }
    static void keyboardLeave(void* data, wl_keyboard*, uint32_t, wl_surface*)
    {
        auto* self = static_cast<LayerShellSurfaces*>(data);
        self->m_keyboardSurface = -1;
        self->m_repeat.stop();
        if (self->m_observer)
            self->m_observer->keyboardEntered(-1);
    }
    static void key(void* data, wl_keyboard*, uint32_t, uint32_t time, uint32_t key, uint32_t state)
    {
        auto* self = static_cast<LayerShellSurfaces*>(data);
        const bool pressed = state == WL_KEYBOARD_KEY_STATE_PRESSED;
        if (pressed && self->m_xkb->repeats(key) && self->m_repeatIntervalMs > 0) {
            self->m_repeatKey = key;
            self->m_repeat.start(self->m_repeatDelayMs);
        } else if (!pressed && key == self->m_repeatKey) {
            self->m_repeat.stop();
        }
        if (std::unique_ptr<QKeyEvent> event = self->m_xkb->event(key, pressed)) {
            event->setTimestamp(time);
            self->send(self->m_keyboardSurface, *event);
        }
    }
    static void modifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                          uint32_t locked, uint32_t group)
    {
        static_cast<LayerShellSurfaces*>(data)->m_xkb->setModifiers(depressed, latched, locked, group);
    }
    static void repeatInfo(void* data, wl_keyboard*, int32_t rate, int32_t delay)
    {
        auto* self = static_cast<LayerShellSurfaces*>(data);
        self->m_repeatIntervalMs = rate > 0 ? std::max(1, 1000 / rate) : 0;
        self->m_repeatDelayMs = std::max(0, delay);
    }

    static void pointerEnter(void* data, wl_pointer*, uint32_t, wl_surface* surface, wl_fixed_t x,
                             wl_fixed_t y)
    {
        auto* self = static_cast<LayerShellSurfaces*>(data);
        const Surface* entered = self->find(surface);
        self->m_pointerSurface = entered ? entered->id : -1;
        self->m_pointerPosition = QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y));
        self->m_buttons = Qt::NoButton;
        if (self->m_observer)
            self->m_observer->pointerEntered(self->m_pointerSurface);
        self->pointerMoved(0);
    }
    static void pointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*)
    {
        auto* self = static_cast<LayerShellSurfaces*>(data);
        self->m_pointerSurface = -1;
        self->m_buttons = Qt::NoButton;
        if (self->m_observer)
            self->m_observer->pointerEntered(-1);
    }
    static void motion(void* data, wl_pointer*, uint32_t time, wl_fixed_t x, wl_fixed_t y)
    {
        auto* self = static_cast<LayerShellSurfaces*>(data);
        self->m_pointerPosition = QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y));
        self->pointerMoved(time);
    }
    static void button(void* data, wl_pointer*, uint32_t, uint32_t time, uint32_t button, uint32_t state)
    {
        auto* self = static_cast<LayerShellSurfaces*>(data);
        const Qt::MouseButton which = qtButton(button);
        if (which == Qt::NoButton)
            return;
        const bool pressed = state == WL_POINTER_BUTTON_STATE_PRESSED;
        self->m_buttons.setFlag(which, pressed);
        QMouseEvent event(pressed ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease,
                          self->m_pointerPosition, self->m_pointerPosition, which, self->m_buttons,
                          self->m_xkb->modifiers());
        event.setTimestamp(time);
        self->send(self->m_pointerSurface, event);
    }
    static void axis(void* data, wl_pointer*, uint32_t time, uint32_t axis, wl_fixed_t value)
    {
        auto* self = static_cast<LayerShellSurfaces*>(data);
        const double units = wl_fixed_to_double(value);
        const QPoint angle = axis == WL_POINTER_AXIS_VERTICAL_SCROLL
                                 ? QPoint(0, int(-units * AngleDeltaPerUnit))
                                 : QPoint(int(-units * AngleDeltaPerUnit), 0);
        QWheelEvent event(self->m_pointerPosition, self->m_pointerPosition, QPoint(), angle, self->m_buttons,
                          self->m_xkb->modifiers(), Qt::NoScrollPhase, false);
        event.setTimestamp(time);
        self->send(self->m_pointerSurface, event);
    }
    static void frame(void*, wl_pointer*) {}
    static void axisSource(void*, wl_pointer*, uint32_t) {}
    static void axisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
    static void axisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}

    static constexpr zwlr_layer_surface_v1_listener layer{configure, closed};
    static constexpr wl_buffer_listener buffer{released};
    static constexpr wl_callback_listener callback{frameDone};
    static constexpr wl_keyboard_listener keyboard{keymap, keyboardEnter, keyboardLeave,
                                                   key,    modifiers,     repeatInfo};
    static constexpr wl_pointer_listener pointer{pointerEnter, pointerLeave, motion,   button,      axis,
                                                 frame,        axisSource,   axisStop, axisDiscrete};
};

LayerShellSurfaces::LayerShellSurfaces(WaylandConnection& connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_xkb(std::make_unique<XkbKeyboard>())
{
    m_repeat.setSingleShot(false);
    connect(&m_repeat, &QTimer::timeout, this, &LayerShellSurfaces::repeatKey);
    if (!connection.isConnected())
        return;
    m_queue = wl_display_create_queue(connection.display());
    m_compositor =
        connection.bind<wl_compositor>(&wl_compositor_interface, CompositorVersion, &m_compositorVersion);
    m_shm = connection.bind<wl_shm>(&wl_shm_interface, 1);
    m_shell = connection.bind<zwlr_layer_shell_v1>(&zwlr_layer_shell_v1_interface, LayerShellVersion,
                                                   &m_shellVersion);
    connect(&connection, &WaylandConnection::outputAdded, this, &LayerShellSurfaces::outputAdded);
    connect(&connection, &WaylandConnection::outputRemoved, this, &LayerShellSurfaces::outputRemoved);
    connect(&connection, &WaylandConnection::seatCapabilitiesChanged, this, [this] {
        if (m_open)
            updateDevices();
    });
    connect(&connection, &WaylandConnection::lost, this, [this](const QString& why) {
        // Nothing can be sent any more; what is left is only freed.
        if (m_open)
            qCWarning(lcLayerShell) << "The shield's surfaces are gone with the compositor's connection:"
                                    << why;
        m_open = false;
    });
}

LayerShellSurfaces::~LayerShellSurfaces()
{
    close();
    if (m_connection.isConnected()) {
        if (m_shell && m_shellVersion >= 3)
            zwlr_layer_shell_v1_destroy(m_shell);
        else if (m_shell)
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_shell));
        if (m_shm)
            wl_shm_destroy(m_shm);
        if (m_compositor)
            wl_compositor_destroy(m_compositor);
        m_connection.flush();
    }
    if (m_queue)
        wl_event_queue_destroy(m_queue);
}

QString LayerShellSurfaces::problem() const
{
    if (!m_connection.isConnected())
        return m_connection.problem();
    if (!m_shell)
        return tr("The compositor offers no overlay layer (zwlr_layer_shell_v1)");
    if (!m_compositor || !m_shm)
        return tr("The compositor offers no surfaces in shared memory");
    if (m_connection.outputs().isEmpty())
        return tr("The compositor has no outputs");
    return {};
}

QList<int> LayerShellSurfaces::open()
{
    if (m_open || !problem().isEmpty())
        return surfaces();
    m_open = true;
    m_opening = true;
    updateDevices();
    for (wl_output* output : m_connection.outputs())
        addSurface(output);
    // One roundtrip brings every first configure: sent in answer to the first commits.
    wl_display* display = m_connection.display();
    const auto waiting = [this] {
        return std::any_of(m_surfaces.cbegin(), m_surfaces.cend(),
                           [](const auto& s) { return !s->configured; });
    };
    for (int round = 0; round < 3 && m_open && waiting(); ++round)
        if (wl_display_roundtrip_queue(display, m_queue) < 0) {
            qCWarning(lcLayerShell) << "The connection to the compositor failed while the shield went up";
            break;
        }
    // What arrived after the answer, then everything back on the connection's queue.
    wl_display_dispatch_queue_pending(display, m_queue);
    m_opening = false;
    const auto rejoin = [](void* proxy) {
        if (proxy)
            wl_proxy_set_queue(static_cast<wl_proxy*>(proxy), nullptr);
    };
    rejoin(m_keyboard);
    rejoin(m_pointer);
    for (const auto& surface : m_surfaces) {
        rejoin(surface->surface);
        rejoin(surface->layer);
        for (const Buffer& buffer : surface->buffers)
            rejoin(buffer.buffer);
    }
    // The roundtrips read the events of the connection's queue too, which the socket no longer
    // announces: they are dispatched from the event loop.
    QMetaObject::invokeMethod(
        &m_connection,
        [connection = &m_connection] {
            if (connection->isConnected())
                wl_display_dispatch_pending(connection->display());
        },
        Qt::QueuedConnection);
    QList<int> ready;
    for (const auto& surface : m_surfaces)
        if (surface->configured) {
            surface->announced = true;
            ready.append(surface->id);
        }
    return ready;
}

void LayerShellSurfaces::close()
{
    m_open = false;
    m_repeat.stop();
    while (!m_surfaces.empty()) {
        destroySurface(m_surfaces.back().get());
        m_surfaces.pop_back();
    }
    releaseDevices();
    m_connection.flush();
}

QList<int> LayerShellSurfaces::surfaces() const
{
    QList<int> ids;
    for (const auto& surface : m_surfaces)
        if (surface->announced)
            ids.append(surface->id);
    return ids;
}

LayerShellSurfaces::Surface* LayerShellSurfaces::find(int id) const
{
    for (const auto& surface : m_surfaces)
        if (surface->id == id)
            return surface.get();
    return nullptr;
}

LayerShellSurfaces::Surface* LayerShellSurfaces::find(wl_surface* wayland) const
{
    for (const auto& surface : m_surfaces)
        if (wayland && surface->surface == wayland)
            return surface.get();
    return nullptr;
}

QSize LayerShellSurfaces::size(int id) const
{
    const Surface* surface = find(id);
    return surface ? surface->size : QSize();
}

void LayerShellSurfaces::addSurface(wl_output* output)
{
    auto owned = std::make_unique<Surface>();
    Surface& surface = *owned;
    surface.owner = this;
    surface.id = m_nextId++;
    surface.output = output;
    surface.surface = hold(wl_compositor_create_surface(m_compositor));
    surface.layer = hold(zwlr_layer_shell_v1_get_layer_surface(
        m_shell, surface.surface, output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "veilmark-shield"));
    zwlr_layer_surface_v1_add_listener(surface.layer, &Listeners::layer, &surface);
    // The whole output, whatever its size, pushing nothing aside, with every key.
    zwlr_layer_surface_v1_set_size(surface.layer, 0, 0);
    zwlr_layer_surface_v1_set_anchor(
        surface.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                           ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(surface.layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(surface.layer,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    wl_surface_commit(surface.surface);
    m_surfaces.push_back(std::move(owned));
}

void LayerShellSurfaces::outputAdded(wl_output* output)
{
    if (!m_open)
        return;
    addSurface(output);
    m_connection.flush();
}

void LayerShellSurfaces::outputRemoved(wl_output* output)
{
    for (const auto& surface : m_surfaces)
        if (surface->output == output) {
            removeSurface(surface.get());
            return;
        }
}

void LayerShellSurfaces::configure(Surface& surface, uint32_t serial, QSize size)
{
    zwlr_layer_surface_v1_ack_configure(surface.layer, serial);
    m_connection.flush();
    if (size.isEmpty()) {
        qCWarning(lcLayerShell) << "The compositor gave the shield's surface" << surface.id << "no size";
        return;
    }
    const bool first = !surface.configured;
    const bool resized = !first && size != surface.size;
    if ((first || resized) && !allocateBuffers(surface, size)) {
        removeSurface(&surface);
        return;
    }
    surface.configured = true;
    // Within open() the caller learns of it from what open() returns.
    if (first && !m_opening) {
        surface.announced = true;
        if (m_observer)
            m_observer->surfaceAdded(surface.id);
    } else if (resized && surface.announced && m_observer) {
        m_observer->surfaceResized(surface.id);
    }
}

bool LayerShellSurfaces::allocateBuffers(Surface& surface, QSize size)
{
    releaseBuffers(surface);
    const int stride = size.width() * 4;
    const size_t bytes = size_t(stride) * size_t(size.height());
    const int fd = memfd_create("veilmark-shield", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, off_t(bytes * surface.buffers.size())) < 0) {
        qCWarning(lcLayerShell) << "No shared memory for the shield's buffers:" << std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    void* memory = mmap(nullptr, bytes * surface.buffers.size(), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        qCWarning(lcLayerShell) << "The shield's buffers could not be mapped:" << std::strerror(errno);
        ::close(fd);
        return false;
    }
    // The compositor maps the memory itself: once the buffers exist the pool and the descriptor can go.
    wl_shm_pool* pool = wl_shm_create_pool(m_shm, fd, int32_t(bytes * surface.buffers.size()));
    ::close(fd);
    surface.memory = static_cast<uchar*>(memory);
    surface.memorySize = bytes * surface.buffers.size();
    for (size_t i = 0; i < surface.buffers.size(); ++i) {
        Buffer& buffer = surface.buffers[i];
        buffer.owner = &surface;
        buffer.busy = false;
        buffer.buffer = hold(wl_shm_pool_create_buffer(pool, int32_t(i * bytes), size.width(), size.height(),
                                                       stride, WL_SHM_FORMAT_XRGB8888));
        wl_buffer_add_listener(buffer.buffer, &Listeners::buffer, &buffer);
        // XRGB8888 in memory order is Qt's RGB32 on a little-endian machine: opaque whatever is drawn.
        buffer.image =
            QImage(surface.memory + i * bytes, size.width(), size.height(), stride, QImage::Format_RGB32);
    }
    wl_shm_pool_destroy(pool);
    surface.size = size;
    return true;
}

void LayerShellSurfaces::releaseBuffers(Surface& surface)
{
    // A buffer the compositor still shows may go: it keeps what it needs.
    for (Buffer& buffer : surface.buffers) {
        if (buffer.buffer && m_connection.isConnected())
            wl_buffer_destroy(buffer.buffer);
        buffer.buffer = nullptr;
        buffer.image = QImage();
        buffer.busy = false;
    }
    surface.drawn = nullptr;
    if (surface.memory)
        munmap(surface.memory, surface.memorySize);
    surface.memory = nullptr;
    surface.memorySize = 0;
}

QImage* LayerShellSurfaces::buffer(int id)
{
    Surface* surface = find(id);
    if (!surface || !surface->configured)
        return nullptr;
    for (Buffer& buffer : surface->buffers)
        if (!buffer.busy && &buffer != surface->drawn) {
            surface->drawn = &buffer;
            return &buffer.image;
        }
    // Both free: the one drawn last may be drawn again.
    if (surface->drawn && !surface->drawn->busy)
        return &surface->drawn->image;
    return nullptr;
}

void LayerShellSurfaces::present(int id, const QRegion& damage)
{
    Surface* surface = find(id);
    if (!surface || !surface->drawn || surface->drawn->busy || !m_connection.isConnected())
        return;
    Buffer& buffer = *surface->drawn;
    wl_surface_attach(surface->surface, buffer.buffer, 0, 0);
    for (const QRect& rect : damage) {
        if (m_compositorVersion >= 4)
            wl_surface_damage_buffer(surface->surface, rect.x(), rect.y(), rect.width(), rect.height());
        else
            wl_surface_damage(surface->surface, rect.x(), rect.y(), rect.width(), rect.height());
    }
    if (!surface->frame) {
        surface->frame = wl_surface_frame(surface->surface);
        wl_callback_add_listener(surface->frame, &Listeners::callback, surface);
    }
    wl_surface_commit(surface->surface);
    buffer.busy = true;
    // Drawn into next: the other one.
    surface->drawn = nullptr;
    m_connection.flush();
}

void LayerShellSurfaces::removeSurface(Surface* surface)
{
    const auto found = std::find_if(m_surfaces.begin(), m_surfaces.end(),
                                    [surface](const auto& owned) { return owned.get() == surface; });
    if (found == m_surfaces.end())
        return;
    const int id = surface->id;
    const bool announced = surface->announced;
    std::unique_ptr<Surface> owned = std::move(*found);
    m_surfaces.erase(found);
    destroySurface(owned.get());
    if (m_keyboardSurface == id)
        m_keyboardSurface = -1;
    if (m_pointerSurface == id)
        m_pointerSurface = -1;
    m_connection.flush();
    if (announced && m_observer)
        m_observer->surfaceRemoved(id);
}

void LayerShellSurfaces::destroySurface(Surface* surface)
{
    releaseBuffers(*surface);
    if (!m_connection.isConnected())
        return;
    if (surface->frame)
        wl_callback_destroy(surface->frame);
    zwlr_layer_surface_v1_destroy(surface->layer);
    wl_surface_destroy(surface->surface);
}

void LayerShellSurfaces::updateDevices()
{
    wl_seat* seat = m_connection.seat();
    const uint32_t capabilities = seat ? m_connection.seatCapabilities() : 0;
    const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (keyboard && !m_keyboard) {
        m_keyboard = hold(wl_seat_get_keyboard(seat));
        wl_keyboard_add_listener(m_keyboard, &Listeners::keyboard, this);
    }
    if (pointer && !m_pointer) {
        m_pointer = hold(wl_seat_get_pointer(seat));
        wl_pointer_add_listener(m_pointer, &Listeners::pointer, this);
    }
    // A device that went is released as when the shield goes down; the other keeps its focus: KWin
    // takes the pointer away and back while keys are typed through its fake input, and the keys
    // must still reach the surface they were on.
    releaseDevices(!keyboard, !pointer);
}

void LayerShellSurfaces::releaseDevices(bool keyboard, bool pointer)
{
    const bool connected = m_connection.isConnected();
    const bool release = connected && m_connection.seatVersion() >= 3 && m_connection.seat();
    if (keyboard) {
        m_repeat.stop();
        if (m_keyboard && connected)
            release ? wl_keyboard_release(m_keyboard) : wl_keyboard_destroy(m_keyboard);
        m_keyboard = nullptr;
        m_keyboardSurface = -1;
    }
    if (pointer) {
        if (m_pointer && connected)
            release ? wl_pointer_release(m_pointer) : wl_pointer_destroy(m_pointer);
        m_pointer = nullptr;
        m_pointerSurface = -1;
        m_buttons = Qt::NoButton;
    }
}

template <typename Proxy>
Proxy* LayerShellSurfaces::hold(Proxy* proxy) const
{
    // Before its first request goes out, so that none of its events can reach another queue.
    if (m_opening && proxy)
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(proxy), m_queue);
    return proxy;
}

void LayerShellSurfaces::send(int surface, QEvent& event)
{
    if (m_observer && find(surface))
        m_observer->inputEvent(surface, event);
}

void LayerShellSurfaces::pointerMoved(uint32_t time)
{
    QMouseEvent event(QEvent::MouseMove, m_pointerPosition, m_pointerPosition, Qt::NoButton, m_buttons,
                      m_xkb->modifiers());
    event.setTimestamp(time);
    send(m_pointerSurface, event);
}

void LayerShellSurfaces::repeatKey()
{
    m_repeat.setInterval(m_repeatIntervalMs);
    if (m_keyboardSurface < 0) {
        m_repeat.stop();
        return;
    }
    if (std::unique_ptr<QKeyEvent> event = m_xkb->event(m_repeatKey, true, true))
        send(m_keyboardSurface, *event);
}
