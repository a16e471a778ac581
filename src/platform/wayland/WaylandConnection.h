#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

struct wl_display;
struct wl_interface;
struct wl_output;
struct wl_registry;
struct wl_seat;
class QSocketNotifier;

// Signals carry the compositor's objects as they are; Qt never looks inside them.
Q_DECLARE_OPAQUE_POINTER(wl_output*)

// Veilmark's own connection to the Wayland compositor, beside the one Qt's platform plugin may
// hold: the protocols that watch other clients' windows and put surfaces on the overlay layer are
// unknown to Qt 6.4, and a connection of our own works whatever plugin Qt runs on. Events are
// read and dispatched from the Qt event loop of the thread that made it, and requests are flushed
// after every dispatch and before that loop blocks.
class WaylandConnection : public QObject
{
    Q_OBJECT

public:
    struct Global
    {
        uint32_t name = 0;
        QByteArray interface;
        uint32_t version = 0;
    };

    // Connects to `socket` (a name in XDG_RUNTIME_DIR or a path), or to WAYLAND_DISPLAY when empty,
    // and learns the globals, the outputs and the seat before returning.
    explicit WaylandConnection(const QByteArray& socket = {}, QObject* parent = nullptr);
    ~WaylandConnection() override;

    bool isConnected() const { return m_display != nullptr && m_problem.isEmpty(); }
    // Why there is no connection, or why it was lost; empty while it works.
    QString problem() const { return m_problem; }
    wl_display* display() const { return m_display; }

    QList<Global> globals() const { return m_globals; }
    // The highest version of `interface` the compositor offers; 0 when it offers none.
    uint32_t offeredVersion(const char* interface) const;
    // Binds the first global of `interface` at the lower of the offered version and `maxVersion`;
    // nullptr when the compositor does not offer it. The caller owns the proxy.
    void* bind(const wl_interface* interface, uint32_t maxVersion, uint32_t* boundVersion = nullptr);
    template <typename Proxy>
    Proxy* bind(const wl_interface* interface, uint32_t maxVersion, uint32_t* boundVersion = nullptr)
    {
        return static_cast<Proxy*>(bind(interface, maxVersion, boundVersion));
    }

    // Every output, in the order the compositor announced them.
    const QList<wl_output*>& outputs() const { return m_outputs; }
    // The first seat (nullptr without one) and its capabilities (wl_seat_capability bits).
    wl_seat* seat() const { return m_seat; }
    uint32_t seatVersion() const { return m_seatVersion; }
    uint32_t seatCapabilities() const { return m_seatCapabilities; }

    // Sends the requests made so far and waits until the compositor has answered all of them,
    // dispatching the events that arrive meanwhile. False when the connection is lost.
    bool roundtrip();
    void flush();

signals:
    void outputAdded(wl_output* output);
    // Sent before the output's proxy is released.
    void outputRemoved(wl_output* output);
    void seatCapabilitiesChanged(uint32_t capabilities);
    void globalAdded(const WaylandConnection::Global& global);
    void globalRemoved(const WaylandConnection::Global& global);
    // The compositor went away or ended the connection over a protocol error; nothing more arrives.
    void lost(const QString& why);

private:
    struct Listeners;
    friend struct Listeners;

    void readEvents();
    void dispatchPending();
    bool checkError();
    void addGlobal(uint32_t name, const char* interface, uint32_t version);
    void removeGlobal(uint32_t name);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    QList<Global> m_globals;
    QList<wl_output*> m_outputs;
    QList<uint32_t> m_outputNames;
    wl_seat* m_seat = nullptr;
    uint32_t m_seatName = 0;
    uint32_t m_seatVersion = 0;
    uint32_t m_seatCapabilities = 0;
    QString m_problem;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
