#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class AppState;

// What the Settings page shows and changes. Every read goes to the store, the coordinator or
// the platform afresh, so the page always shows current values; `changed` asks it to read again.
class SettingsModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the view context")
    Q_PROPERTY(QString appearance READ appearance NOTIFY changed)
    Q_PROPERTY(
        bool relockAppsOnFocusLoss READ relockAppsOnFocusLoss WRITE setRelockAppsOnFocusLoss NOTIFY changed)
    Q_PROPERTY(bool relockOnSleepOrScreenLock READ relockOnSleepOrScreenLock WRITE
                   setRelockOnSleepOrScreenLock NOTIFY changed)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY changed)
    Q_PROPERTY(int defaultFolderUnlockMinutes READ defaultFolderUnlockMinutes NOTIFY changed)
    Q_PROPERTY(bool fingerprintAvailable READ fingerprintAvailable NOTIFY changed)
    Q_PROPERTY(QString biometryName READ biometryName NOTIFY changed)

public:
    static constexpr int MinimumMinutes = 1;
    static constexpr int MaximumMinutes = 120;

    explicit SettingsModel(AppState& state, QObject* parent = nullptr);

    QString appearance() const;
    bool relockAppsOnFocusLoss() const;
    void setRelockAppsOnFocusLoss(bool on);
    bool relockOnSleepOrScreenLock() const;
    void setRelockOnSleepOrScreenLock(bool on);
    // The login item's registration, not the stored flag: a failed registration shows as off.
    bool launchAtLogin() const;
    void setLaunchAtLogin(bool on);
    int defaultFolderUnlockMinutes() const;
    bool fingerprintAvailable() const;
    QString biometryName() const;

    // Calls the coordinator even when `mode` is already the stored one (it saves again).
    Q_INVOKABLE void setAppearance(const QString& mode);
    // Steps from the shown value and stores the result clamped to 1…120.
    Q_INVOKABLE void stepMinutes(int delta);
    Q_INVOKABLE void refresh() { emit changed(); }

signals:
    void changed();

private:
    AppState& m_state;
};
