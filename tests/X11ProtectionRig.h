#pragma once

#include "ShieldWindows.h"
#include "apps/AppProtectionEngine.h"
#include "apps/OverlayManager.h"
#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSecretStore.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/linux/X11Workspace.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

// Application protection on the real X server: the real workspace, entries and shield, a scripted
// authenticator and no keyring. Needs a QGuiApplication on an X display.
struct X11ProtectionRig
{
    FakeClock clock;
    FakeAuthenticator authenticator;
    FakeSecretStore secrets;
    KeychainService keychain{secrets};
    PolicyStore policy;
    EventLog log;
    SessionManager sessions{clock};
    AuthenticationService auth{authenticator, keychain};
    X11Workspace workspace;
    DesktopEntryIndex installed;
    ShieldWindows display;
    OverlayManager overlay{display};
    AppProtectionEngine engine{policy, auth, sessions, overlay, log, workspace, installed};
};
