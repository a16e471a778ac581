#include "io/Logging.h"

Q_LOGGING_CATEGORY(lcIo, "veilmark.io")
Q_LOGGING_CATEGORY(lcStore, "veilmark.store")
Q_LOGGING_CATEGORY(lcAuth, "veilmark.auth")
Q_LOGGING_CATEGORY(lcApps, "veilmark.apps")
Q_LOGGING_CATEGORY(lcFolders, "veilmark.folders")
Q_LOGGING_CATEGORY(lcApp, "veilmark.app")
