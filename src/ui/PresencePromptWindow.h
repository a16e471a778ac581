#pragma once

#include "ShieldWindow.h"
#include "auth/PresencePrompt.h"

#include <QImage>
#include <QPointer>
#include <QQuickView>
#include <QtQml/qqmlregistration.h>

class InstalledApps;
class PolicyStore;
class QQuickItem;

// Veilmark's prompt (PromptPane.qml). While a shield is up it is drawn inside the shield's card on
// one screen (the one with the pointer, else the primary one); otherwise in a window of its own
// (PromptView.qml) that shows what is being unlocked. It only shows and collects; the
// authenticator decides what the input means.
class PresencePromptWindow : public PresencePrompt
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Created by the authenticator")
    Q_PROPERTY(QString mode READ modeName NOTIFY changed)
    Q_PROPERTY(QString reason READ reason NOTIFY changed)
    Q_PROPERTY(QString request READ request NOTIFY changed)
    Q_PROPERTY(QString status READ status NOTIFY changed)
    Q_PROPERTY(bool statusIsError READ statusIsError NOTIFY changed)
    Q_PROPERTY(bool busy READ busy NOTIFY changed)
    Q_PROPERTY(QString subjectSymbol READ subjectSymbol NOTIFY changed)
    Q_PROPERTY(QImage subjectIcon READ subjectIcon NOTIFY changed)
    Q_PROPERTY(bool hasSubjectIcon READ hasSubjectIcon NOTIFY changed)

public:
    explicit PresencePromptWindow(QObject* parent = nullptr);
    ~PresencePromptWindow() override;

    void open(Mode mode, const QString& reason) override;
    void setStatus(const QString& text, bool isError) override;
    void setBusy(bool busy) override;
    void close() override;

    // Where the window of its own finds what a reason names: a folder gets the folder symbol, an
    // application its icon; anything else Veilmark's symbol.
    void setSubjects(const PolicyStore* policy, InstalledApps* installed);

    QString modeName() const
    {
        return m_mode == Mode::fingerprint ? QStringLiteral("fingerprint") : QStringLiteral("password");
    }
    const QString& reason() const { return m_reason; }
    // "Veilmark is trying to unlock Firefox."
    QString request() const;
    const QString& status() const { return m_status; }
    bool statusIsError() const { return m_statusIsError; }
    bool busy() const { return m_busy; }
    const QString& subjectSymbol() const { return m_subjectSymbol; }
    const QImage& subjectIcon() const { return m_subjectIcon; }
    bool hasSubjectIcon() const { return !m_subjectIcon.isNull(); }
    bool isVisible() const;
    // The window of its own, while it exists; none while the prompt is in a shield.
    QQuickView* view() const { return m_view.data(); }
    // The shield window whose card shows the prompt, if one does.
    ShieldWindow* host() const { return m_host.data(); }
    // The prompt's items: in the shield's card or in its own window.
    QQuickItem* pane() const;

    // What is typed goes into a buffer of the prompt's own, never into the field: the field holds
    // as many placeholder characters, so nothing that reads it (the accessibility bus, whose
    // clients read a field's text) learns the password. keyIntoPassword() takes the keys that edit
    // the text (returns whether it took the key); absorbPassword() takes what reached the field
    // another way (an input method, the context menu) and masks it.
    Q_INVOKABLE bool keyIntoPassword(QObject* field, QObject* keyEvent);
    Q_INVOKABLE void absorbPassword(QObject* field);
    // Submits the typed password, then wipes it and every copy made here.
    Q_INVOKABLE void submitPassword(QObject* field);
    Q_INVOKABLE void requestFallback();
    Q_INVOKABLE void cancel();

signals:
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Puts the open prompt in a shield's card or, with no shield up, in its own window.
    void place();
    void showInOwnWindow();
    void ensureView();
    void leaveHost();
    void releaseViewLater();
    void resolveSubject();
    void wipeField();
    // Replaces `removed` characters at `from` with `inserted`, in place, and masks the field.
    void editPassword(QObject* field, qsizetype from, qsizetype removed, const QString& inserted);
    void wipePassword();

    QPointer<QQuickView> m_view;
    QPointer<ShieldWindow> m_host;
    QMetaObject::Connection m_hostVisibility;
    const PolicyStore* m_policy = nullptr;
    InstalledApps* m_installed = nullptr;
    Mode m_mode = Mode::password;
    QString m_reason;
    QString m_status;
    QString m_subjectSymbol;
    QImage m_subjectIcon;
    bool m_statusIsError = false;
    bool m_busy = false;
    bool m_open = false;
    bool m_closing = false;
    // The typed password; grown by copying and wiping, so no stale copy stays in freed memory.
    QString m_password;
    bool m_masking = false;
};
