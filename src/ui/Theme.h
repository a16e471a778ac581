#pragma once

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QString>
#include <QtQml/qqmlregistration.h>

class AppState;

// Colours and the symbol font shared by every Veilmark view (QML singleton "Theme"), and the
// light and dark palettes. `dark` follows the application palette, which follow() switches with
// the coordinator's appearance.
class Theme : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString symbolFamily READ symbolFamily CONSTANT)
    Q_PROPERTY(QColor red MEMBER m_red CONSTANT)
    Q_PROPERTY(QColor green MEMBER m_green CONSTANT)
    Q_PROPERTY(QColor blue MEMBER m_blue CONSTANT)
    Q_PROPERTY(QColor pink MEMBER m_pink CONSTANT)
    Q_PROPERTY(QColor orange MEMBER m_orange CONSTANT)
    Q_PROPERTY(QColor indigo MEMBER m_indigo CONSTANT)
    Q_PROPERTY(QColor accent MEMBER m_accent CONSTANT)
    Q_PROPERTY(bool dark READ isDark NOTIFY schemeChanged)
    Q_PROPERTY(QColor primary READ primary NOTIFY schemeChanged)
    Q_PROPERTY(QColor secondary READ secondary NOTIFY schemeChanged)
    Q_PROPERTY(QColor tertiary READ tertiary NOTIFY schemeChanged)

public:
    explicit Theme(QObject* parent = nullptr);

    // The family of the bundled icon font, loaded once per process.
    static QString symbolFamily();
    // Whether the application palette is a dark one.
    static bool paletteIsDark();
    static QPalette palette(bool dark);
    // Sets the application palette from `state` now and whenever its appearance changes.
    static void follow(AppState& state);

    bool isDark() const { return m_dark; }
    QColor primary() const;
    QColor secondary() const;
    QColor tertiary() const;

signals:
    void schemeChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QColor m_red{0xff, 0x3b, 0x30};
    QColor m_green{0x34, 0xc7, 0x59};
    QColor m_blue{0x0a, 0x84, 0xff};
    QColor m_pink{0xff, 0x2d, 0x55};
    QColor m_orange{0xff, 0x95, 0x00};
    QColor m_indigo{0x5e, 0x5c, 0xe6};
    QColor m_accent{0x0a, 0x84, 0xff};
    bool m_dark = false;
};
