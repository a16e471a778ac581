#pragma once

#include <QList>
#include <QSize>
#include <QString>

class QEvent;
class QImage;
class QRegion;

// Surfaces the compositor keeps above every window, one per output, holding the keyboard while
// they are up: what the shield is drawn on where Qt cannot put a window of its own above the
// others (Wayland). Surfaces are numbered; a number is not used again while Veilmark runs.
class OverlaySurfaces
{
public:
    // What happens to the surfaces, told on the thread that opened them. Only input (the keyboard
    // and the pointer entering) may be told from within open().
    class Observer
    {
    public:
        // An output came while the surfaces are up: its surface is sized and waits for a frame.
        virtual void surfaceAdded(int surface) = 0;
        // Its output went, or the compositor took the surface down; its buffers are gone.
        virtual void surfaceRemoved(int surface) = 0;
        // The compositor gave it another size: the next frame must have that size.
        virtual void surfaceResized(int surface) = 0;
        // The compositor let go of one of its buffers: a frame waiting for one can be drawn.
        virtual void bufferReleased(int surface) = 0;
        // The compositor showed the frame presented last.
        virtual void frameShown(int surface) = 0;
        // A key (for the surface with the keyboard), mouse or wheel event in surface coordinates.
        virtual void inputEvent(int surface, QEvent& event) = 0;
        // The surface the keyboard (pointer) is on, -1 for none of them.
        virtual void keyboardEntered(int surface) = 0;
        virtual void pointerEntered(int surface) = 0;

    protected:
        ~Observer() = default;
    };

    virtual ~OverlaySurfaces() = default;

    virtual void setObserver(Observer* observer) = 0;
    // Puts a surface on every output (and on every output that comes until close()), and waits
    // until the compositor has sized them. Returns those it has, in the order of the outputs:
    // none when it offers no overlay (problem() says why).
    virtual QList<int> open() = 0;
    // Takes every surface down, with its buffers.
    virtual void close() = 0;
    virtual QList<int> surfaces() const = 0;
    virtual QSize size(int surface) const = 0;
    // A buffer of the surface's size for the next frame, holding an older frame (or garbage);
    // nullptr while the compositor holds every buffer of the surface.
    virtual QImage* buffer(int surface) = 0;
    // Shows the buffer buffer() returned last; `damage` is what differs from the frame shown before.
    virtual void present(int surface, const QRegion& damage) = 0;
    // Why there are no surfaces; empty when they can be opened.
    virtual QString problem() const = 0;
};
