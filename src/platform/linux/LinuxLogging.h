#pragma once

#include <QLoggingCategory>

// The journal categories of the Linux adapters, one per system service they talk to.
Q_DECLARE_LOGGING_CATEGORY(lcX11)     // veilmark.x11
Q_DECLARE_LOGGING_CATEGORY(lcKeyring) // veilmark.keyring
Q_DECLARE_LOGGING_CATEGORY(lcLogind)  // veilmark.logind
Q_DECLARE_LOGGING_CATEGORY(lcFprintd) // veilmark.fprintd
Q_DECLARE_LOGGING_CATEGORY(lcPam)     // veilmark.pam
Q_DECLARE_LOGGING_CATEGORY(lcDesktop) // veilmark.desktop: portal, autostart, single instance
