#pragma once

#include "ScriptedServices.h"
#include "ShieldWindows.h"
#include "apps/AppProtectionEngine.h"
#include "apps/OverlayManager.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/linux/X11Workspace.h"

// Application protection on the real X server: the real workspace, entries and shield, a scripted
// authenticator and no keyring. Needs a QGuiApplication on an X display.
struct X11ProtectionRig : ScriptedServices
{
    X11Workspace workspace;
    DesktopEntryIndex installed;
    ShieldWindows display;
    OverlayManager overlay{display};
    AppProtectionEngine engine{policy, auth, sessions, overlay, log, workspace, installed};
};
