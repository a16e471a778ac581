#pragma once

#include <QQuickView>

class ViewContext;

// The main window, in the desktop's own decorations (title bar, window controls, moving and
// resizing by the window manager); MainView fills it. 880 × 600 by default and at the least.
class MainWindow : public QQuickView
{
    Q_OBJECT

public:
    static constexpr int DefaultWidth = 880;
    static constexpr int DefaultHeight = 600;

    explicit MainWindow(ViewContext& context, QWindow* parent = nullptr);

    void bringForward();

signals:
    // The user closed the window (the process goes on in the tray).
    void closed();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
