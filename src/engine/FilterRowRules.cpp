#include "engine/FilterRowRules.h"
#include "platform/Messages.h"
#include <QDate>

namespace qm {

namespace {

bool isOn(const QVariantMap &row, const QString &key) { return row.value(key).toLongLong() != 0; }

// A stored number, or nullopt when the field holds none.
std::optional<int> number(const QVariantMap &row, const QString &key)
{
    bool ok = false;
    const int v = row.value(key).toString().trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

int daysInMonth(int month, int year)
{
    switch (month) {
    case 4: case 6: case 9: case 11: return 30;
    case 2: return QDate::isLeapYear(year) ? 29 : 28; // 2100 has no 29 February
    default: return 31;
    }
}

FilterRowCheck refuse(const char *text, const QString &field)
{
    return {false, GLS(text), field};
}

FilterRowCheck checkDate(const QVariantMap &row, const QString &base)
{
    const std::optional<int> year = number(row, base + "Year");
    if (!year || *year <= 1903)
        return refuse("Please insert a valid Year number.", base + "Year");
    const std::optional<int> month = number(row, base + "Month");
    if (!month || *month < 1 || *month > 12)
        return refuse("Please insert a valid Month number.", base + "Month");
    const std::optional<int> day = number(row, base + "Day");
    if (!day || *day < 1 || *day > daysInMonth(*month, *year))
        return refuse("Please insert a valid Day number.", base + "Day");
    return {};
}

bool emptyText(const QVariantMap &row, const QString &key)
{
    return row.value(key).toString().isEmpty();
}

QString title(const QStringList &titles, int index)
{
    return index >= 0 && index < titles.size() ? titles[index] : QString();
}

QString quotedText(const QString &text) { return " \"" + text + "\""; }

} // namespace

FilterRowCheck CheckFilterRow(const QVariantMap &row)
{
    if (isOn(row, "filterFileNameOn") && emptyText(row, "filterFileNameField"))
        return refuse("Please insert a valid file name.", "filterFileNameField");
    for (const char *base : {"filterCreationDate", "filterModificationDate"}) {
        if (!isOn(row, QString(base) + "On"))
            continue;
        const FilterRowCheck date = checkDate(row, base);
        if (!date.ok)
            return date;
    }
    static const struct {
        const char *on, *field, *message;
    } texts[] = {
        {"filterTypeOn", "filterTypeField", "Please insert a valid Type."},
        {"filterCreatorOn", "filterCreatorField", "Please insert a valid Creator."},
        {"filterOwnerOn", "filterOwnerField", "Please insert a valid Owner name or ID."},
        {"filterGroupOn", "filterGroupField", "Please insert a valid Group name or ID."},
    };
    for (const auto &t : texts) {
        if (isOn(row, t.on) && emptyText(row, t.field))
            return refuse(t.message, t.field);
    }
    for (const char *on : {"filterFileNameOn", "filterCreationDateOn", "filterModificationDateOn",
                           "filterTypeOn", "filterCreatorOn", "filterKindOn", "filterOwnerOn",
                           "filterGroupOn"}) {
        if (isOn(row, on))
            return {};
    }
    return refuse("Please define a criteria for this filter.", "filterFileNameOn");
}

FilterOperatorTitles FilterOperatorTitles::localized()
{
    FilterOperatorTitles t;
    for (const char *s : {"contains", "begins with", "ends with", "is", "is not", "does not contain"})
        t.fileName << GLS(s);
    for (const char *s : {"is", "is before", "is after", "is not", "", "is today", "is yesterday"})
        t.date << (*s ? GLS(s) : QString());
    t.code << GLS("is") << GLS("is not");
    t.kind << GLS("file") << GLS("folder");
    for (const char *s : {"name is", "name is not", "ID is", "ID is not"})
        t.account << GLS(s);
    return t;
}

QString FilterDisplayName(const QVariantMap &row, const FilterOperatorTitles &titles)
{
    QStringList parts;
    auto op = [&row](const char *key) { return int(row.value(key).toLongLong()); };
    if (isOn(row, "filterFileNameOn"))
        parts << "FN " + title(titles.fileName, op("filterFileNamePop")) +
                     quotedText(row.value("filterFileNameField").toString());
    for (const auto &[prefix, base] : {std::pair{"CD ", "filterCreationDate"},
                                       std::pair{"MD ", "filterModificationDate"}}) {
        const QString b = base;
        if (!isOn(row, b + "On"))
            continue;
        const int pop = int(row.value(b + "Pop").toLongLong());
        QString part = prefix + title(titles.date, pop);
        if (pop <= 4)
            part += quotedText(row.value(b + "Month").toString() + "/" +
                               row.value(b + "Day").toString() + "/" +
                               row.value(b + "Year").toString());
        parts << part;
    }
    if (isOn(row, "filterTypeOn"))
        parts << "Type " + title(titles.code, op("filterTypePop")) +
                     quotedText(row.value("filterTypeField").toString());
    if (isOn(row, "filterCreatorOn"))
        parts << "Creator " + title(titles.code, op("filterCreatorPop")) +
                     quotedText(row.value("filterCreatorField").toString());
    if (isOn(row, "filterKindOn"))
        parts << "Kind " + title(titles.kind, op("filterKindPop"));
    if (isOn(row, "filterOwnerOn"))
        parts << "Owner " + title(titles.account, op("filterOwnerPop")) +
                     quotedText(row.value("filterOwnerField").toString());
    if (isOn(row, "filterGroupOn"))
        parts << "Group " + title(titles.account, op("filterGroupPop")) +
                     quotedText(row.value("filterGroupField").toString());
    return parts.join(" - ");
}

} // namespace qm
