#include "PresencePromptWindow.h"

#include "auth/SecretBuffer.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QTimer>

#include <algorithm>

PresencePromptWindow::PresencePromptWindow(QObject* parent)
    : PresencePrompt(parent)
{}

PresencePromptWindow::~PresencePromptWindow() = default;

void PresencePromptWindow::ensureView()
{
    if (m_view)
        return;
    m_view = std::make_unique<QQuickView>();
    m_view->setTitle(QStringLiteral("Veilmark"));
    m_view->setResizeMode(QQuickView::SizeViewToRootObject);
    m_view->setInitialProperties({{QStringLiteral("prompt"), QVariant::fromValue(this)}});
    m_view->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veilmark/qml/PromptView.qml")));
    m_view->installEventFilter(this);
}

void PresencePromptWindow::open(Mode mode, const QString& reason)
{
    ensureView();
    m_mode = mode;
    m_reason = reason;
    m_status.clear();
    m_statusIsError = false;
    m_busy = false;
    emit changed();
    if (QQuickItem* root = m_view->rootObject())
        QMetaObject::invokeMethod(root, "reset");

    // On the screen the user is looking at: the one holding the pointer.
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        m_view->setScreen(screen);
        m_view->setPosition(area.center() - QPoint(m_view->width() / 2, m_view->height() / 2));
    }
    // Over the shield, whose windows the window manager does not manage, a managed dialog would
    // be stacked below them; there the prompt is unmanaged too, and raised above them.
    const QWindowList windows = QGuiApplication::topLevelWindows();
    const bool overShield = std::any_of(windows.cbegin(), windows.cend(), [this](QWindow* window) {
        return window != m_view.get() && window->isVisible() &&
               window->flags().testFlag(Qt::BypassWindowManagerHint);
    });
    const Qt::WindowFlags flags =
        overShield
            ? Qt::Tool | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint | Qt::WindowStaysOnTopHint
            : Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (m_view->flags() != flags)
        m_view->setFlags(flags);
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
    if (overShield) {
        // A shield window mapped a moment ago takes the focus when its map completes; ask again
        // once that has happened.
        QTimer::singleShot(100, m_view.get(), [view = m_view.get()] {
            if (view->isVisible()) {
                view->raise();
                view->requestActivate();
            }
        });
    }
}

void PresencePromptWindow::setStatus(const QString& text, bool isError)
{
    m_status = text;
    m_statusIsError = isError;
    emit changed();
}

void PresencePromptWindow::setBusy(bool busy)
{
    m_busy = busy;
    emit changed();
}

void PresencePromptWindow::wipeField()
{
    QQuickItem* root = m_view ? m_view->rootObject() : nullptr;
    QObject* field = root ? root->findChild<QObject*>(QStringLiteral("passwordField")) : nullptr;
    if (!field)
        return;
    QString text = field->property("text").toString();
    SecretBuffer::wipe(text);
    field->setProperty("text", QString());
}

void PresencePromptWindow::close()
{
    if (!m_view)
        return;
    // A password typed but never submitted (the prompt was cancelled) goes as well.
    wipeField();
    m_closing = true;
    m_view->hide();
    m_closing = false;
}

bool PresencePromptWindow::isVisible() const
{
    return m_view && m_view->isVisible();
}

void PresencePromptWindow::submitPassword(QObject* field)
{
    if (!field)
        return;
    // Shares the field's own storage: wiping it wipes what the field held.
    QString text = field->property("text").toString();
    QByteArray utf8;
    if (!m_busy && m_mode == Mode::password && !text.isEmpty())
        utf8 = text.toUtf8();
    SecretBuffer::wipe(text);
    field->setProperty("text", QString());
    if (utf8.isEmpty())
        return;
    emit passwordSubmitted(utf8);
    SecretBuffer::wipe(utf8);
}

void PresencePromptWindow::requestFallback()
{
    emit fallbackRequested();
}

void PresencePromptWindow::cancel()
{
    emit cancelled();
}

bool PresencePromptWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Closing the window from its title bar is a cancel; hiding it ourselves is not.
    if (watched == m_view.get() && event->type() == QEvent::Close && !m_closing) {
        event->ignore();
        emit cancelled();
        return true;
    }
    return PresencePrompt::eventFilter(watched, event);
}
