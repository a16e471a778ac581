#pragma once

#include <QObject>

// The three moments at which everything must relock: the computer going to sleep, the user
// session being switched away, and the screen locking; and the end of the session (the computer
// shutting down, the session being removed), on which Veilmark quits, relocking everything. Signals arrive on
// the main thread; a handler that relocks synchronously is done before the computer is allowed to sleep.
class SystemEvents : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Subscribes to the sources; a source that is not there is not an error, its events never come.
    virtual void start() = 0;

signals:
    void goingToSleep();
    void sessionSwitched();
    void screenLocked();
    void sessionEnding();
};
