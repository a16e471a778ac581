#include "Theme.h"

#include "app/AppState.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>

Theme::Theme(QObject* parent)
    : QObject(parent)
    , m_dark(paletteIsDark())
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

QString Theme::symbolFamily()
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral(":/qt/qml/Veilmark/fonts/MaterialIcons-Regular.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString() : families.first();
    }();
    return family;
}

bool Theme::paletteIsDark()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

QPalette Theme::palette(bool dark)
{
    if (!dark)
        return QPalette(QColor(0xec, 0xec, 0xee), QColor(0xf6, 0xf6, 0xf8));
    QPalette palette(QColor(0x3a, 0x3a, 0x3e), QColor(0x1e, 0x1e, 0x20));
    palette.setColor(QPalette::WindowText, QColor(0xf2, 0xf2, 0xf7));
    palette.setColor(QPalette::Text, QColor(0xf2, 0xf2, 0xf7));
    palette.setColor(QPalette::ButtonText, QColor(0xf2, 0xf2, 0xf7));
    palette.setColor(QPalette::Base, QColor(0x2c, 0x2c, 0x2e));
    palette.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    return palette;
}

void Theme::follow(AppState& state)
{
    const auto apply = [&state] {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            QGuiApplication::setPalette(palette(state.isDark()));
    };
    QObject::connect(&state, &AppState::darkChanged, &state, apply);
    apply();
}

QColor Theme::primary() const
{
    return m_dark ? QColor(0xf2, 0xf2, 0xf7) : QColor(0x1d, 0x1d, 0x1f);
}

QColor Theme::secondary() const
{
    return m_dark ? QColor::fromRgbF(0.92f, 0.92f, 0.96f, 0.6f)
                  : QColor::fromRgbF(0.24f, 0.24f, 0.26f, 0.72f);
}

QColor Theme::tertiary() const
{
    return m_dark ? QColor::fromRgbF(0.92f, 0.92f, 0.96f, 0.38f)
                  : QColor::fromRgbF(0.24f, 0.24f, 0.26f, 0.45f);
}

bool Theme::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) {
        const bool dark = paletteIsDark();
        if (dark != m_dark) {
            m_dark = dark;
            emit schemeChanged();
        }
    }
    return QObject::eventFilter(watched, event);
}
