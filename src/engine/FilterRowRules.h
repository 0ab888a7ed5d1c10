#pragma once
// What the filter editor needs of a row: the check made before a row is
// saved, and the display name shown in the list and in the log.
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace qm {

struct FilterRowCheck {
    bool ok = true;
    QString message; // shown as a warning when !ok
    QString field;   // the stored key of the field to focus
};

// The first failing check of a row, in the editor's order.
FilterRowCheck CheckFilterRow(const QVariantMap &row);

// The titles of the operator pop-up menus, in menu order.
struct FilterOperatorTitles {
    QStringList fileName; // contains ... does not contain
    QStringList date;     // is ... is yesterday (index 4 is the separator)
    QStringList code;     // is, is not
    QStringList kind;     // file, folder
    QStringList account;  // name is ... ID is not
    static FilterOperatorTitles localized();
};

// "FN contains \"x\" - Kind folder ...": the criteria that are on, in order.
QString FilterDisplayName(const QVariantMap &row,
                          const FilterOperatorTitles &titles = FilterOperatorTitles::localized());

} // namespace qm
