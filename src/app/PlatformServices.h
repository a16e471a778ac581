#pragma once

#include <QString>

class Appearance;
class Authenticator;
class Clock;
class InstalledApps;
class LoginItems;
class SecretStore;
class ShieldDisplay;
class SystemEvents;
class Workspace;

// The operating system as the coordinator sees it: one implementation of each interface, chosen
// once by the entry point (or by a test, with fakes). `workspace` and `shieldDisplay` are one
// window-system backend; when the workspace is not supported, app protection stays off.
struct PlatformServices
{
    Clock& clock;
    Authenticator& authenticator;
    SecretStore& secrets;
    Workspace& workspace;
    ShieldDisplay& shieldDisplay;
    InstalledApps& installedApps;
    SystemEvents& systemEvents;
    LoginItems& loginItems;
    Appearance& appearance;
    QString homePath;
    QString dataDirectory;
};
