#include "ui/FilterRowDialog.h"

#include "engine/FilterRowRules.h"
#include "platform/Messages.h"
#include "ui/Dialogs.h"
#include "ui/NumberField.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

namespace {

enum class Operand { Text, Date, Code, None, Account };

struct Criterion {
    const char *title;
    const char *base;
    Operand operand;
};

// In the order the display name lists them.
constexpr Criterion kCriteria[] = {
    {"File name", "filterFileName", Operand::Text},
    {"Creation date", "filterCreationDate", Operand::Date},
    {"Modification date", "filterModificationDate", Operand::Date},
    {"Type", "filterType", Operand::Code},
    {"Creator", "filterCreator", Operand::Code},
    {"Kind", "filterKind", Operand::None},
    {"Owner", "filterOwner", Operand::Account},
    {"Group", "filterGroup", Operand::Account},
};

QStringList operatorTitles(int index)
{
    const FilterOperatorTitles t = FilterOperatorTitles::localized();
    switch (kCriteria[index].operand) {
    case Operand::Text: return t.fileName;
    case Operand::Date: return t.date;
    case Operand::Code: return t.code;
    case Operand::None: return t.kind;
    case Operand::Account: return t.account;
    }
    return {};
}

QString dateBase(FilterRowForm::DateCriterion which)
{
    return which == FilterRowForm::DateCriterion::Creation ? QStringLiteral("filterCreationDate")
                                                           : QStringLiteral("filterModificationDate");
}

QString key(const QString &base, const char *part)
{
    return base + QLatin1String(part);
}

} // namespace

FilterRowDialog::FilterRowDialog(FilterListEditor &editor, int row, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_editor(editor), m_row(row), m_dialogs(dialogs), m_form(editor.rowAt(row), row)
{
    setObjectName(QStringLiteral("FilterRowDialog"));
    setWindowTitle(GLS("Filter"));
    setModal(true);
    m_name = new QLineEdit(m_form.nameField(), this);
    m_name->setReadOnly(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_name);
    auto *grid = new QGridLayout;
    layout->addLayout(grid);
    for (int i = 0; i < int(std::size(kCriteria)); ++i)
        addCriterion(i);
    for (int i = 0; i < int(std::size(kCriteria)); ++i) {
        const QString base = QLatin1String(kCriteria[i].base);
        grid->addWidget(control(key(base, "On")), i, 0);
        grid->addWidget(control(key(base, "Pop")), i, 1);
        if (QWidget *operand = control(key(base, "Operand")))
            grid->addWidget(operand, i, 2);
    }
    grid->addWidget(m_pickType, 3, 3);
    grid->addWidget(m_pickCreator, 4, 3);
    grid->setColumnStretch(2, 1);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(GLS("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(GLS("Cancel"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &FilterRowDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FilterRowDialog::reject);
    layout->addWidget(buttons);
    updateEnabling();
    control(QStringLiteral("filterFileNameOn"))->setFocus();
}

void FilterRowDialog::addCriterion(int index)
{
    const Criterion &c = kCriteria[index];
    const QString base = QLatin1String(c.base);
    auto *on = new QCheckBox(GLS(c.title), this);
    on->setChecked(m_form.criterionEnabled(key(base, "On")));
    connect(on, &QCheckBox::toggled, this, [this, base](bool checked) {
        m_form.setValue(key(base, "On"), qlonglong(checked ? 1 : 0));
        updateEnabling();
    });
    m_controls.insert(key(base, "On"), on);

    auto *pop = new QComboBox(this);
    const QStringList titles = operatorTitles(index);
    for (int t = 0; t < titles.size(); ++t) {
        if (titles.at(t).isEmpty())
            pop->insertSeparator(t); // keeps the stored index of the items after it
        else
            pop->addItem(titles.at(t));
    }
    pop->setCurrentIndex(m_form.value(key(base, "Pop")).toInt());
    m_controls.insert(key(base, "Pop"), pop);

    QWidget *operand = nullptr;
    if (c.operand == Operand::Date) {
        const auto which = index == 1 ? FilterRowForm::DateCriterion::Creation
                                      : FilterRowForm::DateCriterion::Modification;
        operand = new QWidget(this);
        addDateFields(base, operand);
        fillDate(which);
        connect(pop, &QComboBox::currentIndexChanged, this,
                [this, which](int item) { chooseDateOperator(which, item); });
    } else {
        connect(pop, &QComboBox::currentIndexChanged, this,
                [this, base](int item) { m_form.setValue(key(base, "Pop"), qlonglong(item)); });
    }
    if (c.operand == Operand::Text || c.operand == Operand::Code || c.operand == Operand::Account) {
        auto *text = new QLineEdit(m_form.value(key(base, "Field")).toString(), this);
        if (c.operand == Operand::Code)
            text->setMaxLength(4);
        connect(text, &QLineEdit::textChanged, this,
                [this, base](const QString &value) { m_form.setValue(key(base, "Field"), value); });
        m_controls.insert(key(base, "Field"), text);
        operand = text;
    }
    if (operand)
        m_controls.insert(key(base, "Operand"), operand);
    if (c.operand == Operand::Code) {
        const auto which = index == 3 ? FilterRowForm::Code::Type : FilterRowForm::Code::Creator;
        auto *pick = new QPushButton(GLS("Pick…"), this);
        connect(pick, &QPushButton::clicked, this, [this, which] { pickCode(which); });
        (which == FilterRowForm::Code::Type ? m_pickType : m_pickCreator) = pick;
    }
}

void FilterRowDialog::addDateFields(const QString &base, QWidget *line)
{
    using D = FilterRowForm::DateCriterion;
    const D which = base == dateBase(D::Creation) ? D::Creation : D::Modification;
    auto *row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    static const struct {
        const char *part;
        const char *title;
        int digits, stepMin, stepMax;
    } parts[] = {{"Month", "Month", 2, 1, 12}, {"Day", "Day", 2, 1, 31}, {"Year", "Year", 4, 1904, 9999}};
    for (const auto &p : parts) {
        auto *field = new NumberField(p.digits, line);
        field->setStepRange(p.stepMin, p.stepMax);
        m_controls.insert(key(base, p.part), field);
        row->addWidget(new QLabel(GLS(p.title), line));
        row->addWidget(field);
        const char *part = p.part;
        connect(field, &QSpinBox::valueChanged, this, [this, which, part](int value) { dateChanged(which, part, value); });
    }
    row->addStretch();
}

void FilterRowDialog::fillDate(FilterRowForm::DateCriterion which)
{
    const QString base = dateBase(which);
    for (const char *part : {"Month", "Day", "Year"}) {
        auto *field = static_cast<NumberField *>(control(key(base, part)));
        QSignalBlocker quiet(field);
        field->setValue(m_form.value(key(base, part)).toInt());
    }
    static_cast<NumberField *>(control(key(base, "Day")))->setStepRange(1, m_form.dayMaximum(which));
}

void FilterRowDialog::dateChanged(FilterRowForm::DateCriterion which, const char *part, int value)
{
    if (qstrcmp(part, "Day") == 0) {
        m_form.setDateDay(which, value);
        return;
    }
    if (qstrcmp(part, "Month") == 0)
        m_form.setDateMonth(which, value);
    else
        m_form.setDateYear(which, value);
    fillDate(which); // the day lowered to the month's end
}

void FilterRowDialog::chooseDateOperator(FilterRowForm::DateCriterion which, int pop)
{
    const bool selectMonth = m_form.chooseDateOperator(which, pop, QDate::currentDate());
    fillDate(which);
    updateEnabling();
    if (selectMonth) {
        auto *month = static_cast<NumberField *>(control(key(dateBase(which), "Month")));
        month->setFocus();
        month->selectAll();
    }
}

void FilterRowDialog::pickCode(FilterRowForm::Code which)
{
    const bool type = which == FilterRowForm::Code::Type;
    const QString file = m_dialogs.chooseFile(this, type ? GLS("Pick the Type from file") : GLS("Pick the Creator from file"),
                                              QDir::homePath());
    if (file.isEmpty())
        return;
    const QString warning = m_form.pickCode(which, file);
    const QString fieldKey = type ? QStringLiteral("filterTypeField") : QStringLiteral("filterCreatorField");
    static_cast<QLineEdit *>(control(fieldKey))->setText(m_form.value(fieldKey).toString());
    if (!warning.isEmpty())
        m_dialogs.alert(this, QMessageBox::Warning, GLS("Warning:"), warning, {GLS("OK")});
}

QPushButton *FilterRowDialog::pickButton(FilterRowForm::Code which) const
{
    return which == FilterRowForm::Code::Type ? m_pickType : m_pickCreator;
}

void FilterRowDialog::updateEnabling()
{
    using D = FilterRowForm::DateCriterion;
    for (const Criterion &c : kCriteria) {
        const QString base = QLatin1String(c.base);
        const bool on = m_form.criterionEnabled(key(base, "On"));
        control(key(base, "Pop"))->setEnabled(on);
        if (QWidget *text = control(key(base, "Field")))
            text->setEnabled(on);
    }
    m_pickType->setEnabled(m_form.criterionEnabled(QStringLiteral("filterTypeOn")));
    m_pickCreator->setEnabled(m_form.criterionEnabled(QStringLiteral("filterCreatorOn")));
    for (D which : {D::Creation, D::Modification})
        control(key(dateBase(which), "Operand"))->setEnabled(m_form.dateFieldsEnabled(which));
}

void FilterRowDialog::accept()
{
    for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it)
        if (auto *number = qobject_cast<NumberField *>(it.value()))
            number->interpretText();
    QVariantMap stored;
    const FilterRowCheck check = m_form.confirm(&stored);
    if (check.ok) {
        m_editor.setRowValues(m_row, stored);
        QDialog::accept();
        return;
    }
    m_dialogs.alert(this, QMessageBox::Warning, GLS("Warning:"), check.message, {GLS("OK")});
    if (QWidget *w = control(check.field)) {
        w->setFocus();
        if (auto *text = qobject_cast<QLineEdit *>(w))
            text->selectAll();
        else if (auto *number = qobject_cast<NumberField *>(w))
            number->selectAll();
    }
}

} // namespace qm
