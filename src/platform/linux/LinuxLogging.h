#pragma once

#include <QLoggingCategory>

// The journal categories of the Linux adapters, one per kind of system service they talk to.
Q_DECLARE_LOGGING_CATEGORY(lcX11)     // veilmark.x11
Q_DECLARE_LOGGING_CATEGORY(lcKeyring) // veilmark.keyring
Q_DECLARE_LOGGING_CATEGORY(lcLogind)  // veilmark.logind
Q_DECLARE_LOGGING_CATEGORY(lcDesktop) // veilmark.desktop: the portal's colour scheme
