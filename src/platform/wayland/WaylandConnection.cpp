#include "WaylandConnection.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <wayland-client.h>

namespace {
// The versions Veilmark speaks: wl_output 3 has release; wl_seat 7 has release for its devices and
// hands out keymaps to be mapped privately.
constexpr uint32_t OutputVersion = 3;
constexpr uint32_t SeatVersion = 7;
} // namespace

struct WaylandConnection::Listeners
{
    static void global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version)
    {
        static_cast<WaylandConnection*>(data)->addGlobal(name, interface, version);
    }
    static void globalRemove(void* data, wl_registry*, uint32_t name)
    {
        static_cast<WaylandConnection*>(data)->removeGlobal(name);
    }
    static void seatCapabilities(void* data, wl_seat*, uint32_t capabilities)
    {
        auto* connection = static_cast<WaylandConnection*>(data);
        connection->m_seatCapabilities = capabilities;
        emit connection->seatCapabilitiesChanged(capabilities);
    }
    static void seatName(void*, wl_seat*, const char*) {}

    static constexpr wl_registry_listener registry{global, globalRemove};
    static constexpr wl_seat_listener seat{seatCapabilities, seatName};
};

WaylandConnection::WaylandConnection(const QByteArray& socket, QObject* parent)
    : QObject(parent)
{
    m_display = wl_display_connect(socket.isEmpty() ? nullptr : socket.constData());
    if (!m_display) {
        const QByteArray name = socket.isEmpty() ? qgetenv("WAYLAND_DISPLAY") : socket;
        m_problem = name.isEmpty() ? tr("No Wayland display is set (WAYLAND_DISPLAY is empty)")
                                   : tr("Cannot connect to the Wayland display %1: %2")
                                         .arg(QString::fromLocal8Bit(name),
                                              QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &Listeners::registry, this);
    // The globals, then the events of what was bound for them (the seat's capabilities).
    if (!roundtrip() || !roundtrip())
        return;
    m_notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &WaylandConnection::readEvents);
    // Events another reader of the socket took in (a roundtrip on a queue of its own) wait in the
    // queue without the socket announcing them again: they are dispatched whenever the loop turns.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &WaylandConnection::dispatchPending);
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, &WaylandConnection::dispatchPending);
    }
}

WaylandConnection::~WaylandConnection()
{
    m_notifier.reset();
    if (!m_display)
        return;
    for (wl_output* output : std::as_const(m_outputs))
        wl_output_release(output);
    if (m_seat)
        wl_seat_release(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_flush(m_display);
    wl_display_disconnect(m_display);
}

uint32_t WaylandConnection::offeredVersion(const char* interface) const
{
    uint32_t version = 0;
    for (const Global& global : m_globals)
        if (global.interface == interface)
            version = std::max(version, global.version);
    return version;
}

void* WaylandConnection::bind(const wl_interface* interface, uint32_t maxVersion, uint32_t* boundVersion)
{
    if (!isConnected())
        return nullptr;
    for (const Global& global : std::as_const(m_globals)) {
        if (global.interface != interface->name)
            continue;
        const uint32_t version = std::min({global.version, maxVersion, uint32_t(interface->version)});
        if (boundVersion)
            *boundVersion = version;
        return wl_registry_bind(m_registry, global.name, interface, version);
    }
    return nullptr;
}

bool WaylandConnection::roundtrip()
{
    if (!isConnected())
        return false;
    if (wl_display_roundtrip(m_display) < 0)
        return checkError();
    return true;
}

void WaylandConnection::flush()
{
    if (!isConnected())
        return;
    // EAGAIN: the socket is full; the rest goes out on the next flush.
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
        checkError();
}

void WaylandConnection::dispatchPending()
{
    if (!isConnected())
        return;
    if (wl_display_dispatch_pending(m_display) < 0) {
        checkError();
        return;
    }
    flush();
}

void WaylandConnection::readEvents()
{
    if (!isConnected())
        return;
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0) {
            checkError();
            return;
        }
    }
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0) {
        checkError();
        return;
    }
    // What the handlers asked for in answer leaves now, whether or not the loop waits next.
    flush();
}

// Returns false and reports the loss once, when the connection has failed.
bool WaylandConnection::checkError()
{
    const int error = wl_display_get_error(m_display);
    if (error == 0)
        return true;
    if (!m_problem.isEmpty())
        return false;
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        uint32_t id = 0;
        const uint32_t code = wl_display_get_protocol_error(m_display, &interface, &id);
        m_problem = tr("The compositor ended the connection: protocol error %1 on %2")
                        .arg(code)
                        .arg(QString::fromLatin1(interface ? interface->name : "an unknown object"));
    } else {
        m_problem = tr("The connection to the compositor was lost: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
    if (m_notifier)
        m_notifier->setEnabled(false);
    emit lost(m_problem);
    return false;
}

void WaylandConnection::addGlobal(uint32_t name, const char* interface, uint32_t version)
{
    const Global global{name, QByteArray(interface), version};
    m_globals.append(global);
    if (global.interface == wl_output_interface.name) {
        auto* output = static_cast<wl_output*>(
            wl_registry_bind(m_registry, name, &wl_output_interface, std::min(version, OutputVersion)));
        m_outputs.append(output);
        m_outputNames.append(name);
        emit outputAdded(output);
    } else if (global.interface == wl_seat_interface.name && !m_seat) {
        m_seatVersion = std::min(version, SeatVersion);
        m_seat = static_cast<wl_seat*>(wl_registry_bind(m_registry, name, &wl_seat_interface, m_seatVersion));
        m_seatName = name;
        wl_seat_add_listener(m_seat, &Listeners::seat, this);
    }
    emit globalAdded(global);
}

void WaylandConnection::removeGlobal(uint32_t name)
{
    const auto found = std::find_if(m_globals.cbegin(), m_globals.cend(),
                                    [name](const Global& global) { return global.name == name; });
    if (found == m_globals.cend())
        return;
    const Global global = *found;
    m_globals.erase(found);
    if (const qsizetype index = m_outputNames.indexOf(name); index >= 0) {
        wl_output* output = m_outputs.takeAt(index);
        m_outputNames.removeAt(index);
        emit outputRemoved(output);
        wl_output_release(output);
    } else if (name == m_seatName && m_seat) {
        wl_seat_release(m_seat);
        m_seat = nullptr;
        m_seatName = 0;
        m_seatCapabilities = 0;
        emit seatCapabilitiesChanged(0);
    }
    emit globalRemoved(global);
}
