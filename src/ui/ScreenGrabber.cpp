#include "ScreenGrabber.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdlib>
#include <memory>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

namespace {
struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Whether the root window's pixels come as 32-bit words that QImage::Format_RGB32 reads as they are.
bool rootIsRgb32(xcb_connection_t* connection, const xcb_screen_t* screen)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || screen->root_depth < 24)
        return false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth == screen->root_depth)
            return it.data->bits_per_pixel == 32;
    }
    return false;
}
} // namespace

ScreenGrabber::ScreenGrabber()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    m_connection = x11 ? x11->connection() : nullptr;
    if (!m_connection)
        return;
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(m_connection, &xcb_shm_id);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    if (!shm || !shm->present || !screen || !rootIsRgb32(m_connection, screen))
        return;
    m_root = screen->root;
    m_sharedMemory = true;
}

ScreenGrabber::~ScreenGrabber()
{
    releaseSegment();
}

QImage ScreenGrabber::grab(QScreen* screen)
{
    if (m_sharedMemory) {
        QImage image = grabShared(screen);
        if (!image.isNull())
            return image;
        // Refused once (no shared memory with this server): not worth asking again.
        m_sharedMemory = false;
        releaseSegment();
    }
    return screen->grabWindow(0).toImage();
}

QImage ScreenGrabber::grabShared(QScreen* screen)
{
    // Root window coordinates are device pixels.
    const QRect area(screen->geometry().topLeft() * screen->devicePixelRatio(),
                     screen->geometry().size() * screen->devicePixelRatio());
    if (area.isEmpty() || !ensureSegment(size_t(area.width()) * size_t(area.height()) * 4))
        return {};
    xcb_generic_error_t* error = nullptr;
    const Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        m_connection,
        xcb_shm_get_image(m_connection, m_root, int16_t(area.x()), int16_t(area.y()), uint16_t(area.width()),
                          uint16_t(area.height()), ~0U, XCB_IMAGE_FORMAT_Z_PIXMAP, m_segment, 0),
        &error));
    std::free(error);
    if (!reply)
        return {};
    return QImage(static_cast<const uchar*>(m_memory), area.width(), area.height(), area.width() * 4,
                  QImage::Format_RGB32);
}

bool ScreenGrabber::ensureSegment(size_t bytes)
{
    if (m_memory && m_size >= bytes)
        return true;
    releaseSegment();
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
        return false;
    void* memory = shmat(id, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    const uint32_t segment = xcb_generate_id(m_connection);
    xcb_generic_error_t* error =
        xcb_request_check(m_connection, xcb_shm_attach_checked(m_connection, segment, uint32_t(id), 0));
    // Marked for removal now: the kernel frees it once both we and the server have let go, even
    // if this process is killed.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        std::free(error);
        shmdt(memory);
        return false;
    }
    m_segment = segment;
    m_memory = memory;
    m_size = bytes;
    return true;
}

void ScreenGrabber::releaseSegment()
{
    if (!m_memory)
        return;
    // Without the application its connection is gone, and the server has dropped the segment.
    if (qGuiApp)
        xcb_shm_detach(m_connection, m_segment);
    shmdt(m_memory);
    m_memory = nullptr;
    m_size = 0;
}
