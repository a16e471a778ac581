#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into one Qt signal on the main thread, so that every way of
// ending the process goes through the same quit path (which relocks everything first). The
// handler itself only writes a byte to a pipe: nothing else is safe inside a signal handler.
class SignalHandler : public QObject
{
    Q_OBJECT

public:
    explicit SignalHandler(QObject* parent = nullptr);
    ~SignalHandler() override;

signals:
    void quitRequested(int signalNumber);

private:
    void onReadable();

    QSocketNotifier* m_notifier = nullptr;
};
