#include "uimodel/ChoiceListModel.h"

#include "platform/Messages.h"

namespace qm {

ChoiceListModel::ChoiceListModel(QList<Choice> choices, QObject *parent)
    : QAbstractListModel(parent), m_choices(std::move(choices))
{
}

int ChoiceListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_choices.size());
}

QVariant ChoiceListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_choices.size())
        return QVariant();
    const Choice &c = m_choices.at(index.row());
    switch (role) {
    case Qt::DisplayRole: return c.title;
    case TagRole: return c.tag;
    default: return QVariant();
    }
}

int ChoiceListModel::tagAt(int row) const
{
    return row >= 0 && row < m_choices.size() ? m_choices.at(row).tag : -1;
}

int ChoiceListModel::rowOfTag(int tag) const
{
    for (int i = 0; i < m_choices.size(); ++i)
        if (m_choices.at(i).tag == tag)
            return i;
    return -1;
}

// A copy's class gets the chosen read and write bits and keeps the source's
// execute (search) bit; -1 leaves the class as the source has it.
QList<Choice> ChoiceListModel::permissionChoices()
{
    return {{GLS("No change"), -1}, {GLS("Read & Write"), 6}, {GLS("Read only"), 4}, {GLS("No access"), 0}};
}

QList<Choice> ChoiceListModel::onErrorChoices()
{
    return {{GLS("Ask whether to continue"), 3},
            {GLS("Skip and continue"), 2},
            {GLS("Stop with an alert"), 1},
            {GLS("Stop without an alert"), 4}};
}

QList<Choice> ChoiceListModel::whenChoices() { return {{GLS("always"), 1}, {GLS("only on errors"), 2}}; }

QList<Choice> ChoiceListModel::logFormatChoices() { return {{GLS("Rich text (RTF)"), 1}, {GLS("Plain text"), 2}}; }

QList<Choice> ChoiceListModel::logKindChoices()
{
    return {{GLS("Summary only"), 1}, {GLS("Detailed"), 2}, {GLS("Errors only"), 3}};
}

QList<Choice> ChoiceListModel::deleteLogsUnitChoices()
{
    return {{GLS("days old"), 0}, {GLS("most recent kept"), 1}};
}

QList<Choice> ChoiceListModel::mailTransportChoices()
{
    return {{GLS("sendmail program"), 1}, {GLS("SMTP server"), 2}};
}

QList<Choice> ChoiceListModel::smtpSecurityChoices()
{
    return {{GLS("None"), 0}, {GLS("STARTTLS"), 1}, {GLS("TLS"), 2}};
}

} // namespace qm
