#pragma once

#include "platform/wayland/ToplevelWorkspace.h"

#include <QDBusConnection>
#include <QHash>
#include <QString>

class QDBusMessage;

// The running applications of GNOME Shell, over the D-Bus interface of Veilmark's own Shell
// extension (org.veilmark.Shell1, data/dbus/org.veilmark.Shell1.xml): GNOME Shell offers its
// clients no Wayland protocol to watch or hide other windows. The extension lists every window with
// its app_id, process and focus; it minimizes and activates windows, and restores a minimized one
// only for the process that owns org.veilmark.Veilmark.
//
// Unsupported, with the reason, when the extension is not on the bus or its name is held by a
// process other than GNOME Shell's (a name anyone can take would let any process feed Veilmark
// false windows). When the extension leaves the bus later (turned off, GNOME Shell restarted),
// every application terminates and the workspace turns unsupported.
class GnomeShellWorkspace : public ToplevelWorkspace
{
    Q_OBJECT

public:
    static inline const QString ServiceName = QStringLiteral("org.veilmark.Shell");
    static inline const QString ObjectPath = QStringLiteral("/org/veilmark/Shell");
    static inline const QString Interface = QStringLiteral("org.veilmark.Shell1");
    static inline const QString ExtensionUuid = QStringLiteral("veilmark@veilmark.org");

    explicit GnomeShellWorkspace(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                 QObject* parent = nullptr);

    // GNOME Shell runs on this bus (whether or not the extension does).
    static bool isGnomeShell(const QDBusConnection& bus = QDBusConnection::sessionBus());

    bool isSupported() const override;
    QString unsupportedReason() const override;
    // Turning the extension on, where GNOME Shell has it but it is off.
    QString remedy() const override;
    void applyRemedy() override;

protected:
    void minimize(Window window) override;
    void unminimize(Window window) override;
    void activateWindow(Window window) override;

private slots:
    void windowListed(const QDBusMessage& message);
    void windowRemoved(quint64 id);
    void windowFocused(quint64 id);
    void extensionGone();

private:
    struct Diagnosis
    {
        QString reason;
        bool canEnable = false; // GNOME Shell has the extension, turned off
    };
    struct Facts
    {
        QString appId;
        quint32 pid = 0;
    };

    static Diagnosis diagnose(const QDBusConnection& bus);
    static QDBusMessage callShell(const QDBusConnection& bus, const QString& method);
    static bool installedOnDisk();
    bool connectSignals();
    void list(quint64 id, const QString& appId, quint32 pid, bool focused);
    void report(quint64 id);
    void call(const QString& method, Window window);
    static Window key(quint64 id);

    QDBusConnection m_bus;
    QString m_reason; // why it is unsupported; empty while the extension serves it
    bool m_canEnable = false;
    QHash<quint64, Facts> m_windows;
    quint64 m_focused = 0;
};
