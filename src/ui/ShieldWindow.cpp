#include "ShieldWindow.h"

#include "apps/ShieldModel.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QScreen>

#include <xcb/xcb.h>

ShieldWindow::ShieldWindow(QScreen* screen, ShieldModel& model)
{
    setScreen(screen);
    setTitle(QStringLiteral("Veilmark"));
    setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint | Qt::WindowStaysOnTopHint);
    setColor(Qt::black);
    setResizeMode(QQuickView::SizeRootObjectToView);
    setInitialProperties({{QStringLiteral("model"), QVariant::fromValue(&model)}});
    setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veilmark/qml/ShieldView.qml")));
}

void ShieldWindow::mousePressEvent(QMouseEvent* event)
{
    QQuickView::mousePressEvent(event);
    emit pressed();
}

void ShieldWindow::setBackdrop(const QImage& backdrop)
{
    if (QQuickItem* root = rootObject())
        root->setProperty("backdrop", backdrop);
}

void ShieldWindow::cover()
{
    setGeometry(screen()->geometry());
    show();
    raise();
}

bool ShieldWindow::grabKeyboard()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return false;
    xcb_connection_t* connection = x11->connection();
    // owner_events: keys meant for Veilmark's own windows still reach them.
    const auto cookie = xcb_grab_keyboard(connection, 1, static_cast<xcb_window_t>(winId()), XCB_CURRENT_TIME,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(connection, cookie, nullptr);
    const bool grabbed = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    free(reply);
    return grabbed;
}

void ShieldWindow::releaseKeyboard()
{
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_ungrab_keyboard(x11->connection(), XCB_CURRENT_TIME);
        xcb_flush(x11->connection());
    }
}
