#include "UiShell.h"

#include "MainWindow.h"
#include "Theme.h"
#include "TrayPanel.h"
#include "ViewContext.h"

#include <QCursor>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTimer>

#include <malloc.h>

namespace {
// The code point of a symbol, read from the one symbol table the views use.
char32_t codePoint(const QString& name)
{
    static const QString table = [] {
        QFile file(QStringLiteral(":/qt/qml/Veilmark/qml/Symbols.js"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }();
    const QRegularExpression entry(QLatin1Char('"') + QRegularExpression::escape(name) +
                                   QStringLiteral("\":\\s*0x([0-9a-fA-F]+)"));
    const QRegularExpressionMatch match = entry.match(table);
    return match.hasMatch() ? char32_t(match.captured(1).toUInt(nullptr, 16)) : 0;
}
} // namespace

UiShell::UiShell(ViewContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context)
{
    Theme::follow(*context.state());
    connect(&context, &ViewContext::mainWindowRequested, this, &UiShell::showMainWindow);
    // The icon is drawn and docked once the window's first frame is out (it costs several
    // milliseconds of start-up), or within half a second when no window is shown or it never draws.
    connect(this, &UiShell::mainWindowShown, this, &UiShell::showTrayIcon);
    QTimer::singleShot(500, this, &UiShell::showTrayIcon);
}

void UiShell::showTrayIcon()
{
    if (m_tray)
        return;
    // Made even when no tray is running yet: the icon docks when one appears.
    m_tray = std::make_unique<QSystemTrayIcon>(symbolIcon(QStringLiteral("lock.shield.fill"), Qt::white));
    m_tray->setToolTip(QStringLiteral("Veilmark"));
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::Context)
                    return;
                if (m_panel && m_panel->isVisible())
                    m_panel->hide();
                else
                    showTrayPanel();
            });
    m_tray->show();
}

UiShell::~UiShell()
{
    delete m_mainWindow.data();
}

void UiShell::showMainWindow()
{
    if (!m_mainWindow) {
        m_mainWindow = new MainWindow(m_context);
        // A closed window is freed; only the tray stays in memory.
        connect(m_mainWindow.data(), &MainWindow::closed, m_mainWindow.data(), &QObject::deleteLater);
        // Hand the freed window's memory back to the system, not just to the allocator.
        connect(m_mainWindow.data(), &QObject::destroyed, this,
                [] { QTimer::singleShot(0, [] { malloc_trim(0); }); });
        connect(m_mainWindow.data(), &QQuickWindow::frameSwapped, this, &UiShell::mainWindowShown,
                Qt::SingleShotConnection);
    }
    m_mainWindow->bringForward();
}

TrayPanel* UiShell::trayPanel()
{
    if (!m_panel)
        m_panel = std::make_unique<TrayPanel>(m_context);
    return m_panel.get();
}

void UiShell::showTrayPanel()
{
    QRect anchor = m_tray ? m_tray->geometry() : QRect();
    if (!anchor.isValid() || anchor.isEmpty())
        anchor = QRect(QCursor::pos(), QSize(1, 1));
    trayPanel()->popUp(anchor);
}

QIcon UiShell::symbolIcon(const QString& name, const QColor& color)
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        QFont font(Theme::symbolFamily());
        font.setPixelSize(size);
        painter.setFont(font);
        painter.setPen(color);
        const char32_t code = codePoint(name);
        painter.drawText(pixmap.rect(), Qt::AlignCenter, QString::fromUcs4(&code, 1));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
