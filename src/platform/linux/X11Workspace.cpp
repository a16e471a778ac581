#include "platform/linux/X11Workspace.h"

#include "platform/linux/LinuxLogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb_icccm.h>

// glib names a struct member `signals`, which Qt defines as a keyword macro; this file needs neither.
#undef signals
#include <gio/gdesktopappinfo.h>

namespace {
// _NET_WM_ICON holds every size a client offers; 16 MiB is far more than any real set.
const uint32_t MaxIconWords = 1u << 22;
const uint32_t MaxIconSide = 4096;
// Client lists hold a few hundred windows at most.
const uint32_t MaxListWords = 1u << 16;
// How long "no active window" must last to count: window managers set the next one at once.
const int FocusSettleMs = 200;
// On client windows: their own properties, for a change of identity.
const uint32_t ClientMask = XCB_EVENT_MASK_PROPERTY_CHANGE;

struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, FreeDeleter>;

xcb_atom_t atomOf(xcb_connection_t* connection, xcb_intern_atom_cookie_t cookie)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

void X11Workspace::EventFree::operator()(xcb_generic_event_t* event) const
{
    std::free(event);
}

X11Workspace::X11Workspace(QObject* parent)
    : X11Workspace(QByteArray(), parent)
{}

X11Workspace::X11Workspace(const QByteArray& displayName, QObject* parent)
    : Workspace(parent)
{
    m_connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &m_screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        qCWarning(lcX11) << "cannot connect to the X display" << displayName;
        m_broken = true;
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < m_screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem <= 0) {
        m_broken = true;
        return;
    }
    m_root = screens.data->root;

    // Every atom in one round trip.
    xcb_intern_atom_cookie_t* ewmhCookies = xcb_ewmh_init_atoms(m_connection, &m_ewmh);
    const auto intern = [this](const char* name) {
        return xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name);
    };
    const xcb_intern_atom_cookie_t gtkCookie = intern("_GTK_APPLICATION_ID");
    const xcb_intern_atom_cookie_t kdeCookie = intern("_KDE_NET_WM_DESKTOP_FILE");
    const xcb_intern_atom_cookie_t changeStateCookie = intern("WM_CHANGE_STATE");
    const xcb_intern_atom_cookie_t timeProbeCookie = intern("_VEILMARK_TIME_PROBE");
    m_ewmhReady = xcb_ewmh_init_atoms_replies(&m_ewmh, ewmhCookies, nullptr) != 0;
    X11WindowResolver::Atoms atoms;
    atoms.gtkApplicationId = atomOf(m_connection, gtkCookie);
    atoms.kdeDesktopFile = atomOf(m_connection, kdeCookie);
    m_changeStateAtom = atomOf(m_connection, changeStateCookie);
    m_timeProbeAtom = atomOf(m_connection, timeProbeCookie);
    if (!m_ewmhReady || xcb_connection_has_error(m_connection)) {
        m_broken = true;
        return;
    }
    atoms.netWmPid = m_ewmh._NET_WM_PID;
    m_resolver.emplace(m_connection, atoms, m_index);
    m_identityAtoms = {XCB_ATOM_WM_CLASS, atoms.gtkApplicationId, atoms.kdeDesktopFile};

    // Watch first, then read: a change in between shows up as an event that finds nothing new.
    const uint32_t rootMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &rootMask);
    m_timeWindow = xcb_generate_id(m_connection);
    const uint32_t timeMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_timeWindow, m_root, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &timeMask);

    m_focusSettle = new QTimer(this);
    m_focusSettle->setSingleShot(true);
    m_focusSettle->setInterval(FocusSettleMs);
    connect(m_focusSettle, &QTimer::timeout, this, [this] {
        if (m_activeWindow == XCB_WINDOW_NONE && connected()) {
            setActiveApplication(QString());
            emitQueuedChanges();
        }
    });

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11Workspace::processEvents);

    // What runs already is known, but it did not launch now.
    if (const std::optional<QList<xcb_window_t>> active = readWindowList(m_ewmh._NET_ACTIVE_WINDOW)) {
        m_activeWindow = active->value(0, XCB_WINDOW_NONE);
    }
    updateClientList();
    followActiveWindow();
    clearQueuedChanges();
    // The replies above may have brought events along that the socket will not announce again.
    scheduleProcessing();
}

X11Workspace::~X11Workspace()
{
    // A slot may delete the workspace while the notifier or the timer is still delivering the signal
    // that led there; stopped now, and no longer children, they go once that is over.
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->setParent(nullptr);
        m_notifier->deleteLater();
    }
    if (m_focusSettle) {
        m_focusSettle->stop();
        m_focusSettle->setParent(nullptr);
        m_focusSettle->deleteLater();
    }
    m_backlog.clear();
    m_resolver.reset();
    if (m_ewmhReady) {
        xcb_ewmh_connection_wipe(&m_ewmh);
    }
    if (m_connection) {
        xcb_disconnect(m_connection);
    }
}

bool X11Workspace::connected() const
{
    return !m_broken && !xcb_connection_has_error(m_connection);
}

// A broken connection leaves its socket readable forever; the notifier must stop, or it spins.
bool X11Workspace::checkConnection()
{
    if (!m_broken && xcb_connection_has_error(m_connection)) {
        qCWarning(lcX11) << "the X connection broke; applications are no longer watched";
        m_broken = true;
    }
    if (m_broken) {
        if (m_notifier) {
            m_notifier->setEnabled(false);
        }
        if (m_focusSettle) {
            m_focusSettle->stop();
        }
        m_backlog.clear();
        clearQueuedChanges();
    }
    return !m_broken;
}

bool X11Workspace::isSupported() const
{
    return connected();
}

QStringList X11Workspace::runningApplications() const
{
    QStringList ids;
    ids.reserve(m_applications.size());
    for (const Application& application : m_applications) {
        ids << application.id;
    }
    return ids;
}

void X11Workspace::processEvents()
{
    m_processingScheduled = false;
    if (!emitQueuedChanges()) {
        return;
    }
    while (checkConnection()) {
        const Event event = nextEvent();
        if (!event) {
            break;
        }
        handle(event.get());
        if (!emitQueuedChanges()) {
            return;
        }
    }
}

X11Workspace::Event X11Workspace::nextEvent()
{
    if (!m_backlog.empty()) {
        Event event = std::move(m_backlog.front());
        m_backlog.pop_front();
        return event;
    }
    return Event(xcb_poll_for_event(m_connection));
}

// Replies read from the socket may carry events with them, which xcb queues without the socket
// becoming readable again: whoever waits for a reply outside processEvents() calls this after.
void X11Workspace::scheduleProcessing() const
{
    if (m_processingScheduled || m_broken) {
        return;
    }
    m_processingScheduled = true;
    auto* self = const_cast<X11Workspace*>(this);
    QMetaObject::invokeMethod(
        self, [self] { self->processEvents(); }, Qt::QueuedConnection);
}

void X11Workspace::handle(const xcb_generic_event_t* event)
{
    // Errors (type 0) come from requests on windows that went away meanwhile: nothing to do.
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) {
        return;
    }
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (notify->window != m_root) {
        if (m_identityAtoms.contains(notify->atom) && m_windowIds.contains(notify->window)) {
            resolveAgain(notify->window);
        }
        return;
    }
    // Properties are read as they are now, not as they were when the event was sent; later events
    // for the same property then find nothing new.
    if (notify->atom == m_ewmh._NET_CLIENT_LIST) {
        updateClientList();
    } else if (notify->atom == m_ewmh._NET_ACTIVE_WINDOW) {
        updateActiveWindow();
    }
}

std::optional<QList<xcb_window_t>> X11Workspace::readWindowList(xcb_atom_t property)
{
    const PropertyReply reply(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, m_root, property, XCB_ATOM_WINDOW, 0, MaxListWords),
        nullptr));
    if (!reply) {
        return std::nullopt;
    }
    QList<xcb_window_t> windows;
    if (reply->format == 32) {
        const auto* values = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
        const int count = xcb_get_property_value_length(reply.get()) / 4;
        windows.reserve(count);
        for (int i = 0; i < count; ++i) {
            windows << values[i];
        }
    }
    return windows;
}

void X11Workspace::updateClientList()
{
    const std::optional<QList<xcb_window_t>> list = readWindowList(m_ewmh._NET_CLIENT_LIST);
    if (!list) {
        return;
    }
    QList<xcb_window_t> added;
    for (const xcb_window_t window : *list) {
        if (!m_windowIds.contains(window)) {
            added << window;
        }
    }
    const QSet<xcb_window_t> listed(list->cbegin(), list->cend());

    // Some clients name their application only after mapping (WM_CLASS set late or changed); watched
    // before their properties are read, no change is missed.
    for (const xcb_window_t window : std::as_const(added)) {
        xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &ClientMask);
    }
    // Additions first: an application that swaps its last window for a new one keeps running.
    const QStringList ids = m_resolver->resolve(added);
    for (qsizetype i = 0; i < added.size(); ++i) {
        m_windowIds.insert(added[i], ids[i]);
        joinApplication(added[i], ids[i]);
    }
    for (const xcb_window_t window : std::as_const(m_clientList)) {
        if (!listed.contains(window)) {
            leaveApplication(window, m_windowIds.take(window));
        }
    }
    m_clientList = *list;
    // The active window may have been announced before it was listed. When it has just left the list,
    // focus is about to move and the next _NET_ACTIVE_WINDOW tells where.
    if (m_windowIds.contains(m_activeWindow)) {
        followActiveWindow();
    }
}

void X11Workspace::joinApplication(xcb_window_t window, const QString& id)
{
    if (id.isEmpty()) {
        return;
    }
    if (Application* app = application(id)) {
        app->windows << window;
        // A hidden application stays hidden: a window it opens now goes out of view at once.
        if (app->hidden) {
            iconify(window);
            xcb_flush(m_connection);
        }
    } else {
        m_applications.append({id, {window}});
        queueChange(Change::launched, id);
    }
}

void X11Workspace::leaveApplication(xcb_window_t window, const QString& id)
{
    Application* app = id.isEmpty() ? nullptr : application(id);
    if (!app) {
        return;
    }
    app->windows.removeAll(window);
    if (app->lastActive == window) {
        app->lastActive = XCB_WINDOW_NONE;
    }
    if (app->windows.isEmpty()) {
        m_applications.removeIf([&id](const Application& a) { return a.id == id; });
        if (m_activeApplication == id) {
            m_activeApplication.clear();
        }
        queueChange(Change::terminated, id);
    }
}

// A listed window that now says it belongs to another application moves there, as if it had closed
// and opened again; in front, it brings its new application forward.
void X11Workspace::resolveAgain(xcb_window_t window)
{
    const QString id = m_resolver->resolve(QList<xcb_window_t>{window}).value(0);
    const QString previous = m_windowIds.value(window);
    if (id == previous) {
        return;
    }
    m_windowIds.insert(window, id);
    joinApplication(window, id);
    leaveApplication(window, previous);
    if (m_activeWindow == window) {
        followActiveWindow();
    }
}

void X11Workspace::updateActiveWindow()
{
    const std::optional<QList<xcb_window_t>> active = readWindowList(m_ewmh._NET_ACTIVE_WINDOW);
    if (!active) {
        return;
    }
    m_activeWindow = active->value(0, XCB_WINDOW_NONE);
    if (m_activeWindow != XCB_WINDOW_NONE && !m_windowIds.contains(m_activeWindow)) {
        // Focus went to a window whose listing has not been handled yet: launch before activation.
        updateClientList();
    }
    followActiveWindow();
}

void X11Workspace::followActiveWindow()
{
    // Window managers announce no active window between taking focus from one window and giving it
    // to the next. Only when it stays that way has the application lost focus; otherwise switching
    // between two windows of one application would look like leaving it and coming back.
    if (m_activeWindow == XCB_WINDOW_NONE) {
        if (!m_activeApplication.isEmpty() && !m_focusSettle->isActive()) {
            m_focusSettle->start();
        }
        return;
    }
    m_focusSettle->stop();
    const QString id = m_windowIds.value(m_activeWindow);
    if (Application* app = id.isEmpty() ? nullptr : application(id)) {
        app->lastActive = m_activeWindow;
    }
    setActiveApplication(id);
}

void X11Workspace::setActiveApplication(const QString& id)
{
    if (id == m_activeApplication) {
        return;
    }
    const QString previous = std::exchange(m_activeApplication, id);
    if (!previous.isEmpty()) {
        queueChange(Change::deactivated, previous);
    }
    if (!id.isEmpty()) {
        queueChange(Change::activated, id);
    }
}

X11Workspace::Application* X11Workspace::application(const QString& id)
{
    for (Application& app : m_applications) {
        if (app.id == id) {
            return &app;
        }
    }
    return nullptr;
}

const X11Workspace::Application* X11Workspace::application(const QString& id) const
{
    return const_cast<X11Workspace*>(this)->application(id);
}

// ICCCM 4.1.4: a client asks the window manager to iconify its window with a WM_CHANGE_STATE
// message to the root; window managers honour it from any client.
void X11Workspace::iconify(xcb_window_t window)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = m_changeStateAtom;
    message.data.data32[0] = XCB_ICCCM_WM_STATE_ICONIC;
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

void X11Workspace::hide(const QString& bundleID)
{
    Application* app = application(bundleID);
    if (!app || !connected()) {
        return;
    }
    app->hidden = true;
    for (const xcb_window_t window : std::as_const(app->windows)) {
        iconify(window);
    }
    xcb_flush(m_connection);
    // A hidden application is no longer in front, whatever the window manager reports next; brought
    // forward again, even at once, it is activated anew.
    if (m_activeApplication == bundleID) {
        setActiveApplication(QString());
    }
    scheduleProcessing();
}

void X11Workspace::unhide(const QString& bundleID)
{
    Application* app = application(bundleID);
    if (!app || !connected()) {
        return;
    }
    app->hidden = false;
    // ICCCM: mapping an iconic window asks the window manager to bring it back, which also raises it;
    // the window used last goes last, so it ends up on top.
    for (const xcb_window_t window : std::as_const(app->windows)) {
        if (window != app->lastActive) {
            xcb_map_window(m_connection, window);
        }
    }
    if (app->windows.contains(app->lastActive)) {
        xcb_map_window(m_connection, app->lastActive);
    }
    xcb_flush(m_connection);
    scheduleProcessing();
}

void X11Workspace::activate(const QString& bundleID)
{
    Application* app = application(bundleID);
    if (!app || !connected()) {
        return;
    }
    // Bringing a hidden application forward shows all of it, not only the window activated.
    if (app->hidden) {
        unhide(bundleID);
    }
    const xcb_window_t window =
        app->windows.contains(app->lastActive) ? app->lastActive : app->windows.last();
    // Source 2: the request comes from a pager-like tool acting for the user, which window managers
    // do not subject to focus-stealing prevention.
    xcb_ewmh_request_change_active_window(&m_ewmh, m_screenNumber, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                          serverTime(), m_activeWindow);
    xcb_flush(m_connection);
    scheduleProcessing();
}

// X has no request for the time: a zero-length append to a property of our own window makes the server
// send a PropertyNotify stamped with it. Events read meanwhile wait in the backlog, in order.
xcb_timestamp_t X11Workspace::serverTime()
{
    xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_timeWindow, m_timeProbeAtom, XCB_ATOM_INTEGER,
                        32, 0, nullptr);
    xcb_flush(m_connection);
    while (Event event = Event(xcb_wait_for_event(m_connection))) {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && notify->window == m_timeWindow) {
            return notify->time;
        }
        m_backlog.push_back(std::move(event));
    }
    return XCB_CURRENT_TIME;
}

QImage X11Workspace::icon(const QString& bundleID) const
{
    if (const DesktopEntryIndex::Entry* entry = m_index.find(bundleID)) {
        if (QImage image = m_index.iconNamed(entry->icon); !image.isNull()) {
            return image;
        }
    }
    const Application* app = application(bundleID);
    if (!app || !connected()) {
        return {};
    }
    QList<xcb_window_t> windows(app->windows.crbegin(), app->windows.crend());
    if (windows.removeOne(app->lastActive)) {
        windows.prepend(app->lastActive);
    }
    QImage image;
    for (const xcb_window_t window : std::as_const(windows)) {
        image = windowIcon(window);
        if (!image.isNull()) {
            break;
        }
    }
    scheduleProcessing();
    return image;
}

// The largest image of _NET_WM_ICON: width, height, then width × height ARGB pixels (alpha in the
// high byte, not premultiplied), one per 32-bit word, for each size offered.
QImage X11Workspace::windowIcon(xcb_window_t window) const
{
    const PropertyReply reply(xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, window, m_ewmh._NET_WM_ICON, XCB_ATOM_CARDINAL, 0, MaxIconWords),
        nullptr));
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* words = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    const quint64 count = quint64(xcb_get_property_value_length(reply.get())) / 4;
    const uint32_t* best = nullptr;
    quint64 bestArea = 0;
    for (quint64 at = 0; at + 2 <= count;) {
        const uint32_t width = words[at];
        const uint32_t height = words[at + 1];
        const quint64 area = quint64(width) * height;
        if (width == 0 || height == 0 || width > MaxIconSide || height > MaxIconSide ||
            area > count - at - 2) {
            break; // malformed or cut short: the sizes before it are still good
        }
        if (area > bestArea) {
            best = words + at;
            bestArea = area;
        }
        at += 2 + area;
    }
    if (!best) {
        return {};
    }
    QImage image(static_cast<int>(best[0]), static_cast<int>(best[1]), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(image.scanLine(y), best + 2 + quint64(y) * best[0], size_t(best[0]) * 4);
    }
    return image;
}
