#include "VeilmarkVersion.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Qt aborts deep inside the platform plugin without a display; say it plainly instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("veilmark: no graphical display found (DISPLAY and WAYLAND_DISPLAY are unset); "
                   "start Veilmark inside a desktop session\n",
                   stderr);
        return 1;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Veilmark"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEILMARK_VERSION));

    const PolicyStore store;
    const EventLog log;
    std::printf("Veilmark %s: %lld apps and %lld folders in %s, %lld activity events\n", VEILMARK_VERSION,
                static_cast<long long>(store.apps().size()), static_cast<long long>(store.folders().size()),
                qPrintable(store.filePath()), static_cast<long long>(log.events().size()));
    return 0;
}
