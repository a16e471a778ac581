#pragma once

#include <QQuickView>

class ViewContext;

// The tray icon's panel (MenuBarView): a frameless window next to the icon that goes away when
// it loses focus or Escape is pressed.
class TrayPanel : public QQuickView
{
    Q_OBJECT

public:
    explicit TrayPanel(ViewContext& context, QWindow* parent = nullptr);

    // Shows the panel next to `anchor` (the icon's area, or the pointer), inside that screen.
    void popUp(const QRect& anchor);

protected:
    bool event(QEvent* event) override;
};
