#pragma once

#include <QImage>
#include <QPointer>
#include <QQuickView>

class QQmlEngine;
class QQuickRenderControl;
class ShieldModel;

// One screen's shield: a window covering the whole screen, showing ShieldView over the shared
// model and a blurred image of what the screen showed just before. Like a screen locker's, it is
// not managed by the window manager, so it sits exactly over its screen, above the windows there,
// and stays whatever virtual desktop is shown. One of them at a time holds the prompt in its card.
class ShieldWindow : public QQuickView
{
    Q_OBJECT

public:
    ShieldWindow(QScreen* screen, ShieldModel& model, QQmlEngine* engine);
    // A shield never shown by Qt: `control` renders it off screen, for a compositor's overlay
    // surface to show. It has an engine of its own, as a view drawn through a render control must.
    ShieldWindow(QQuickRenderControl* control, ShieldModel& model);

    // Whether it covers its screen: mapped, or (drawn off screen) on its overlay surface.
    bool isShown() const { return m_offscreen ? m_offscreenShown : isVisible(); }
    // For a shield drawn off screen, set by whoever shows its frames.
    void setShown(bool shown);
    // The shield to hold the next prompt (the one under the pointer), when whoever shows the
    // shields knows better than the pointer's position in Qt.
    bool prefersPrompt() const { return m_prefersPrompt; }
    void setPrefersPrompt(bool prefers) { m_prefersPrompt = prefers; }

    ShieldModel& model() const { return m_model; }

    // Maps the window over its screen's whole area, before its view is made: until its first frame
    // the screen shows what was there.
    // `fullScreen`: asked of the window manager as a full-screen window on its screen, where a
    // window cannot place itself (Wayland).
    void cover(bool fullScreen = false);
    // Makes the view (ShieldView) over `backdrop`, once the window is mapped.
    void load(const QImage& backdrop);
    // Sends every key to this window (and to Veilmark's other windows) until releaseKeyboard(), so
    // the application behind the shield cannot be typed into.
    bool grabKeyboard();
    void releaseKeyboard();

    // Shows `prompt` (a PresencePromptWindow) in this window's card, or none; `title` names the
    // window while it does, for assistive technology.
    void setPrompt(QObject* prompt, const QString& title = {});
    QObject* prompt() const { return m_prompt; }

signals:
    void pressed();
    void promptChanged();
    void shownChanged(bool shown);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    ShieldModel& m_model;
    QPointer<QObject> m_prompt;
    bool m_offscreen = false;
    bool m_offscreenShown = false;
    bool m_prefersPrompt = false;
};
