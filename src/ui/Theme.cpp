#include "Theme.h"

#include <QFontDatabase>

Theme::Theme(QObject* parent)
    : QObject(parent)
{}

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
