#pragma once

#include <QLoggingCategory>

// The journal category of the windows and views.
Q_DECLARE_LOGGING_CATEGORY(lcUi) // veilmark.ui
