#include "MainWindow.h"

#include "ViewContext.h"

#include <QKeyEvent>
#include <QSurfaceFormat>

MainWindow::MainWindow(ViewContext& context, QWindow* parent)
    : QQuickView(parent)
{
    setTitle(QStringLiteral("Veilmark"));
    setFlags(Qt::Window | Qt::FramelessWindowHint);
    // The corners outside the panel's radius are see-through where a compositor runs.
    QSurfaceFormat surface = format();
    surface.setAlphaBufferSize(8);
    setFormat(surface);
    setColor(Qt::transparent);
    setMinimumSize(QSize(DefaultWidth, DefaultHeight));
    resize(DefaultWidth, DefaultHeight);
    setResizeMode(QQuickView::SizeRootObjectToView);
    setInitialProperties({{QStringLiteral("context"), QVariant::fromValue(&context)}});
    setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veilmark/qml/MainView.qml")));
}

void MainWindow::bringForward()
{
    if (windowStates().testFlag(Qt::WindowMinimized))
        setWindowStates(windowStates() & ~Qt::WindowMinimized);
    show();
    raise();
    requestActivate();
}

bool MainWindow::event(QEvent* event)
{
    if (event->type() == QEvent::Close) {
        const bool handled = QQuickView::event(event);
        if (event->isAccepted())
            emit closed();
        return handled;
    }
    return QQuickView::event(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Without a title bar, Ctrl+W is the keyboard's way to close the window.
    if (event->matches(QKeySequence::Close)) {
        event->accept();
        close();
        return;
    }
    QQuickView::keyPressEvent(event);
}
