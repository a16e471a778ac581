#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>

#include <memory>

class MainWindow;
class QSystemTrayIcon;
class TrayPanel;
class ViewContext;

// The user interface of the running process: the tray icon with its panel, always there, and
// the one main window, made when it is asked for and freed when it is closed.
class UiShell : public QObject
{
    Q_OBJECT

public:
    explicit UiShell(ViewContext& context, QObject* parent = nullptr);
    ~UiShell() override;

    // Opens the main window, or brings the open one forward.
    void showMainWindow();
    MainWindow* mainWindow() const { return m_mainWindow; }
    // Shows the panel next to the tray icon (or the pointer when the tray does not say where).
    void showTrayPanel();
    TrayPanel* trayPanel();
    // Makes and docks the tray icon, once; a start in the background asks at once.
    void showTrayIcon();
    QSystemTrayIcon* trayIcon() const { return m_tray.get(); }

    // "lock.shield.fill" drawn from the symbol font.
    static QIcon symbolIcon(const QString& name, const QColor& color);

signals:
    // The main window's first frame is on screen.
    void mainWindowShown();

private:
    ViewContext& m_context;
    QPointer<MainWindow> m_mainWindow;
    std::unique_ptr<TrayPanel> m_panel;
    std::unique_ptr<QSystemTrayIcon> m_tray;
};
