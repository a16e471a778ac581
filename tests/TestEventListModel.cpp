#include "EventListModel.h"
#include "ModelRig.h"
#include "ModelSignals.h"

#include <QSignalSpy>
#include <QTest>

// The activity rows over the real log.
using Result = Authenticator::Result;

class TestEventListModel : public QObject
{
    Q_OBJECT

private slots:
    // Newest first, each kind with its symbol and tone; the count follows the log, also when cleared.
    void rowsFollowTheLog()
    {
        ModelRig rig;
        EventListModel model(rig.log(), *rig.state->changes());
        QSignalSpy count(&model, &EventListModel::countChanged);
        const QList<std::tuple<LogEventKind, QString, QString>> kinds = {
            {LogEventKind::appUnlocked, "lock.open.fill", "green"},
            {LogEventKind::folderRelocked, "lock.fill", "blue"},
            {LogEventKind::folderAuthFailed, "exclamationmark.shield.fill", "orange"},
            {LogEventKind::systemRelock, "moon.zzz.fill", "indigo"},
            {LogEventKind::error, "xmark.octagon.fill", "red"},
            {LogEventKind::protectionChanged, "lock.shield.fill", "orange"},
        };
        for (const auto& [kind, symbol, tone] : kinds)
            rig.log().record(kind, rawValue(kind), "detail");
        QCOMPARE(model.count(), kinds.size());
        QCOMPARE(count.size(), kinds.size());
        for (qsizetype i = 0; i < kinds.size(); ++i) {
            const QModelIndex row = model.index(int(kinds.size() - 1 - i));
            QCOMPARE(row.data(EventListModel::SubjectRole).toString(), rawValue(std::get<0>(kinds[i])));
            QCOMPARE(row.data(EventListModel::SymbolRole).toString(), std::get<1>(kinds[i]));
            QCOMPARE(row.data(EventListModel::ToneRole).toString(), std::get<2>(kinds[i]));
        }
        // Rows arrive one by one at the top; at the cap the oldest leaves from the bottom.
        ModelSignals shown(&model);
        while (rig.log().events().size() < EventLog::cap)
            rig.log().record(LogEventKind::error, "filler", "");
        QCOMPARE(shown.take(), QStringList(EventLog::cap - kinds.size(), "insert 0-0"));
        rig.log().record(LogEventKind::appUnlocked, "newest", "");
        QCOMPARE(shown.take(), QStringList({QString("remove %1-%1").arg(EventLog::cap - 1), "insert 0-0"}));
        QCOMPARE(model.rowCount(), EventLog::cap);
        QCOMPARE(model.index(0).data(EventListModel::SubjectRole).toString(), "newest");
        QCOMPARE(model.index(int(EventLog::cap) - 1).data(EventListModel::SubjectRole).toString(),
                 rawValue(std::get<0>(kinds[1])));
        // Clearing asks for proof and leaves only its own record.
        rig.authenticator.script = {Result::success};
        model.clear();
        QTRY_COMPARE(model.rowCount(), 1);
        QCOMPARE(rig.log().events().first().detail, "Cleared");
    }

    void formatDate_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << "Mar 1, 2024 2:05 PM";
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << "1. März 2024 14:05";
    }

    void formatDate()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QCOMPARE(EventListModel::formatDate(QDateTime(QDate(2024, 3, 1), QTime(14, 5)), locale), text);
    }
};

QTEST_GUILESS_MAIN(TestEventListModel)
#include "TestEventListModel.moc"
