#include "Workspace.h"

#include <QPointer>

bool Workspace::emitQueuedChanges()
{
    const QPointer<Workspace> alive(this);
    while (!m_queued.empty()) {
        const auto [change, id] = std::move(m_queued.front());
        m_queued.pop_front();
        switch (change) {
        case Change::launched:
            emit didLaunch(id);
            break;
        case Change::activated:
            emit didActivate(id);
            break;
        case Change::deactivated:
            emit didDeactivate(id);
            break;
        case Change::terminated:
            emit didTerminate(id);
            break;
        }
        if (!alive)
            return false;
    }
    return true;
}
