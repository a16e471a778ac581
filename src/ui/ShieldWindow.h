#pragma once

#include <QImage>
#include <QQuickView>

class ShieldModel;

// One screen's shield: a window covering the whole screen, showing ShieldView over the shared
// model and a blurred image of what the screen showed just before. Like a screen locker's, it is
// not managed by the window manager, so it sits exactly over its screen, above the windows there,
// and stays whatever virtual desktop is shown.
class ShieldWindow : public QQuickView
{
    Q_OBJECT

public:
    ShieldWindow(QScreen* screen, ShieldModel& model);

    void setBackdrop(const QImage& backdrop);
    // Maps the window over its screen's whole area.
    void cover();
    // Sends every key to this window (and to Veilmark's other windows, such as the prompt) until
    // releaseKeyboard(), so the application behind the shield cannot be typed into.
    bool grabKeyboard();
    void releaseKeyboard();

signals:
    void pressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
