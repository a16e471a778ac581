#include "UiLogging.h"

Q_LOGGING_CATEGORY(lcUi, "veilmark.ui", QtInfoMsg)
