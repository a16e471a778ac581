#include "ShieldWindow.h"

#include "apps/ShieldModel.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QScreen>

#include <xcb/xcb.h>

ShieldWindow::ShieldWindow(QScreen* screen, ShieldModel& model, QQmlEngine* engine)
    : QQuickView(engine, nullptr)
    , m_model(model)
{
    setScreen(screen);
    setTitle(QStringLiteral("Veilmark"));
    setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint | Qt::WindowStaysOnTopHint);
    setColor(Qt::black);
    setResizeMode(QQuickView::SizeRootObjectToView);
    connect(this, &QWindow::visibleChanged, this, &ShieldWindow::shownChanged);
}

ShieldWindow::ShieldWindow(QQuickRenderControl* control, ShieldModel& model)
    : QQuickView(QUrl(), control)
    , m_model(model)
    , m_offscreen(true)
{
    setTitle(QStringLiteral("Veilmark"));
    setColor(Qt::black);
    setResizeMode(QQuickView::SizeRootObjectToView);
}

void ShieldWindow::setShown(bool shown)
{
    if (!m_offscreen || shown == m_offscreenShown)
        return;
    m_offscreenShown = shown;
    emit shownChanged(shown);
}

void ShieldWindow::load(const QImage& backdrop)
{
    setInitialProperties(
        {{QStringLiteral("model"), QVariant::fromValue(&m_model)},
         // No picture of the screen (none is taken on Wayland): the material is its tint alone.
         {QStringLiteral("backdrop"), backdrop.isNull() ? QVariant::fromValue(nullptr) : QVariant(backdrop)},
         {QStringLiteral("prompt"), QVariant::fromValue(m_prompt.data())}});
    setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veilmark/qml/ShieldView.qml")));
}

void ShieldWindow::mousePressEvent(QMouseEvent* event)
{
    QQuickView::mousePressEvent(event);
    emit pressed();
}

void ShieldWindow::setPrompt(QObject* prompt, const QString& title)
{
    if (m_prompt == prompt)
        return;
    m_prompt = prompt;
    setTitle(prompt ? title : QStringLiteral("Veilmark"));
    if (QQuickItem* root = rootObject())
        root->setProperty("prompt", QVariant::fromValue(prompt));
    emit promptChanged();
}

void ShieldWindow::cover(bool fullScreen)
{
    setGeometry(screen()->geometry());
    if (fullScreen) {
        setFlags(Qt::Window | Qt::FramelessWindowHint);
        showFullScreen();
        return;
    }
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
