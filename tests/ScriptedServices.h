#pragma once

#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSecretStore.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

// What a protection engine stands on, with a scripted authenticator, no keyring and a clock that
// moves when told: the start of a rig around a real workspace and shield. The stores live in the
// data directory XDG_DATA_HOME names when this is made.
struct ScriptedServices
{
    FakeClock clock;
    FakeAuthenticator authenticator;
    FakeSecretStore secrets;
    KeychainService keychain{secrets};
    PolicyStore policy;
    EventLog log;
    SessionManager sessions{clock};
    AuthenticationService auth{authenticator, keychain};
};
