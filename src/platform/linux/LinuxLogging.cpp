#include "platform/linux/LinuxLogging.h"

Q_LOGGING_CATEGORY(lcX11, "veilmark.x11")
Q_LOGGING_CATEGORY(lcKeyring, "veilmark.keyring")
Q_LOGGING_CATEGORY(lcLogind, "veilmark.logind")
Q_LOGGING_CATEGORY(lcFprintd, "veilmark.fprintd")
Q_LOGGING_CATEGORY(lcPam, "veilmark.pam")
Q_LOGGING_CATEGORY(lcDesktop, "veilmark.desktop")
