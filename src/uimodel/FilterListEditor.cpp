#include "uimodel/FilterListEditor.h"

#include "engine/Filter.h"
#include "fs/CatalogInfo.h"
#include "platform/Messages.h"

namespace qm {

namespace {

constexpr const char *kCriterionOnKeys[] = {
    "filterFileNameOn", "filterCreationDateOn", "filterModificationDateOn", "filterTypeOn",
    "filterCreatorOn",  "filterKindOn",         "filterOwnerOn",            "filterGroupOn",
};

bool isOn(const QVariantMap &row, const char *key)
{
    return row.value(QLatin1String(key)).toLongLong() != 0;
}

bool anyCriterionOn(const QVariantMap &row)
{
    for (const char *key : kCriterionOnKeys)
        if (isOn(row, key))
            return true;
    return false;
}

int monthDays(int month, int year)
{
    // The row check refuses 29 February of 2100, so the stepper stops at 28 there too.
    if (month < 1 || month > 12)
        return 31;
    return QDate(year, month, 1).isValid() ? QDate(year, month, 1).daysInMonth() : 31;
}

} // namespace

FilterListEditor::FilterListEditor(QObject *parent)
    : ListEditor(RowList::Filter, QStringLiteral("filterOn"), ColumnCount, parent)
{
}

QString FilterListEditor::validate() const
{
    for (const QVariant &r : rows()) {
        const QVariantMap row = r.toMap();
        if (isOn(row, "onOff") && anyCriterionOn(row))
            return QString();
    }
    return GLS("Can't set an empty Filter list.");
}

QString FilterListEditor::cellText(const QVariantMap &row, int column) const
{
    return column == NameColumn ? row.value(QStringLiteral("filterNameField")).toString() : QString();
}

QString FilterListEditor::offTitle() const
{
    return GLS("The Filter list is off:");
}

QString FilterListEditor::offMessage() const
{
    return offMessageNaming(GLS("In order to edit the Filter list, mark the check-box"));
}

QString FilterListEditor::columnTitle(int) const
{
    return GLS("Filter");
}

QVariantMap FilterListEditor::resetRow(const QVariantMap &) const
{
    return SessionDefaults::filterRow();
}

void FilterListEditor::loadExtra(const QVariantMap &session)
{
    m_mode = int(session.value(QStringLiteral("filterCopySkip"), qlonglong(SkipMatching)).toLongLong());
}

void FilterListEditor::storeExtra(QVariantMap &session)
{
    session.insert(QStringLiteral("filterCopySkip"), qlonglong(m_mode));
}

FilterRowForm::FilterRowForm(const QVariantMap &row, int rowIndex)
{
    // Every criterion key present, whatever an old row lacks.
    m_fields = SessionDefaults::filterRow();
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        m_fields.insert(it.key(), it.value());
    m_name = m_fields.value(QStringLiteral("filterNameField")).toString();
    if (m_name.isEmpty())
        m_name = GLS("Filter %d").replace(QStringLiteral("%d"), QString::number(rowIndex + 1));
}

bool FilterRowForm::criterionEnabled(const QString &onKey) const
{
    return m_fields.value(onKey).toLongLong() != 0;
}

QString FilterRowForm::dateKey(DateCriterion which, const char *part) const
{
    return (which == DateCriterion::Creation ? QStringLiteral("filterCreationDate")
                                             : QStringLiteral("filterModificationDate")) +
           QLatin1String(part);
}

bool FilterRowForm::dateFieldsEnabled(DateCriterion which) const
{
    const int pop = m_fields.value(dateKey(which, "Pop")).toInt();
    return criterionEnabled(dateKey(which, "On")) && pop != kIsToday && pop != kIsYesterday;
}

bool FilterRowForm::chooseDateOperator(DateCriterion which, int pop, const QDate &today)
{
    m_fields.insert(dateKey(which, "Pop"), qlonglong(pop));
    if (pop != kIsToday && pop != kIsYesterday)
        return true;
    const QDate date = pop == kIsToday ? today : today.addDays(-1);
    m_fields.insert(dateKey(which, "Month"), qlonglong(date.month()));
    m_fields.insert(dateKey(which, "Day"), qlonglong(date.day()));
    m_fields.insert(dateKey(which, "Year"), qlonglong(date.year()));
    return false;
}

int FilterRowForm::dayMaximum(DateCriterion which) const
{
    return monthDays(m_fields.value(dateKey(which, "Month")).toInt(), m_fields.value(dateKey(which, "Year")).toInt());
}

int FilterRowForm::clampDay(DateCriterion which)
{
    const int maximum = dayMaximum(which);
    if (m_fields.value(dateKey(which, "Day")).toInt() > maximum)
        m_fields.insert(dateKey(which, "Day"), qlonglong(maximum));
    return maximum;
}

int FilterRowForm::setDateMonth(DateCriterion which, int month)
{
    m_fields.insert(dateKey(which, "Month"), qlonglong(month));
    return clampDay(which);
}

int FilterRowForm::setDateYear(DateCriterion which, int year)
{
    m_fields.insert(dateKey(which, "Year"), qlonglong(year));
    return clampDay(which);
}

void FilterRowForm::setDateDay(DateCriterion which, int day)
{
    m_fields.insert(dateKey(which, "Day"), qlonglong(day));
}

QString FilterRowForm::pickCode(Code which, const QString &file)
{
    const QString key = which == Code::Type ? QStringLiteral("filterTypeField") : QStringLiteral("filterCreatorField");
    CatalogInfo info;
    quint32 code = 0;
    if (ReadCatalogInfo(file, &info) == Status::noErr)
        code = which == Code::Type ? info.finderInfo.fileType() : info.finderInfo.creator();
    if (code == 0) {
        m_fields.insert(key, QString());
        return which == Code::Type ? GLS("This file has not a Type.") : GLS("This file has not a Creator.");
    }
    QString quoted = quotedFourCharCode(code);
    if (quoted.size() >= 2 && quoted.startsWith(QLatin1Char('\'')) && quoted.endsWith(QLatin1Char('\'')))
        quoted = quoted.mid(1, quoted.size() - 2);
    m_fields.insert(key, quoted);
    return QString();
}

FilterRowCheck FilterRowForm::confirm(QVariantMap *row) const
{
    const FilterRowCheck check = CheckFilterRow(m_fields);
    if (!check.ok)
        return check;
    QVariantMap stored = m_fields;
    stored.insert(QStringLiteral("filterNameField"), FilterDisplayName(m_fields));
    *row = stored;
    return check;
}

} // namespace qm
