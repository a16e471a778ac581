#pragma once

#include <QString>

class Appearance;
class Authenticator;
class Clock;
class LoginItems;
class SecretStore;
class ShieldDisplay;
class SystemEvents;
class Workspace;

// The operating system as the coordinator sees it: one implementation of each interface, made
// by the entry point (or by a test, with fakes).
struct PlatformServices
{
    Clock& clock;
    Authenticator& authenticator;
    SecretStore& secrets;
    Workspace& workspace;
    ShieldDisplay& shieldDisplay;
    SystemEvents& systemEvents;
    LoginItems& loginItems;
    Appearance& appearance;
    QString homePath;
    QString dataDirectory;
};
