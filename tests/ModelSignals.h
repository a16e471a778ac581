#pragma once

#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QStringList>

#include <utility>

// What a list model told its views, one line per signal ("insert 2-3", "remove 0-0",
// "change 1-1", "reset"), while Qt's model tester fails the test on an inconsistent one.
class ModelSignals : public QObject
{
public:
    explicit ModelSignals(QAbstractItemModel* model)
        : m_tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest)
    {
        const auto line = [this](const char* what) {
            return [this, what](const QModelIndex&, int first, int last) {
                m_lines << QStringLiteral("%1 %2-%3").arg(what).arg(first).arg(last);
            };
        };
        connect(model, &QAbstractItemModel::rowsInserted, this, line("insert"));
        connect(model, &QAbstractItemModel::rowsRemoved, this, line("remove"));
        connect(model, &QAbstractItemModel::rowsMoved, this, [this] { m_lines << "move"; });
        connect(model, &QAbstractItemModel::modelReset, this, [this] { m_lines << "reset"; });
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to) {
                    m_lines << QStringLiteral("change %1-%2").arg(from.row()).arg(to.row());
                });
    }

    // The lines since the last call.
    QStringList take() { return std::exchange(m_lines, {}); }

private:
    QAbstractItemModelTester m_tester;
    QStringList m_lines;
};
