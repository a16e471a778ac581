#include "io/Logging.h"

Q_LOGGING_CATEGORY(lcIo, "veilmark.io", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStore, "veilmark.store", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAuth, "veilmark.auth", QtInfoMsg)
