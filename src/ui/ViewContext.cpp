#include "ViewContext.h"

#include "AppListModel.h"
#include "DesktopEntryModel.h"
#include "DirectoryModel.h"
#include "EventListModel.h"
#include "FolderListModel.h"
#include "SettingsModel.h"
#include "VeilmarkVersion.h"
#include "app/AppState.h"
#include "platform/Workspace.h"

#include <QCoreApplication>

ViewContext::ViewContext(AppState& state, Authenticator* authenticator, Workspace* workspace,
                         const QString& homePath, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_apps(new AppListModel(state, workspace, false, this))
    , m_enabledApps(new AppListModel(state, workspace, true, this))
    , m_folders(new FolderListModel(state, homePath, false, this))
    , m_enabledFolders(new FolderListModel(state, homePath, true, this))
    , m_events(new EventListModel(*state.log(), this))
    , m_settings(new SettingsModel(state, authenticator, this))
    , m_installedApps(new DesktopEntryModel(this))
    , m_directories(new DirectoryModel(homePath, this))
    , m_appProtectionSupported(!isWaylandSession() && workspace && workspace->isSupported())
{}

ViewContext::~ViewContext() = default;

QString ViewContext::version()
{
    return QStringLiteral(VEILMARK_VERSION);
}

bool ViewContext::isWaylandSession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

void ViewContext::lockEverything(const QString& reason)
{
    m_state.relockEverything(reason);
}

void ViewContext::quit()
{
    QCoreApplication::quit();
}
