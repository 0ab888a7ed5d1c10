#pragma once
// The choices of a pop-up menu or radio group: a title and the tag that is
// stored. The widgets fill their pop-ups and radio buttons from these rows.
#include <QAbstractListModel>
#include <QList>

namespace qm {

struct Choice {
    QString title; // looked up
    int tag = 0;
};

class ChoiceListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { TagRole = Qt::UserRole + 1 };

    explicit ChoiceListModel(QList<Choice> choices, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    int tagAt(int row) const;
    // The row of the choice with `tag`, or -1 when no choice has it (a value
    // stored by another version: the form keeps it until the user chooses).
    int rowOfTag(int tag) const;

    // Permission of one class (owner, group, others) of the copies.
    static QList<Choice> permissionChoices();
    static QList<Choice> onErrorChoices();
    static QList<Choice> whenChoices(); // saving and mailing the log
    static QList<Choice> logFormatChoices();
    static QList<Choice> logKindChoices();
    static QList<Choice> deleteLogsUnitChoices();
    static QList<Choice> mailTransportChoices();
    static QList<Choice> smtpSecurityChoices();

private:
    QList<Choice> m_choices;
};

} // namespace qm
