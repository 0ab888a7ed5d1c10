#pragma once
// The filter list panel: on/off mark and each filter's display name, the
// copy/skip mode, and the row editor's form.
#include "engine/FilterRowRules.h"
#include "uimodel/ListEditor.h"

#include <QDate>

namespace qm {

class FilterListEditor : public ListEditor {
    Q_OBJECT
public:
    enum Column { OnOffColumn = 0, NameColumn = 1, ColumnCount = 2 };
    // `filterCopySkip`: copy only the items that match, or skip them.
    enum Mode { CopyMatching = 1, SkipMatching = 2 };

    explicit FilterListEditor(QObject *parent = nullptr);

    int mode() const { return m_mode; }
    void setMode(int tag) { m_mode = tag; }

    // The row editor confirmed: the row's new values into the working copy.
    void setRowValues(int row, const QVariantMap &values) { setRow(row, values); }

protected:
    QString validate() const override;
    QString cellText(const QVariantMap &row, int column) const override;
    QString columnTitle(int) const override;
    // Every column past the mark edits the row (Option resets it to the defaults).
    CellKind cellKind(int) const override { return CellKind::Row; }
    QVariantMap resetRow(const QVariantMap &) const override;
    QString offTitle() const override;
    QString offMessage() const override;
    void loadExtra(const QVariantMap &session) override;
    void storeExtra(QVariantMap &session) override;

private:
    int m_mode = SkipMatching;
};

// The modal editor of one filter row: its fields under the stored keys.
class FilterRowForm {
public:
    enum class DateCriterion { Creation, Modification };
    enum class Code { Type, Creator };
    // Date operators past the separator fill in the date themselves.
    static constexpr int kIsToday = 5;
    static constexpr int kIsYesterday = 6;

    // Opens on `row` (counted from 0): the name field shows the row's name,
    // or "Filter N" when it has none.
    FilterRowForm(const QVariantMap &row, int rowIndex);

    const QVariantMap &fields() const { return m_fields; }
    QVariant value(const QString &key) const { return m_fields.value(key); }
    void setValue(const QString &key, const QVariant &value) { m_fields.insert(key, value); }
    QString nameField() const { return m_name; }

    // OnOffCheckBox: a criterion's operator and fields follow its box
    // (`onKey` such as "filterOwnerOn").
    bool criterionEnabled(const QString &onKey) const;
    // The month, day and year fields and their steppers.
    bool dateFieldsEnabled(DateCriterion which) const;
    // Choosing a date operator: today or yesterday fills the date; true
    // when the month field is to be selected (any other operator).
    bool chooseDateOperator(DateCriterion which, int pop, const QDate &today);
    // The steppers and fields: a month or year change lowers a day past
    // the month's end. Answers the day stepper's maximum.
    int setDateMonth(DateCriterion which, int month);
    int setDateYear(DateCriterion which, int year);
    void setDateDay(DateCriterion which, int day);
    int dayMaximum(DateCriterion which) const;

    // The Type and Creator buttons: the code of `file`, or its warning
    // (the field emptied) when it has none or cannot be read.
    QString pickCode(Code which, const QString &file);

    // OK: the first failing check (the window stays, its field focused), or
    // ok with the criteria and the built display name stored into `row`.
    FilterRowCheck confirm(QVariantMap *row) const;

private:
    QString dateKey(DateCriterion which, const char *part) const;
    int clampDay(DateCriterion which);

    QVariantMap m_fields;
    QString m_name;
};

} // namespace qm
