#pragma once

#include "VeilmarkBuild.h"

#include <QObject>

// One Veilmark per user session: the first instance owns the D-Bus name of the application ID;
// a later launch asks it to come forward and ends. When the name belongs to a process that does not
// answer as Veilmark does, this one runs without the name rather than leave nothing protected.
class SingleInstance : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", VEILMARK_APP_ID)

public:
    static inline const QString ServiceName = QStringLiteral(VEILMARK_APP_ID);
    // The object path of the application ID, as D-Bus convention has it: /org/example/App. Adaptors
    // made on this object (VeilmarkBus) are exported with it, whenever they are made.
    static inline const QString ObjectPath =
        QLatin1Char('/') + ServiceName.split(QLatin1Char('.')).join(QLatin1Char('/'));

    explicit SingleInstance(QObject* parent = nullptr);

    enum class Claim
    {
        // This process owns the name.
        owned,
        // Another Veilmark runs and came forward: this process should end.
        handedOver,
        // No name for this process (no session bus, a refusing bus, an owner that is not Veilmark);
        // it runs anyway, and problem() says why.
        runWithout,
    };

    // A second launch brings the running Veilmark's window forward; one in the background (at login)
    // only makes sure it answers.
    Claim claim(bool bringForward = true);
    // Why the name could not be owned, for stderr and the activity log; empty when all went as usual.
    const QString& problem() const { return m_problem; }

public slots:
    // Called over D-Bus by a second launch.
    Q_SCRIPTABLE void Activate();
    // Answers, and does nothing else.
    Q_SCRIPTABLE void Ping() {}

signals:
    void activationRequested();

private:
    QString m_problem;
};
