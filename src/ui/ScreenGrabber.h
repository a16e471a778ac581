#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>

class QScreen;
struct xcb_connection_t;

// Takes pictures of screens for the shield's backdrop. On X11 the server copies the pixels into
// memory shared with us (MIT-SHM) instead of sending 4 MB over the socket, which is most of the
// time between an activation and the shield; elsewhere, or when sharing memory is refused (a
// remote display), Qt's own screen grab is used.
class ScreenGrabber
{
public:
    ScreenGrabber();
    ~ScreenGrabber();
    ScreenGrabber(const ScreenGrabber&) = delete;
    ScreenGrabber& operator=(const ScreenGrabber&) = delete;

    // The screen as it is now. The image may share the grabber's memory: it is valid until the
    // next grab, so callers that keep it must copy it (scaling does).
    QImage grab(QScreen* screen);

private:
    QImage grabShared(QScreen* screen);
    bool ensureSegment(size_t bytes);
    void releaseSegment();

    xcb_connection_t* m_connection = nullptr;
    uint32_t m_root = 0;
    bool m_sharedMemory = false;
    uint32_t m_segment = 0;
    void* m_memory = nullptr;
    size_t m_size = 0;
};
