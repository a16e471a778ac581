#include "JsonFields.h"

#include <QCoreApplication>

#include <cmath>

namespace {
// 2001-01-01T00:00:00Z in milliseconds since the Unix epoch.
constexpr qint64 ReferenceEpochMs = 978307200000LL;
// Far beyond any real date, and small enough that the conversion to milliseconds cannot overflow.
constexpr double MaxReferenceSeconds = 1e13;
} // namespace

JsonFields::JsonFields(const QJsonValue& value)
    : m_object(value.toObject())
    , m_ok(value.isObject())
{}

QJsonValue JsonFields::member(QLatin1StringView key)
{
    const auto it = m_object.constFind(key);
    if (it == m_object.constEnd()) {
        m_ok = false;
        return {};
    }
    return it.value();
}

QString JsonFields::string(QLatin1StringView key)
{
    const QJsonValue value = member(key);
    if (!value.isString())
        m_ok = false;
    return value.toString();
}

bool JsonFields::boolean(QLatin1StringView key)
{
    const QJsonValue value = member(key);
    if (!value.isBool())
        m_ok = false;
    return value.toBool();
}

qint64 JsonFields::integer(QLatin1StringView key)
{
    const QJsonValue value = member(key);
    // toInteger() falls back to its argument for fractions and out-of-range numbers; asking twice
    // with different fallbacks tells a real integer from a fallback.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (!value.isDouble() || a != b)
        m_ok = false;
    return a;
}

QUuid JsonFields::uuid(QLatin1StringView key)
{
    const std::optional<QUuid> parsed = parseUuid(string(key));
    if (!parsed)
        m_ok = false;
    return parsed.value_or(QUuid());
}

QDateTime JsonFields::date(QLatin1StringView key)
{
    const QJsonValue value = member(key);
    const std::optional<QDateTime> parsed =
        value.isDouble() ? fromReferenceSeconds(value.toDouble()) : std::nullopt;
    if (!parsed)
        m_ok = false;
    return parsed.value_or(QDateTime());
}

QString JsonFields::parseProblem(const QJsonParseError& error)
{
    return QCoreApplication::translate("JsonFields", "not JSON (%1 at byte %2)")
        .arg(error.errorString())
        .arg(error.offset);
}

QString JsonFields::rejected(QLatin1StringView label, qsizetype index, const QJsonValue& name)
{
    const QString which = name.isString() ? QStringLiteral(" (%1)").arg(name.toString().left(80)) : QString();
    return QCoreApplication::translate("JsonFields", "%1[%2]%3 cannot be read")
        .arg(label)
        .arg(index)
        .arg(which);
}

QString JsonFields::uuidText(const QUuid& uuid)
{
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> JsonFields::parseUuid(const QString& text)
{
    // Only the canonical 8-4-4-4-12 form; QUuid alone would also take braces.
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool hyphenSlot = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hyphenSlot ? c != u'-' : !hex)
            return std::nullopt;
    }
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull() && text != QLatin1String("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return uuid;
}

double JsonFields::referenceSeconds(const QDateTime& date)
{
    return static_cast<double>(date.toMSecsSinceEpoch() - ReferenceEpochMs) / 1000.0;
}

std::optional<QDateTime> JsonFields::fromReferenceSeconds(double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > MaxReferenceSeconds)
        return std::nullopt;
    const auto ms = static_cast<qint64>(std::llround(seconds * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(ReferenceEpochMs + ms, Qt::UTC);
}
