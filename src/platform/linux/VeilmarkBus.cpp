#include "platform/linux/VeilmarkBus.h"

#include "app/AppState.h"
#include "app/StatusReport.h"
#include "auth/SessionManager.h"
#include "folders/FolderProtectionEngine.h"
#include "platform/linux/SingleInstance.h"
#include "store/PolicyStore.h"

#include <QDBusConnection>
#include <QDBusMessage>

VeilmarkBus::VeilmarkBus(SingleInstance& instance, AppState& state)
    : QDBusAbstractAdaptor(&instance)
    , m_instance(instance)
    , m_state(state)
{
    m_changed.setSingleShot(true);
    m_changed.setInterval(0);
    connect(&m_changed, &QTimer::timeout, this, &VeilmarkBus::sendStateChanged);
    const auto changed = [this] { m_changed.start(); };
    connect(state.policy(), &PolicyStore::appsChanged, this, changed);
    connect(state.policy(), &PolicyStore::foldersChanged, this, changed);
    connect(state.folderEngine(), &FolderProtectionEngine::statusChanged, this, changed);
    connect(state.sessions(), &SessionManager::unlockedAppsChanged, this, changed);
    connect(state.sessions(), &SessionManager::folderDeadlinesChanged, this, changed);
}

void VeilmarkBus::LockEverything()
{
    m_state.relockEverything(tr("Command-line lock-all"));
}

QString VeilmarkBus::Status()
{
    return QString::fromUtf8(StatusReport::of(m_state).toJson());
}

void VeilmarkBus::ShowWindow()
{
    m_instance.Activate();
}

void VeilmarkBus::sendStateChanged()
{
    QDBusConnection::sessionBus().send(
        QDBusMessage::createSignal(SingleInstance::ObjectPath, Interface, QStringLiteral("StateChanged")));
}
