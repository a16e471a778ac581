#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>

class QScreen;
struct xcb_connection_t;

// Takes small pictures of screens for the shield's backdrop. On X11 the server shrinks the screen
// itself (RENDER, nearest pixel) and sends only the small picture: a whole 1280×800 screen is 4 MB
// to copy, and this runs between an activation and the shield. Without RENDER, or on another
// platform, Qt's own screen grab is shrunk here; on Wayland there is none (a null image).
class ScreenGrabber
{
public:
    ScreenGrabber();
    ~ScreenGrabber();
    ScreenGrabber(const ScreenGrabber&) = delete;
    ScreenGrabber& operator=(const ScreenGrabber&) = delete;

    // The screen as it is now, `factor` times smaller in each direction (at least 1×1).
    QImage grabShrunk(QScreen* screen, int factor);

private:
    QImage grabOnServer(QScreen* screen, int factor);
    void ensureTarget(QSize size);
    void releaseTarget();

    bool m_wayland = false;
    xcb_connection_t* m_connection = nullptr;
    bool m_onServer = false;
    uint32_t m_root = 0;
    uint8_t m_depth = 0;
    uint32_t m_format = 0; // picture format of the root window's visual
    uint32_t m_source = 0; // picture of the root window, with what is drawn on it
    uint32_t m_pixmap = 0; // the small picture
    uint32_t m_target = 0;
    QSize m_targetSize;
};
