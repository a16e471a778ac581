#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <utility>

// The running applications of the desktop session, each identified by its bundle identifier
// (the desktop-file ID), with the four events and the few actions Veilmark needs. Events arrive
// on the main thread in the order the desktop reported them.
class Workspace : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether running applications can be watched and hidden in this session. Decided when the
    // backend is chosen; app protection does not start when false, and stops for good when it turns
    // false later (supportChanged()).
    virtual bool isSupported() const = 0;
    // When not supported: what this session lacks and, where something can be done, what, in words
    // the Apps screen and the activity log show as they stand.
    virtual QString unsupportedReason() const { return {}; }
    // When not supported and Veilmark can do something about it (turn on its Shell extension): the
    // button's label; empty when nothing can be done from here.
    virtual QString remedy() const { return {}; }
    // Does it. The reason says what is left to do (log out and in, say) and supportChanged() follows.
    virtual void applyRemedy() {}
    // Every running application with a known bundle identifier, in the order they appeared.
    virtual QStringList runningApplications() const = 0;
    // Hides every window of the application / brings them back / brings it to the front.
    virtual void hide(const QString& bundleID) = 0;
    virtual void unhide(const QString& bundleID) = 0;
    virtual void activate(const QString& bundleID) = 0;
    // The running application's icon: its desktop entry's icon, else one of its windows' icons.
    virtual QImage icon(const QString& bundleID) const = 0;

protected:
    enum class Change
    {
        launched,
        activated,
        deactivated,
        terminated
    };
    // Backends queue what they learn and emit it from the event loop, never from inside a call of
    // the engine or of the window system's own dispatch.
    void queueChange(Change change, const QString& bundleID) { m_queued.emplace_back(change, bundleID); }
    bool hasQueuedChanges() const { return !m_queued.empty(); }
    void clearQueuedChanges() { m_queued.clear(); }
    // A slot may delete the workspace, or run a nested event loop that comes back in here; either way
    // every change is emitted exactly once and in order. False when the workspace is gone.
    bool emitQueuedChanges();

signals:
    // The reason or the remedy changed.
    void supportChanged();
    void didLaunch(const QString& bundleID);
    void didActivate(const QString& bundleID);
    void didDeactivate(const QString& bundleID);
    void didTerminate(const QString& bundleID);

private:
    std::deque<std::pair<Change, QString>> m_queued;
};
