#include "platform/linux/LinuxLogging.h"

Q_LOGGING_CATEGORY(lcX11, "veilmark.x11", QtInfoMsg)
Q_LOGGING_CATEGORY(lcKeyring, "veilmark.keyring", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLogind, "veilmark.logind", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDesktop, "veilmark.desktop", QtInfoMsg)
