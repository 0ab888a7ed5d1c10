#pragma once
// The timer list panel: on/off mark, start and interval of each timer row,
// and the confirmation of the row dialog. After a stored Apply the caller
// rebuilds the schedule in full.
#include "schedule/TimerValidation.h"
#include "uimodel/ListEditor.h"

#include <QLocale>
#include <functional>

namespace qm {

class TimerListEditor : public ListEditor {
    Q_OBJECT
public:
    enum Column { OnOffColumn = 0, StartColumn = 1, IntervalColumn = 2, ColumnCount = 3 };
    using Now = std::function<QDateTime()>;

    explicit TimerListEditor(Now now = nullptr, QLocale locale = QLocale(), QObject *parent = nullptr);

    // The dialog for `row` as it opens.
    TimerForm dialogFor(int row) const;
    // The dialog's confirm button: the first failing check with its field
    // put back in `form` (the dialog stays and selects it), or ok with the
    // row stored into the working copy.
    TimerCheck confirmDialog(int row, TimerForm &form);

protected:
    QString validate() const override;
    QString cellText(const QVariantMap &row, int column) const override;
    QString columnTitle(int column) const override;
    bool isCellGray(const QVariantMap &row, int column) const override;
    CellKind cellKind(int column) const override { return column <= IntervalColumn ? CellKind::Row : CellKind::Inert; }
    // The Option-click empties the row.
    QVariantMap resetRow(const QVariantMap &row) const override { return emptiedRow(row, now()); }
    QString offTitle() const override;
    QString offMessage() const override;

private:
    QDateTime now() const { return m_now ? m_now() : QDateTime::currentDateTime(); }

    Now m_now;
    QLocale m_locale;
};

} // namespace qm
