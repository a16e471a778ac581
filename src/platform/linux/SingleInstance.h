#pragma once

#include "VeilmarkBuild.h"

#include <QObject>

// One Veilmark per user session: the first instance owns the D-Bus name of the application ID;
// a later launch asks it to come forward and ends.
class SingleInstance : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", VEILMARK_APP_ID)

public:
    static inline const QString ServiceName = QStringLiteral(VEILMARK_APP_ID);

    explicit SingleInstance(QObject* parent = nullptr);

    // True when this process is the instance (or there is no session bus to ask); false when
    // another one runs and was asked to come forward.
    bool claim();

public slots:
    // Called over D-Bus by a second launch.
    Q_SCRIPTABLE void Activate();

signals:
    void activationRequested();
};
