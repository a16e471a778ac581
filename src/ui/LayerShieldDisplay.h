#pragma once

#include "OverlaySurfaces.h"
#include "apps/ShieldDisplay.h"

#include <QColor>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

class QObject;
class ShieldWindow;

// The shield where Qt cannot put a window above the others (Wayland): on the compositor's overlay
// surfaces, one per output. Each surface first shows an opaque backdrop, before any view is made,
// so that whatever it covers is hidden from the compositor's next frame on; then ShieldView, drawn
// off screen by the software scene graph (QQuickWindow::setGraphicsApi(Software) must be chosen
// before the first window), again whenever its scene changes. The surfaces' keys go to the
// view holding the prompt, else to the one whose surface has the keyboard; pointer events to the
// view they are over. Like ShieldWindows, everything but the surfaces' object goes when the shield
// goes down (once control is back in the event loop): views, their engines, surfaces and buffers.
class LayerShieldDisplay : public ShieldDisplay, private OverlaySurfaces::Observer
{
public:
    explicit LayerShieldDisplay(std::unique_ptr<OverlaySurfaces> surfaces);
    ~LayerShieldDisplay() override;

    int showWindows(ShieldModel& model) override;
    void hideWindows() override;
    void activateWindows() override;

    // The views of the shield that is up, in the order of the outputs; none while it is down.
    QList<ShieldWindow*> windows() const;
    OverlaySurfaces& surfaces() const { return *m_surfaces; }
    // What a surface shows from the moment the shield goes up until its view is drawn: the colour
    // ShieldView's background comes to without a picture of the screen.
    static QColor backdropColour();

private:
    struct Shield;

    void surfaceAdded(int surface) override;
    void surfaceRemoved(int surface) override;
    void surfaceResized(int surface) override;
    void bufferReleased(int surface) override;
    void frameShown(int surface) override;
    void inputEvent(int surface, QEvent& event) override;
    void keyboardEntered(int surface) override;
    void pointerEntered(int surface) override;

    // Presents the plain backdrop on `surface`, before its view exists.
    void showBackdrop(int surface);
    // Makes the view of `surface`, drawn on its next frame.
    void cover(int surface);
    Shield* find(int surface) const;
    void scheduleFrames();
    void drawFrames();
    // Draws the view into the surface's free buffer and presents it; false while it has none free.
    bool draw(Shield& shield);
    void retire(std::unique_ptr<Shield> shield);
    // The view that gets the keys: the one holding the prompt, else the one on the surface with
    // the keyboard (or clicked last), else the first.
    ShieldWindow* keyTarget() const;
    // Makes `window` the active one of the views, as the focused window would be.
    void focus(ShieldWindow* window);
    // The prompt opens on the output with the pointer, else on the first.
    void updatePromptPlace();

    std::unique_ptr<OverlaySurfaces> m_surfaces;
    std::vector<std::unique_ptr<Shield>> m_shields;
    QList<Shield*> m_retired;
    ShieldModel* m_model = nullptr;
    bool m_shown = false;
    // Taken down, the surfaces not closed yet.
    bool m_closePending = false;
    int m_keySurface = -1;
    int m_pointerSurface = -1;
    QPointer<ShieldWindow> m_focused;
    QTimer m_frameTimer;
    QElapsedTimer m_sinceFrame;
    // Receiver of the views' and render controls' signals; they stop when it goes.
    std::unique_ptr<QObject> m_context;
};
