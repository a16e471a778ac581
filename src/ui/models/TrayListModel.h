#pragma once

#include "RecordListModel.h"
#include "TrayRow.h"

#include <QtQml/qqmlregistration.h>

class AppState;

// The tray panel's one list: the enabled applications, then the enabled folders. One list, so
// that the panel scrolls through thousands of records as one surface and creates only the rows
// it shows; the actions and the counts stay with the application and folder models.
class TrayListModel : public RecordListModel<TrayRow>
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the view context")

public:
    enum Role
    {
        // "app" or "folder".
        KindRole = Qt::UserRole + 1,
        IdRole,
        NameRole,
        LockedRole,
        ProblemRole,
    };

    explicit TrayListModel(AppState& state, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    void rebuild();

    AppState& m_state;
};
