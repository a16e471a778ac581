#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>

// What every shield window shows: the locked application's name and icon, a status line, and
// whether a prompt is open or the last attempt failed. The buttons call back into the engine.
class ShieldModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString appName READ appName NOTIFY changed)
    Q_PROPERTY(QImage icon READ icon NOTIFY changed)
    Q_PROPERTY(bool hasIcon READ hasIcon NOTIFY changed)
    Q_PROPERTY(QString statusText READ statusText NOTIFY changed)
    Q_PROPERTY(bool isAuthenticating READ isAuthenticating NOTIFY changed)
    Q_PROPERTY(bool failed READ failed NOTIFY changed)

public:
    using QObject::QObject;

    const QString& appName() const { return m_appName; }
    const QImage& icon() const { return m_icon; }
    bool hasIcon() const { return !m_icon.isNull(); }
    const QString& statusText() const { return m_statusText; }
    bool isAuthenticating() const { return m_isAuthenticating; }
    bool failed() const { return m_failed; }

    void setApp(const QString& appName, const QImage& icon);
    // One change notification for the three fields that always move together.
    void setStatus(const QString& text, bool isAuthenticating, bool failed);

    std::function<void()> onUnlockRequested = [] {};
    std::function<void()> onPasswordRequested = [] {};
    std::function<void()> onCancel = [] {};

    Q_INVOKABLE void requestUnlock() { onUnlockRequested(); }
    Q_INVOKABLE void requestPassword() { onPasswordRequested(); }
    Q_INVOKABLE void cancel() { onCancel(); }

signals:
    void changed();

private:
    QString m_appName;
    QImage m_icon;
    QString m_statusText;
    bool m_isAuthenticating = false;
    bool m_failed = false;
};
