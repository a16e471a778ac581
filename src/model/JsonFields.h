#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QUuid>

// Strict reader for one JSON object of a stored record: every requested member must be
// present with exactly the expected type. The first violation makes ok() false for good,
// so a decoder reads all members and checks once at the end.
class JsonFields
{
public:
    explicit JsonFields(const QJsonValue& value);

    bool ok() const { return m_ok; }

    QString string(QLatin1StringView key);
    bool boolean(QLatin1StringView key);
    qint64 integer(QLatin1StringView key);
    QUuid uuid(QLatin1StringView key);
    QDateTime date(QLatin1StringView key);

    // The stored forms: upper-case UUID without braces, and seconds since 2001-01-01 UTC.
    static QString uuidText(const QUuid& uuid);
    static std::optional<QUuid> parseUuid(const QString& text);
    static double referenceSeconds(const QDateTime& date);
    static std::optional<QDateTime> fromReferenceSeconds(double seconds);

    // A JSON array of records; one bad element rejects the whole array.
    template <typename Record>
    static std::optional<QList<Record>> decodeArray(const QJsonValue& value)
    {
        if (!value.isArray())
            return std::nullopt;
        const QJsonArray array = value.toArray();
        QList<Record> records;
        records.reserve(array.size());
        for (const QJsonValue& element : array) {
            std::optional<Record> record = Record::fromJson(element);
            if (!record)
                return std::nullopt;
            records.append(std::move(*record));
        }
        return records;
    }

    template <typename Record>
    static QJsonArray encodeArray(const QList<Record>& records)
    {
        QJsonArray array;
        for (const Record& record : records)
            array.append(record.toJson());
        return array;
    }

private:
    QJsonValue member(QLatin1StringView key);

    QJsonObject m_object;
    bool m_ok;
};
