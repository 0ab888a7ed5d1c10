#include "uimodel/TimerListEditor.h"

#include "platform/Messages.h"

namespace qm {

TimerListEditor::TimerListEditor(Now now, QLocale locale, QObject *parent)
    : ListEditor(RowList::Timer, QStringLiteral("timerOn"), ColumnCount, parent), m_now(std::move(now)),
      m_locale(std::move(locale))
{
}

TimerForm TimerListEditor::dialogFor(int row) const
{
    return TimerForm::fromRow(rowAt(row), now());
}

TimerCheck TimerListEditor::confirmDialog(int row, TimerForm &form)
{
    const TimerCheck check = checkTimerForm(form);
    if (!check.ok()) {
        resetFailedField(form, check.field);
        return check;
    }
    setRow(row, form.storeInto(rowAt(row)));
    return check;
}

QString TimerListEditor::validate() const
{
    return isTimerListAcceptable(true, rows()) ? QString() : emptyTimerListMessage();
}

QString TimerListEditor::cellText(const QVariantMap &row, int column) const
{
    switch (column) {
    case StartColumn: return startCellText(row, m_locale);
    case IntervalColumn: return intervalCellText(row);
    default: return onOffCellText(row);
    }
}

QString TimerListEditor::columnTitle(int column) const
{
    return column == StartColumn ? GLS("Start") : GLS("Interval");
}

bool TimerListEditor::isCellGray(const QVariantMap &row, int column) const
{
    // A switched-off timer keeps its mark column live so it can be switched on again.
    if (!isListOn())
        return true;
    return column != OnOffColumn && row.value(TimerKey::onOff).toLongLong() != 1;
}

QString TimerListEditor::offTitle() const
{
    return timerListOffTitle();
}

QString TimerListEditor::offMessage() const
{
    return timerListOffMessage(switchTitle());
}

} // namespace qm
