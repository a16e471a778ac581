#include "auth/AttemptBackoff.h"

#include "auth/Clock.h"
#include "io/DocumentFile.h"
#include "io/Logging.h"
#include "model/JsonFields.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {
// Far beyond the longest step; keeps a hostile count from overflowing anything.
constexpr int MaxCountedFailures = 1000;
const auto FailuresKey = QLatin1StringView("failures");
const auto LastFailureKey = QLatin1StringView("lastFailure");
} // namespace

AttemptBackoff::AttemptBackoff(Clock& clock, const QString& path)
    : m_clock(clock)
    , m_path(path)
{
    DocumentFile::removeLeftovers(path);
    const DocumentFile::ReadResult file = DocumentFile::read(path);
    if (file.status == DocumentFile::ReadResult::Status::missing)
        return;
    std::optional<State> state;
    if (file.status == DocumentFile::ReadResult::Status::read)
        state = decode(file.bytes);
    if (state) {
        m_state = *state;
        return;
    }
    qCWarning(lcAuth).noquote() << path << "cannot be read"
                                << (file.error.isEmpty() ? QStringLiteral("(not a back-off document)")
                                                         : file.error)
                                << "— failed attempts wait the longest step";
    int failures = FreeAttempts;
    while (delayAfter(failures) < LongestDelaySeconds)
        ++failures;
    m_state = {failures, m_clock.now()};
    save();
}

void AttemptBackoff::recordFailure()
{
    m_state.failures = std::min(m_state.failures + 1, MaxCountedFailures);
    m_state.lastFailure = m_clock.now();
    save();
}

void AttemptBackoff::recordSuccess()
{
    if (m_state.failures == 0)
        return;
    m_state = {};
    save();
}

qint64 AttemptBackoff::secondsRemaining() const
{
    const qint64 delay = delayAfter(m_state.failures);
    if (delay == 0 || !m_state.lastFailure.isValid())
        return 0;
    // A last failure in the future (the clock was set back, or the file says so) counts as now:
    // the wait is the step from here, and it ends.
    const QDateTime now = m_clock.now();
    if (m_state.lastFailure > now)
        m_state.lastFailure = now;
    // Rounded up, so "0 seconds left" never shows while the attempt is still refused.
    const qint64 elapsedMs = m_state.lastFailure.msecsTo(now);
    return std::max<qint64>(0, (delay * 1000 - elapsedMs + 999) / 1000);
}

qint64 AttemptBackoff::delayAfter(int failures)
{
    if (failures < FreeAttempts)
        return 0;
    const int doublings = std::min(failures - FreeAttempts, 16);
    return std::min(FirstDelaySeconds << doublings, LongestDelaySeconds);
}

QString AttemptBackoff::waitText(qint64 seconds)
{
    // One second has a text of its own: the English catalogue is not always installed (tests),
    // and minutes are never fewer than two here.
    if (seconds == 1)
        return QCoreApplication::translate("AttemptBackoff", "Try again in 1 second");
    if (seconds <= 60)
        return QCoreApplication::translate("AttemptBackoff", "Try again in %n seconds", "", int(seconds));
    const qint64 minutes = (seconds + 59) / 60;
    return QCoreApplication::translate("AttemptBackoff", "Try again in %n minutes", "", int(minutes));
}

QByteArray AttemptBackoff::encode(const State& state)
{
    QJsonObject object{{FailuresKey, state.failures}};
    object.insert(LastFailureKey,
                  state.lastFailure.isValid() ? JsonFields::referenceSeconds(state.lastFailure) : 0.0);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<AttemptBackoff::State> AttemptBackoff::decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    JsonFields fields(document.object());
    const qint64 failures = fields.integer(FailuresKey);
    const QDateTime lastFailure = fields.date(LastFailureKey);
    if (!fields.ok() || failures < 0 || failures > MaxCountedFailures)
        return std::nullopt;
    return State{int(failures), lastFailure};
}

void AttemptBackoff::save()
{
    // Kept in memory either way; a lost write only shortens the wait after a restart.
    if (const std::optional<QString> error =
            DocumentFile::write(m_path, encode(m_state), DocumentFile::Durability::Cached))
        qCWarning(lcAuth).noquote() << "the failed-attempt count cannot be saved to" << m_path << ":"
                                    << *error;
}
