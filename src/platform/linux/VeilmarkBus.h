#pragma once

#include <QDBusAbstractAdaptor>
#include <QTimer>

class AppState;
class SingleInstance;

// Veilmark's interface on the session bus (data/dbus/org.veilmark.Veilmark1.xml), at the name and
// object SingleInstance owns. It offers only what keeps or shows protection: lock everything,
// report the state, show the window. Nothing that unlocks, removes or turns off protection.
class VeilmarkBus : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.veilmark.Veilmark1")
    // As in data/dbus/org.veilmark.Veilmark1.xml, which documents it (TestCommandLine compares them).
    Q_CLASSINFO("D-Bus Introspection", "  <interface name=\"org.veilmark.Veilmark1\">\n"
                                       "    <method name=\"LockEverything\"/>\n"
                                       "    <method name=\"Status\">\n"
                                       "      <arg name=\"report\" type=\"s\" direction=\"out\"/>\n"
                                       "    </method>\n"
                                       "    <method name=\"ShowWindow\"/>\n"
                                       "    <signal name=\"StateChanged\"/>\n"
                                       "  </interface>\n")

public:
    static inline const QString Interface = QStringLiteral("org.veilmark.Veilmark1");

    // Exported with `instance`, whose object on the bus it joins.
    VeilmarkBus(SingleInstance& instance, AppState& state);

public slots:
    void LockEverything();
    // The StatusReport in its JSON form.
    QString Status();
    void ShowWindow();

private:
    // Sends StateChanged, coalesced: one for the changes of one turn of the event loop. Sent as a
    // message of its own: an adaptor made after its object was registered relays no Qt signals.
    void sendStateChanged();

    SingleInstance& m_instance;
    AppState& m_state;
    QTimer m_changed;
};
