#pragma once

#include "model/ProtectedApp.h"
#include "model/ProtectedFolder.h"

#include <QObject>
#include <QString>

#include <functional>

class AppProtectionEngine;
class AuthenticationService;
class EventLog;
class FolderProtectionEngine;
class PolicyStore;

// Every change that weakens protection, each made only after the user proves presence: turning
// an application's protection off, removing an application or a folder, turning off a relock
// setting, clearing the activity log, and quitting while anything is protected. Cancelled or
// failed, nothing changes; either way the attempt is recorded. Strengthening needs no proof.
class ProtectionChanges : public QObject
{
    Q_OBJECT

public:
    enum class RelockSetting
    {
        onSleepOrScreenLock,
        appsOnFocusLoss,
    };

    ProtectionChanges(PolicyStore& policy, AuthenticationService& auth, EventLog& log,
                      AppProtectionEngine& apps, FolderProtectionEngine& folders, QObject* parent = nullptr);

    void setAppProtection(const ProtectedApp& app, bool enabled);
    void removeApp(const ProtectedApp& app);
    void removeFolder(const ProtectedFolder& folder);
    void setRelockSetting(RelockSetting setting, bool on);
    void clearLog();
    // `quitNow` ends the process (through the quit path that relocks everything); asked for
    // proof first only while something is protected.
    void quit(const std::function<void()>& quitNow);

private:
    // Runs `change` after a successful prompt with `reason` ("remove protection from Work");
    // otherwise records `subject` with "Not changed — <why>".
    void withProof(const QString& reason, const QString& subject, const std::function<void()>& change);

    PolicyStore& m_policy;
    AuthenticationService& m_auth;
    EventLog& m_log;
    AppProtectionEngine& m_apps;
    FolderProtectionEngine& m_folders;
};
