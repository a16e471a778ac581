#include "MainWindow.h"

#include "ViewContext.h"

#include <QKeyEvent>

MainWindow::MainWindow(ViewContext& context, QWindow* parent)
    : QQuickView(parent)
{
    setTitle(QStringLiteral("Veilmark"));
    // The window manager draws the title bar and the window controls, as for every other
    // window of the desktop.
    setFlags(Qt::Window);
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
    // Ctrl+W closes the window, as in most desktop applications; Veilmark stays in the tray.
    if (event->matches(QKeySequence::Close)) {
        event->accept();
        close();
        return;
    }
    QQuickView::keyPressEvent(event);
}
