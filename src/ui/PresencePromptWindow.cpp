#include "PresencePromptWindow.h"

#include "ShieldWindow.h"
#include "apps/InstalledApps.h"
#include "auth/SecretBuffer.h"
#include "store/PolicyStore.h"

#include <QClipboard>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QTimer>

#include <algorithm>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {
// What the field holds for each typed character (a private-use character: nothing types it).
constexpr QChar MaskCharacter(0xE000);

// The shield window up that should hold the prompt: the one its display prefers (drawn off screen,
// where Qt does not know the pointer), else the one on the screen with the pointer, else the one
// on the primary screen, else any.
ShieldWindow* shieldForPrompt()
{
    QList<ShieldWindow*> shields;
    for (QWindow* window : QGuiApplication::topLevelWindows())
        if (auto* shield = qobject_cast<ShieldWindow*>(window); shield && shield->isShown())
            shields.append(shield);
    for (ShieldWindow* shield : std::as_const(shields))
        if (shield->prefersPrompt())
            return shield;
    for (QScreen* screen : {QGuiApplication::screenAt(QCursor::pos()), QGuiApplication::primaryScreen()})
        for (ShieldWindow* shield : std::as_const(shields))
            if (screen && shield->screen() == screen)
                return shield;
    return shields.value(0);
}
} // namespace

PresencePromptWindow::PresencePromptWindow(QObject* parent)
    : PresencePrompt(parent)
{}

PresencePromptWindow::~PresencePromptWindow()
{
    leaveHost();
    delete m_view.data();
}

void PresencePromptWindow::setSubjects(const PolicyStore* policy, InstalledApps* installed)
{
    m_policy = policy;
    m_installed = installed;
}

QString PresencePromptWindow::request() const
{
    return tr("Veilmark is trying to %1.").arg(m_reason);
}

QQuickItem* PresencePromptWindow::pane() const
{
    QQuickItem* root = m_host ? m_host->rootObject() : m_view ? m_view->rootObject() : nullptr;
    if (!root)
        return nullptr;
    // A pane the shield's card let go of lingers, hidden, until it is deleted.
    for (QQuickItem* pane : root->findChildren<QQuickItem*>(QStringLiteral("promptPane")))
        if (pane->isVisible())
            return pane;
    return nullptr;
}

void PresencePromptWindow::open(Mode mode, const QString& reason)
{
    m_mode = mode;
    m_reason = reason;
    m_status.clear();
    m_statusIsError = false;
    m_busy = false;
    m_open = true;
    resolveSubject();
    emit changed();
    place();
}

void PresencePromptWindow::place()
{
    ShieldWindow* shield = shieldForPrompt();
    if (!shield) {
        leaveHost();
        showInOwnWindow();
        return;
    }
    if (m_view) {
        m_closing = true;
        m_view->hide();
        m_closing = false;
        releaseViewLater();
    }
    if (shield != m_host) {
        leaveHost();
        m_host = shield;
        // Taken down under the open prompt (its screen unplugged): the prompt moves on, to another
        // shield window or into its own.
        m_hostVisibility = connect(shield, &ShieldWindow::shownChanged, this, [this](bool visible) {
            if (!visible && m_open) {
                wipeField();
                place();
            }
        });
    }
    // The shield's windows hand it the keyboard once it holds the prompt.
    shield->setPrompt(this, request());
    if (QQuickItem* items = pane())
        QMetaObject::invokeMethod(items, "reset");
}

void PresencePromptWindow::leaveHost()
{
    disconnect(m_hostVisibility);
    if (m_host)
        m_host->setPrompt(nullptr);
    m_host.clear();
}

void PresencePromptWindow::showInOwnWindow()
{
    ensureView();
    if (QQuickItem* items = pane())
        QMetaObject::invokeMethod(items, "reset");
    // On the screen the user is looking at: the one holding the pointer.
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen && !m_view->isVisible()) {
        const QRect area = screen->availableGeometry();
        m_view->setScreen(screen);
        m_view->setPosition(area.center() - QPoint(m_view->width() / 2, m_view->height() / 2));
    }
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
}

void PresencePromptWindow::ensureView()
{
    if (m_view)
        return;
    m_view = new QQuickView();
    m_view->setTitle(QStringLiteral("Veilmark"));
    m_view->setFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_view->setResizeMode(QQuickView::SizeViewToRootObject);
    m_view->setColor(Qt::transparent);
    m_view->setInitialProperties({{QStringLiteral("prompt"), QVariant::fromValue(this)}});
    m_view->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veilmark/qml/PromptView.qml")));
    m_view->installEventFilter(this);
}

// The window of its own goes with its QML once the prompt is closed, unless the next prompt (the
// password after the fingerprint) opened in it meanwhile.
void PresencePromptWindow::releaseViewLater()
{
    QTimer::singleShot(0, this, [this] {
        if (!m_view || m_view->isVisible())
            return;
        m_view->removeEventFilter(this);
        m_view->releaseResources();
        connect(m_view.data(), &QObject::destroyed, this, [] {
#if defined(__GLIBC__)
            QTimer::singleShot(0, [] { malloc_trim(0); });
#endif
        });
        delete m_view.data();
    });
}

void PresencePromptWindow::resolveSubject()
{
    // The record whose name the reason holds ("unlock the folder “Taxes”", "remove protection from
    // Firefox"); the longest name wins, and between a folder and an app of the same name the
    // quoted one is the folder.
    m_subjectSymbol = QStringLiteral("lock.shield.fill");
    m_subjectIcon = QImage();
    if (!m_policy)
        return;
    qsizetype best = 0;
    const auto score = [this](const QString& name, bool folder) -> qsizetype {
        if (name.isEmpty() || !m_reason.contains(name))
            return 0;
        const bool quoted = m_reason.contains(QStringLiteral("“%1”").arg(name));
        return 2 * name.size() + (quoted == folder ? 1 : 0);
    };
    for (const ProtectedFolder& folder : m_policy->folders()) {
        if (const qsizetype s = score(folder.name, true); s > best) {
            best = s;
            m_subjectSymbol = QStringLiteral("folder.fill");
        }
    }
    const ProtectedApp* app = nullptr;
    for (const ProtectedApp& candidate : m_policy->apps()) {
        if (const qsizetype s = score(candidate.name, false); s > best) {
            best = s;
            app = &candidate;
        }
    }
    if (app) {
        m_subjectSymbol = QStringLiteral("app.fill");
        if (m_installed)
            m_subjectIcon = m_installed->icon(app->appPath);
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
    wipePassword();
    QQuickItem* items = pane();
    QObject* field = items ? items->findChild<QObject*>(QStringLiteral("passwordField")) : nullptr;
    if (!field)
        return;
    QString text = field->property("text").toString();
    SecretBuffer::wipe(text);
    m_masking = true;
    field->setProperty("text", QString());
    m_masking = false;
}

void PresencePromptWindow::wipePassword()
{
    std::fill(m_password.begin(), m_password.end(), QChar());
    m_password.resize(0);
}

void PresencePromptWindow::editPassword(QObject* field, qsizetype from, qsizetype removed,
                                        const QString& inserted)
{
    from = std::clamp<qsizetype>(from, 0, m_password.size());
    removed = std::clamp<qsizetype>(removed, 0, m_password.size() - from);
    const qsizetype before = m_password.size();
    const qsizetype after = before - removed + inserted.size();
    if (after > m_password.capacity()) {
        QString larger;
        larger.reserve(std::max<qsizetype>(2 * after, 64));
        larger.append(m_password);
        wipePassword();
        m_password.swap(larger);
    }
    // Within the capacity the string edits its own storage; what a shorter password leaves behind
    // past its end is zeroed.
    m_password.replace(from, removed, inserted);
    if (after < before)
        std::fill(m_password.data() + after, m_password.data() + before, QChar());
    m_masking = true;
    field->setProperty("text", QString(after, MaskCharacter));
    field->setProperty("cursorPosition", int(from + inserted.size()));
    m_masking = false;
}

bool PresencePromptWindow::keyIntoPassword(QObject* field, QObject* keyEvent)
{
    if (!field || !keyEvent || m_mode != Mode::password)
        return false;
    const auto key = Qt::Key(keyEvent->property("key").toInt());
    const auto modifiers = Qt::KeyboardModifiers(keyEvent->property("modifiers").toInt());
    const qsizetype cursor = field->property("cursorPosition").toInt();
    const qsizetype start = field->property("selectionStart").toInt();
    const qsizetype end = field->property("selectionEnd").toInt();
    const bool selection = end > start;
    const QKeySequence pressed(QKeyCombination(modifiers, key));
    const auto is = [&pressed](QKeySequence::StandardKey standard) {
        return QKeySequence::keyBindings(standard).contains(pressed);
    };
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        if (selection)
            editPassword(field, start, end - start, {});
        else if (key == Qt::Key_Backspace)
            editPassword(field, cursor - 1, cursor > 0 ? 1 : 0, {});
        else
            editPassword(field, cursor, 1, {});
        return true;
    }
    if (is(QKeySequence::Paste)) {
        QString pasted = QGuiApplication::clipboard()->text();
        pasted.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
        editPassword(field, selection ? start : cursor, selection ? end - start : 0, pasted);
        SecretBuffer::wipe(pasted);
        return true;
    }
    // A password field has nothing to copy or cut, and undo would bring back what was wiped.
    if (is(QKeySequence::Copy) || is(QKeySequence::Cut) || is(QKeySequence::Undo) || is(QKeySequence::Redo))
        return true;
    if (modifiers & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    QString text = keyEvent->property("text").toString();
    const bool printable =
        !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isPrint(); });
    if (printable)
        editPassword(field, selection ? start : cursor, selection ? end - start : 0, text);
    SecretBuffer::wipe(text);
    return printable;
}

void PresencePromptWindow::absorbPassword(QObject* field)
{
    if (!field || m_masking)
        return;
    QString text = field->property("text").toString();
    QString inserted;
    qsizetype at = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == MaskCharacter)
            continue;
        if (at < 0)
            at = i;
        inserted.append(text.at(i));
    }
    const qsizetype kept = text.size() - inserted.size();
    if (!inserted.isEmpty())
        editPassword(field, at, m_password.size() - kept, inserted);
    else if (kept < m_password.size())
        editPassword(field, field->property("cursorPosition").toInt(), m_password.size() - kept, {});
    else if (kept > m_password.size())
        wipeField(); // placeholders that stand for nothing: start again
    SecretBuffer::wipe(inserted);
    SecretBuffer::wipe(text);
}

void PresencePromptWindow::close()
{
    // A password typed but never submitted (the prompt was cancelled) goes as well.
    wipeField();
    m_open = false;
    leaveHost();
    if (!m_view)
        return;
    m_closing = true;
    m_view->hide();
    m_closing = false;
    releaseViewLater();
}

bool PresencePromptWindow::isVisible() const
{
    return m_open && ((m_host && m_host->isShown()) || (m_view && m_view->isVisible()));
}

void PresencePromptWindow::submitPassword(QObject* field)
{
    if (!field)
        return;
    QByteArray utf8;
    if (!m_busy && m_mode == Mode::password && !m_password.isEmpty())
        utf8 = m_password.toUtf8();
    wipeField();
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
    if (watched == m_view.data() && event->type() == QEvent::Close && !m_closing) {
        event->ignore();
        emit cancelled();
        return true;
    }
    return PresencePrompt::eventFilter(watched, event);
}
