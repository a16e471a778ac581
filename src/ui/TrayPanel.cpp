#include "TrayPanel.h"

#include "ViewContext.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QScreen>

TrayPanel::TrayPanel(ViewContext& context, QWindow* parent)
    : QQuickView(parent)
{
    setTitle(QStringLiteral("Veilmark"));
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setColor(Qt::transparent);
    setResizeMode(QQuickView::SizeViewToRootObject);
    setInitialProperties({{QStringLiteral("context"), QVariant::fromValue(&context)}});
    setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veilmark/qml/MenuBarView.qml")));
    if (QQuickItem* root = rootObject())
        connect(root, SIGNAL(dismissed()), this, SLOT(hide()));
    // Opening the main window from the panel hides the panel first.
    connect(&context, &ViewContext::mainWindowRequested, this, &QWindow::hide);
}

void TrayPanel::popUp(const QRect& anchor)
{
    QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    const QSize size(width(), height());
    // Below the icon when it sits at the top of the screen, above it otherwise.
    QPoint position(anchor.center().x() - size.width() / 2, anchor.bottom() + 6);
    if (anchor.center().y() > area.center().y())
        position.setY(anchor.top() - size.height() - 6);
    position.setX(std::clamp(position.x(), area.left() + 4,
                             std::max(area.left() + 4, area.right() - size.width() - 4)));
    position.setY(std::clamp(position.y(), area.top() + 4,
                             std::max(area.top() + 4, area.bottom() - size.height() - 4)));
    if (screen)
        setScreen(screen);
    setPosition(position);
    show();
    raise();
    requestActivate();
    if (QQuickItem* root = rootObject())
        root->forceActiveFocus();
}

bool TrayPanel::event(QEvent* event)
{
    // A click elsewhere takes the focus away: the panel goes, like a menu.
    if (event->type() == QEvent::FocusOut && isVisible())
        hide();
    return QQuickView::event(event);
}
