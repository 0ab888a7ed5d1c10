#pragma once
// The modal editor of one filter row: eight criteria, each with its check
// box, operator pop-up and operands; the date operators "is today" and
// "is yesterday" fill the date themselves; the Type and Creator buttons
// read the code of a chosen file. OK stores the row with its built name.
#include "uimodel/FilterListEditor.h"

#include <QDialog>
#include <QMap>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace qm {

class Dialogs;
class NumberField;

class FilterRowDialog : public QDialog {
    Q_OBJECT
public:
    FilterRowDialog(FilterListEditor &editor, int row, Dialogs &dialogs, QWidget *parent = nullptr);

    int row() const { return m_row; }
    // The control of a stored key ("filterOwnerOn", "filterCreationDatePop",
    // "filterTypeField", "filterModificationDateDay", ...), or null.
    QWidget *control(const QString &key) const { return m_controls.value(key); }
    QLineEdit *nameField() const { return m_name; }
    QPushButton *pickButton(FilterRowForm::Code which) const;
    QPushButton *okButton() const { return m_ok; }

    // OK: the row stored and the dialog closed, or the first failed check
    // shown with its field selected.
    void accept() override;

private:
    void addCriterion(int index);
    void addDateFields(const QString &base, QWidget *line);
    void fillDate(FilterRowForm::DateCriterion which);
    void chooseDateOperator(FilterRowForm::DateCriterion which, int pop);
    void dateChanged(FilterRowForm::DateCriterion which, const char *part, int value);
    void pickCode(FilterRowForm::Code which);
    void updateEnabling();

    FilterListEditor &m_editor;
    int m_row;
    Dialogs &m_dialogs;
    FilterRowForm m_form;
    QMap<QString, QWidget *> m_controls;
    QLineEdit *m_name = nullptr;
    QPushButton *m_pickType = nullptr;
    QPushButton *m_pickCreator = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace qm
