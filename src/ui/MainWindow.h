#pragma once

#include <QQuickView>

class ViewContext;

// The main window: frameless and transparent, so that MainView draws its own rounded glass panel
// to the window's edges; moved by dragging the panel. 880 × 600 by default and at the least.
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
