#include "EventListModel.h"

#include "app/ProtectionChanges.h"
#include "store/EventLog.h"

#include <QRegularExpression>

namespace {
struct Presentation
{
    const char* symbol;
    const char* tone;
};

Presentation presentation(LogEventKind kind)
{
    switch (kind) {
    case LogEventKind::appUnlocked:
    case LogEventKind::folderUnlocked:
        return {"lock.open.fill", "green"};
    case LogEventKind::appRelocked:
    case LogEventKind::folderRelocked:
        return {"lock.fill", "blue"};
    case LogEventKind::appAuthFailed:
    case LogEventKind::folderAuthFailed:
        return {"exclamationmark.shield.fill", "orange"};
    case LogEventKind::systemRelock:
        return {"moon.zzz.fill", "indigo"};
    case LogEventKind::protectionChanged:
        return {"lock.shield.fill", "orange"};
    case LogEventKind::error:
        break;
    }
    return {"xmark.octagon.fill", "red"};
}
} // namespace

EventListModel::EventListModel(EventLog& log, ProtectionChanges& changes, QObject* parent)
    : QAbstractListModel(parent)
    , m_log(log)
    , m_changes(changes)
    , m_rows(log.events().size())
{
    // A record adds the top row (and drops the oldest at the cap); everything else (clearing,
    // loading) replaces the rows. `m_rows` is what the views were last told.
    connect(&log, &EventLog::recorded, this, [this](qsizetype dropped) {
        m_recording = true;
        if (dropped > 0) {
            beginRemoveRows({}, int(m_rows - dropped), int(m_rows - 1));
            m_rows -= dropped;
            endRemoveRows();
        }
        beginInsertRows({}, 0, 0);
        ++m_rows;
        endInsertRows();
        emit countChanged();
    });
    connect(&log, &EventLog::eventsChanged, this, [this] {
        if (std::exchange(m_recording, false))
            return;
        beginResetModel();
        m_rows = m_log.events().size();
        endResetModel();
        emit countChanged();
    });
}

int EventListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows);
}

int EventListModel::count() const
{
    return int(m_rows);
}

QVariant EventListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_log.events().size())
        return {};
    const LogEvent& event = m_log.events()[index.row()];
    switch (role) {
    case SubjectRole:
        return event.subject;
    case DetailRole:
        return event.detail;
    case DateTextRole:
        return formatDate(event.date);
    case KindRole:
        return rawValue(event.kind);
    case SymbolRole:
        return QString::fromLatin1(presentation(event.kind).symbol);
    case ToneRole:
        return QString::fromLatin1(presentation(event.kind).tone);
    default:
        return {};
    }
}

QHash<int, QByteArray> EventListModel::roleNames() const
{
    return {{SubjectRole, "subject"}, {DetailRole, "detail"}, {DateTextRole, "dateText"},
            {KindRole, "kind"},       {SymbolRole, "symbol"}, {ToneRole, "tone"}};
}

QString EventListModel::formatDate(const QDateTime& date, const QLocale& locale, const QDateTime& now)
{
    const QDateTime local = date.toLocalTime();
    // The C locale's short time has seconds ("HH:mm:ss"); a log row needs hours and minutes.
    static const QRegularExpression seconds(QStringLiteral("[.:]ss?(\\.z+)?"));
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    timeFormat.remove(seconds);
    const QString time = locale.toString(local.time(), timeFormat);
    if (local.date() == now.toLocalTime().date())
        return time;
    // QLocale has no medium date; the long date without its weekday and with an abbreviated
    // month is one ("Mar 1, 2024", "1. März 2024").
    QString dateFormat = locale.dateFormat(QLocale::LongFormat);
    dateFormat.remove(QRegularExpression(QStringLiteral("d{4}[,.]?\\s*")));
    dateFormat.replace(QRegularExpression(QStringLiteral("M{4}")), QStringLiteral("MMM"));
    dateFormat = dateFormat.trimmed();
    return locale.toString(local.date(), dateFormat) + QLatin1Char(' ') + time;
}

void EventListModel::clear()
{
    m_changes.clearLog();
}
