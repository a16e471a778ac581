#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class AppListModel;
class AppState;
class DesktopEntryModel;
class DirectoryModel;
class EventListModel;
class FolderListModel;
class SettingsModel;
class TrayListModel;
Q_MOC_INCLUDE("AppListModel.h")
Q_MOC_INCLUDE("DesktopEntryModel.h")
Q_MOC_INCLUDE("DirectoryModel.h")
Q_MOC_INCLUDE("EventListModel.h")
Q_MOC_INCLUDE("FolderListModel.h")
Q_MOC_INCLUDE("SettingsModel.h")
Q_MOC_INCLUDE("TrayListModel.h")

// Everything the main window and the tray panel show, shared by both so that a change made in
// one shows in the other at once: the coordinator, the list models over its stores, and the few
// facts about the platform the views need.
class ViewContext : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the entry point")
    Q_PROPERTY(AppListModel* apps READ apps CONSTANT)
    Q_PROPERTY(AppListModel* enabledApps READ enabledApps CONSTANT)
    Q_PROPERTY(FolderListModel* folders READ folders CONSTANT)
    Q_PROPERTY(FolderListModel* enabledFolders READ enabledFolders CONSTANT)
    // The tray panel's rows: enabledApps, then enabledFolders, in one list.
    Q_PROPERTY(TrayListModel* trayRows READ trayRows CONSTANT)
    Q_PROPERTY(EventListModel* events READ events CONSTANT)
    Q_PROPERTY(SettingsModel* settings READ settings CONSTANT)
    Q_PROPERTY(DesktopEntryModel* installedApps READ installedApps CONSTANT)
    Q_PROPERTY(DirectoryModel* directories READ directories CONSTANT)
    Q_PROPERTY(bool appProtectionSupported READ appProtectionSupported NOTIFY appProtectionChanged)
    Q_PROPERTY(QString appProtectionProblem READ appProtectionProblem NOTIFY appProtectionChanged)
    Q_PROPERTY(QString appProtectionRemedy READ appProtectionRemedy NOTIFY appProtectionChanged)
    Q_PROPERTY(QString version READ version CONSTANT)
    // One line about stored documents the window must not hide: unreadable, kept aside, or not saved.
    Q_PROPERTY(QString storageNotice READ storageNotice NOTIFY storageNoticeChanged)

public:
    ViewContext(AppState& state, const QString& homePath, QObject* parent = nullptr);
    ~ViewContext() override;

    AppState* state() const { return &m_state; }
    AppListModel* apps() const { return m_apps; }
    AppListModel* enabledApps() const { return m_enabledApps; }
    FolderListModel* folders() const { return m_folders; }
    FolderListModel* enabledFolders() const { return m_enabledFolders; }
    TrayListModel* trayRows() const { return m_trayRows; }
    EventListModel* events() const { return m_events; }
    SettingsModel* settings() const { return m_settings; }
    DesktopEntryModel* installedApps() const { return m_installedApps; }
    DirectoryModel* directories() const { return m_directories; }
    bool appProtectionSupported() const;
    QString appProtectionProblem() const;
    QString appProtectionRemedy() const;
    Q_INVOKABLE void applyAppProtectionRemedy();
    static QString version();
    QString storageNotice() const;

    Q_INVOKABLE void lockEverything(const QString& reason);
    // Opens the main window, or brings the open one forward.
    Q_INVOKABLE void openMainWindow() { emit mainWindowRequested(); }
    // The one quit path, which relocks everything first.
    Q_INVOKABLE void quit();

signals:
    void mainWindowRequested();
    void storageNoticeChanged();
    void appProtectionChanged();

private:
    AppState& m_state;
    AppListModel* m_apps;
    AppListModel* m_enabledApps;
    FolderListModel* m_folders;
    FolderListModel* m_enabledFolders;
    TrayListModel* m_trayRows;
    EventListModel* m_events;
    SettingsModel* m_settings;
    DesktopEntryModel* m_installedApps;
    DirectoryModel* m_directories;
};
