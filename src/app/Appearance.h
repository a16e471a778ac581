#pragma once

#include <QObject>

// The desktop's colour-scheme preference, which the `system` appearance follows.
class Appearance : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether the desktop prefers a dark scheme; false when it states no preference.
    virtual bool desktopPrefersDark() = 0;

signals:
    void desktopPreferenceChanged();
};
