#pragma once

#include <QLoggingCategory>

// The journal categories of the core; the engines and the coordinator report to the activity log
// instead. A failure that the user cannot see in the window still leaves one line here. Debug
// lines are off unless QT_LOGGING_RULES turns them on.
Q_DECLARE_LOGGING_CATEGORY(lcIo)    // veilmark.io
Q_DECLARE_LOGGING_CATEGORY(lcStore) // veilmark.store
Q_DECLARE_LOGGING_CATEGORY(lcAuth)  // veilmark.auth
