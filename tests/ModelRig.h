#pragma once

#include "TestDataHome.h"
#include "app/AppState.h"
#include "auth/KeychainService.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAppearance.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeInstalledApps.h"
#include "fakes/FakeLoginItems.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeShieldDisplay.h"
#include "fakes/FakeSystemEvents.h"
#include "fakes/FakeWorkspace.h"
#include "io/AccessControlLock.h"
#include "io/DataDirectory.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QTemporaryDir>

#include <memory>

// The real coordinator with fakes of every platform service, a temporary data directory and home:
// what the view models sit on. Benchmarks put the real desktop-entry index in as `Installed`.
template <typename Installed>
struct BasicModelRig
{
    TestDataHome data;
    QTemporaryDir home;
    FakeClock clock;
    FakeAuthenticator authenticator;
    FakeSecretStore secrets;
    FakeWorkspace workspace;
    FakeShieldDisplay display;
    Installed installed;
    FakeSystemEvents system;
    ScriptedLoginItems loginItems;
    FakeAppearance appearance;
    std::unique_ptr<AppState> state;

    explicit BasicModelRig(bool appsSupported = true)
    {
        workspace.supported = appsSupported;
        state = std::make_unique<AppState>(PlatformServices{clock, authenticator, secrets, workspace, display,
                                                            installed, system, loginItems, appearance,
                                                            home.path(), DataDirectory::path()});
        state->keychain()->ensureVaultToken();
    }

    ~BasicModelRig()
    {
        // Owner bits back on every protected directory, so the temporary home can be removed.
        for (const ProtectedFolder& folder : state->policy()->folders())
            AccessControlLock::unlockAndVerify(folder.path);
    }

    PolicyStore& policy() const { return *state->policy(); }
    SessionManager& sessions() const { return *state->sessions(); }
    EventLog& log() const { return *state->log(); }
};

using ModelRig = BasicModelRig<FakeInstalledApps>;

inline ProtectedApp testApp(const QString& id, const QString& name, bool enabled = true)
{
    return {id, name, "/usr/share/applications/" + id + ".desktop", enabled, true};
}

inline ProtectedFolder testFolder(const QString& path, bool locked, bool enabled = true)
{
    return {QUuid::createUuid(), path, path.section('/', -1), enabled, locked, 10};
}
