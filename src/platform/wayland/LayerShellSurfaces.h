#pragma once

#include "ui/OverlaySurfaces.h"

#include <QObject>
#include <QPointF>
#include <QTimer>

#include <memory>
#include <vector>

class WaylandConnection;
class XkbKeyboard;
struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_event_queue;
struct wl_keyboard;
struct wl_output;
struct wl_pointer;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

// The overlay surfaces of a wlroots compositor or KWin (zwlr_layer_shell_v1): one surface per
// output on the overlay layer, over the whole output and taking the keyboard for itself, drawn
// from two shared-memory buffers each; and the keyboard and pointer while they are up.
//
// open() waits for the compositor's answer on an event queue of its own, so that no other event
// handler runs meanwhile (a window appearing must not reach the engine while it puts the shield
// up); the objects it made join the connection's queue when it returns.
class LayerShellSurfaces : public QObject, public OverlaySurfaces
{
    Q_OBJECT

public:
    explicit LayerShellSurfaces(WaylandConnection& connection, QObject* parent = nullptr);
    ~LayerShellSurfaces() override;

    void setObserver(Observer* observer) override { m_observer = observer; }
    QList<int> open() override;
    void close() override;
    QList<int> surfaces() const override;
    QSize size(int surface) const override;
    QImage* buffer(int surface) override;
    void present(int surface, const QRegion& damage) override;
    QString problem() const override;

private:
    struct Buffer;
    struct Surface;
    struct Listeners;
    friend struct Listeners;

    void outputAdded(wl_output* output);
    void outputRemoved(wl_output* output);
    Surface* find(int id) const;
    Surface* find(wl_surface* surface) const;
    void addSurface(wl_output* output);
    void removeSurface(Surface* surface);
    void destroySurface(Surface* surface);
    bool allocateBuffers(Surface& surface, QSize size);
    void releaseBuffers(Surface& surface);
    void configure(Surface& surface, uint32_t serial, QSize size);
    void updateDevices();
    void releaseDevices(bool keyboard = true, bool pointer = true);
    // Puts a proxy made within open() on the queue open() waits on.
    template <typename Proxy>
    Proxy* hold(Proxy* proxy) const;
    void send(int surface, QEvent& event);
    void pointerMoved(uint32_t time);
    void repeatKey();

    WaylandConnection& m_connection;
    wl_event_queue* m_queue = nullptr;
    wl_compositor* m_compositor = nullptr;
    uint32_t m_compositorVersion = 0;
    wl_shm* m_shm = nullptr;
    zwlr_layer_shell_v1* m_shell = nullptr;
    uint32_t m_shellVersion = 0;
    Observer* m_observer = nullptr;
    bool m_open = false;
    bool m_opening = false;
    int m_nextId = 1;
    std::vector<std::unique_ptr<Surface>> m_surfaces;

    wl_keyboard* m_keyboard = nullptr;
    wl_pointer* m_pointer = nullptr;
    std::unique_ptr<XkbKeyboard> m_xkb;
    int m_keyboardSurface = -1;
    int m_pointerSurface = -1;
    QPointF m_pointerPosition;
    Qt::MouseButtons m_buttons;
    uint32_t m_repeatKey = 0;
    int m_repeatIntervalMs = 40;
    int m_repeatDelayMs = 400;
    QTimer m_repeat;
};
