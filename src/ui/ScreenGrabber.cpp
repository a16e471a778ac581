#include "ScreenGrabber.h"

#include "UiLogging.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/render.h>
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

// The RENDER picture format of `visual`, or 0.
uint32_t formatOfVisual(xcb_connection_t* connection, xcb_visualid_t visual)
{
    const Reply<xcb_render_query_pict_formats_reply_t> reply(
        xcb_render_query_pict_formats_reply(connection, xcb_render_query_pict_formats(connection), nullptr));
    if (!reply)
        return 0;
    for (auto screen = xcb_render_query_pict_formats_screens_iterator(reply.get()); screen.rem;
         xcb_render_pictscreen_next(&screen)) {
        for (auto depth = xcb_render_pictscreen_depths_iterator(screen.data); depth.rem;
             xcb_render_pictdepth_next(&depth)) {
            for (auto it = xcb_render_pictdepth_visuals_iterator(depth.data); it.rem;
                 xcb_render_pictvisual_next(&it)) {
                if (it.data->visual == visual)
                    return it.data->format;
            }
        }
    }
    return 0;
}

xcb_render_fixed_t fixed(double value)
{
    return xcb_render_fixed_t(value * 65536);
}
} // namespace

ScreenGrabber::ScreenGrabber()
    : m_wayland(QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    m_connection = x11 ? x11->connection() : nullptr;
    if (!m_connection)
        return;
    const xcb_query_extension_reply_t* render = xcb_get_extension_data(m_connection, &xcb_render_id);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    if (!render || !render->present || !screen || !rootIsRgb32(m_connection, screen))
        return;
    m_format = formatOfVisual(m_connection, screen->root_visual);
    if (!m_format)
        return;
    m_root = screen->root;
    m_depth = screen->root_depth;
    // Including inferiors: the root window's picture shows the windows on it, not just the wallpaper.
    m_source = xcb_generate_id(m_connection);
    const uint32_t includeInferiors = XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS;
    xcb_render_create_picture(m_connection, m_source, m_root, m_format, XCB_RENDER_CP_SUBWINDOW_MODE,
                              &includeInferiors);
    m_onServer = true;
}

ScreenGrabber::~ScreenGrabber()
{
    // Without the application its connection is gone, and the server has freed everything.
    if (!qGuiApp || !m_connection)
        return;
    releaseTarget();
    if (m_source)
        xcb_render_free_picture(m_connection, m_source);
    xcb_flush(m_connection);
}

QImage ScreenGrabber::grabShrunk(QScreen* screen, int factor)
{
    // A Wayland compositor shows no client what other windows show: there is nothing to ask for.
    if (m_wayland)
        return {};
    factor = std::max(1, factor);
    if (m_onServer) {
        QImage image = grabOnServer(screen, factor);
        if (!image.isNull())
            return image;
        // Refused once: not worth asking again.
        qCInfo(lcUi) << "the X server did not shrink the screen image; grabbing it whole from now on";
        m_onServer = false;
    }
    const QImage whole = screen->grabWindow(0).toImage();
    if (whole.isNull()) {
        qCWarning(lcUi) << "cannot grab the screen" << screen->name() << "; the shield has a plain backdrop";
        return whole;
    }
    const QSize small(std::max(1, whole.width() / factor), std::max(1, whole.height() / factor));
    // Nearest pixel, as the server does; the blur that follows hides the aliasing.
    return whole.scaled(small, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QImage ScreenGrabber::grabOnServer(QScreen* screen, int factor)
{
    // Root window coordinates are device pixels.
    const qreal ratio = screen->devicePixelRatio();
    const QRect area(screen->geometry().topLeft() * ratio, screen->geometry().size() * ratio);
    const QSize small(std::max(1, area.width() / factor), std::max(1, area.height() / factor));
    if (area.isEmpty())
        return {};
    ensureTarget(small);
    // Each small pixel (x, y) samples the screen at (factor·x + left, factor·y + top).
    const xcb_render_transform_t transform{
        fixed(factor), 0, fixed(area.x()), 0, fixed(factor), fixed(area.y()), 0, 0, fixed(1)};
    xcb_render_set_picture_transform(m_connection, m_source, transform);
    xcb_render_composite(m_connection, XCB_RENDER_PICT_OP_SRC, m_source, XCB_NONE, m_target, 0, 0, 0, 0, 0, 0,
                         uint16_t(small.width()), uint16_t(small.height()));
    xcb_generic_error_t* error = nullptr;
    const Reply<xcb_get_image_reply_t> reply(
        xcb_get_image_reply(m_connection,
                            xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_pixmap, 0, 0,
                                          uint16_t(small.width()), uint16_t(small.height()), ~0U),
                            &error));
    std::free(error);
    const qsizetype bytes = qsizetype(small.width()) * small.height() * 4;
    if (!reply || xcb_get_image_data_length(reply.get()) < bytes)
        return {};
    QImage image(small, QImage::Format_RGB32);
    // 32-bit pixels in rows padded to 32 bits: the rows are exactly width × 4 bytes.
    for (int y = 0; y < small.height(); ++y)
        std::memcpy(image.scanLine(y), xcb_get_image_data(reply.get()) + qsizetype(y) * small.width() * 4,
                    size_t(small.width()) * 4);
    return image;
}

void ScreenGrabber::ensureTarget(QSize size)
{
    if (m_target && m_targetSize == size)
        return;
    releaseTarget();
    m_pixmap = xcb_generate_id(m_connection);
    xcb_create_pixmap(m_connection, m_depth, m_pixmap, m_root, uint16_t(size.width()),
                      uint16_t(size.height()));
    m_target = xcb_generate_id(m_connection);
    xcb_render_create_picture(m_connection, m_target, m_pixmap, m_format, 0, nullptr);
    m_targetSize = size;
}

void ScreenGrabber::releaseTarget()
{
    if (!m_target)
        return;
    xcb_render_free_picture(m_connection, m_target);
    xcb_free_pixmap(m_connection, m_pixmap);
    m_target = 0;
    m_pixmap = 0;
}
