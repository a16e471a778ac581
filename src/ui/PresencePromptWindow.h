#pragma once

#include "auth/PresencePrompt.h"

#include <QPointer>
#include <QtQml/qqmlregistration.h>

#include <memory>

class QQuickView;

// Veilmark's own prompt window, drawn in QML (PromptView.qml). It only shows and collects;
// the authenticator decides what the input means.
class PresencePromptWindow : public PresencePrompt
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Created by the authenticator")
    Q_PROPERTY(QString mode READ modeName NOTIFY changed)
    Q_PROPERTY(QString reason READ reason NOTIFY changed)
    Q_PROPERTY(QString status READ status NOTIFY changed)
    Q_PROPERTY(bool statusIsError READ statusIsError NOTIFY changed)
    Q_PROPERTY(bool busy READ busy NOTIFY changed)

public:
    explicit PresencePromptWindow(QObject* parent = nullptr);
    ~PresencePromptWindow() override;

    void open(Mode mode, const QString& reason) override;
    void setStatus(const QString& text, bool isError) override;
    void setBusy(bool busy) override;
    void close() override;

    QString modeName() const
    {
        return m_mode == Mode::fingerprint ? QStringLiteral("fingerprint") : QStringLiteral("password");
    }
    const QString& reason() const { return m_reason; }
    const QString& status() const { return m_status; }
    bool statusIsError() const { return m_statusIsError; }
    bool busy() const { return m_busy; }
    bool isVisible() const;
    QQuickView* view() const { return m_view.get(); }

    // Takes the password from the field itself, so that no script string ever holds it, then wipes
    // the field's text and every copy made here.
    Q_INVOKABLE void submitPassword(QObject* field);
    Q_INVOKABLE void requestFallback();
    Q_INVOKABLE void cancel();

signals:
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ensureView();
    void wipeField();

    std::unique_ptr<QQuickView> m_view;
    Mode m_mode = Mode::password;
    QString m_reason;
    QString m_status;
    bool m_statusIsError = false;
    bool m_busy = false;
    bool m_closing = false;
};
