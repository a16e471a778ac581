#include "ViewContext.h"

#include "AppListModel.h"
#include "DesktopEntryModel.h"
#include "DirectoryModel.h"
#include "EventListModel.h"
#include "FolderListModel.h"
#include "SettingsModel.h"
#include "TrayListModel.h"
#include "VeilmarkBuild.h"
#include "app/AppState.h"
#include "app/ProtectionChanges.h"
#include "apps/AppProtectionEngine.h"

#include <QCoreApplication>

ViewContext::ViewContext(AppState& state, const QString& homePath, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_apps(new AppListModel(state, false, this))
    , m_enabledApps(new AppListModel(state, true, this))
    , m_folders(new FolderListModel(state, homePath, false, this))
    , m_enabledFolders(new FolderListModel(state, homePath, true, this))
    , m_trayRows(new TrayListModel(state, this))
    , m_events(new EventListModel(*state.log(), *state.changes(), this))
    , m_settings(new SettingsModel(state, this))
    , m_installedApps(new DesktopEntryModel(state.appEngine()->installedApps(), this))
    , m_directories(new DirectoryModel(homePath, this))
{
    connect(&state, &AppState::storageNoticeChanged, this, &ViewContext::storageNoticeChanged);
    connect(&state, &AppState::appProtectionChanged, this, &ViewContext::appProtectionChanged);
}

ViewContext::~ViewContext() = default;

QString ViewContext::version()
{
    return QStringLiteral(VEILMARK_VERSION);
}

bool ViewContext::appProtectionSupported() const
{
    return m_state.appProtectionSupported();
}

QString ViewContext::appProtectionProblem() const
{
    return m_state.appProtectionProblem();
}

QString ViewContext::appProtectionRemedy() const
{
    return m_state.appProtectionRemedy();
}

void ViewContext::applyAppProtectionRemedy()
{
    m_state.applyAppProtectionRemedy();
}

QString ViewContext::storageNotice() const
{
    return m_state.storageNotice();
}

void ViewContext::lockEverything(const QString& reason)
{
    m_state.relockEverything(reason);
}

void ViewContext::quit()
{
    m_state.changes()->quit([] { QCoreApplication::quit(); });
}
