#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonParseError>
#include <QList>
#include <QStringList>
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

    // What is wrong with a document the JSON parser rejected, for the user.
    static QString parseProblem(const QJsonParseError& error);

    // The records of a JSON array that decode on their own: one bad element costs only itself.
    // Each dropped one is added to `problems` as "<label>[<index>] (<its nameKey member>) ...",
    // so the user can tell which record it was.
    template <typename Record>
    static QList<Record> decodeEach(const QJsonArray& array, QLatin1StringView label,
                                    QLatin1StringView nameKey, QStringList* problems)
    {
        QList<Record> records;
        records.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            std::optional<Record> record = Record::fromJson(array.at(i));
            if (record)
                records.append(std::move(*record));
            else if (problems)
                problems->append(rejected(label, i, array.at(i).toObject().value(nameKey)));
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
    static QString rejected(QLatin1StringView label, qsizetype index, const QJsonValue& name);
    QJsonValue member(QLatin1StringView key);

    QJsonObject m_object;
    bool m_ok;
};
