#include "ui/SettingsPanel.h"

#include "platform/Messages.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace qm {

namespace {

// The permission a class of a copy gets: kept from the source (-1), or read
// and write bits as chosen, the execute bit always following the source.
struct PermissionChoice {
    int tag;
    const char *title;
};
constexpr PermissionChoice kPermissionChoices[] = {
    {-1, "Same as the source"}, {6, "Read & Write"}, {4, "Read only"}, {2, "Write only"}, {0, "No Access"}};
constexpr const char *kPermissionKeys[] = {"settCPPopOwner", "settCPPopGroup", "settCPPopOthers"};

} // namespace

const std::array<const char *, 8> &SettingsPanel::checkBoxKeys()
{
    static const std::array<const char *, 8> keys = {
        "settExact", "settInvisibleItems", "settLockedItems", "settResolveAlias",
        "settResolveSymLink", "settNewItemsOnly", "settSkipEmptyFolders", "settMoveToTrash"};
    return keys;
}

SettingsPanel::SettingsPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("settings"));
    auto *taskBox = new QGroupBox(this);
    auto *taskRow = new QHBoxLayout(taskBox);
    m_task = new QButtonGroup(this);
    auto *sync = new QRadioButton(GLS("Synchronization"), taskBox);
    auto *backup = new QRadioButton(GLS("Backup"), taskBox);
    m_task->addButton(sync, 1);
    m_task->addButton(backup, 2);
    taskRow->addWidget(sync);
    taskRow->addWidget(backup);
    taskRow->addStretch();
    connect(m_task, &QButtonGroup::idClicked, this, &SettingsPanel::SettingsSetTask);

    static const char *const titles[] = {"Exact Sync", "Invisible items", "Unlock locked items", "Resolve aliases",
                                         "Resolve symbolic links", "New items only", "Skip empty folders",
                                         "Move to the Trash"};
    auto *boxes = new QVBoxLayout;
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        m_boxes[i] = new QCheckBox(GLS(titles[i]), this);
        m_boxes[i]->setObjectName(QString::fromLatin1(checkBoxKeys()[i]));
        boxes->addWidget(m_boxes[i]);
    }

    m_cp = new QCheckBox(GLS("Change permissions"), this);
    m_cp->setObjectName(QStringLiteral("settCPOn"));
    connect(m_cp, &QCheckBox::toggled, this, &SettingsPanel::SettChangePermissions);
    auto *cpForm = new QFormLayout;
    static const char *const classes[] = {"Owner:", "Group:", "Others:"};
    for (size_t i = 0; i < m_cpPops.size(); ++i) {
        auto *pop = new QComboBox(this);
        pop->setObjectName(QString::fromLatin1(kPermissionKeys[i]));
        for (const PermissionChoice &c : kPermissionChoices)
            pop->addItem(GLS(c.title), c.tag);
        m_cpPops[i] = pop;
        cpForm->addRow(GLS(classes[i]), pop);
    }

    m_cancel = new QPushButton(GLS("Cancel"), this);
    m_stay = new QPushButton(GLS("Apply and Stay"), this);
    m_stay->setToolTip(GLS("Stores the settings and keeps the panel open (Alt+Enter)"));
    m_apply = new QPushButton(GLS("Apply"), this);
    m_apply->setDefault(true);
    connect(m_cancel, &QPushButton::clicked, this, [this] { Q_EMIT finished(false, false); });
    connect(m_stay, &QPushButton::clicked, this, [this] { Q_EMIT finished(true, true); });
    connect(m_apply, &QPushButton::clicked, this, [this] {
        Q_EMIT finished(true, QApplication::keyboardModifiers() & Qt::AltModifier);
    });
    for (const QKeySequence &keys : {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)}) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, m_stay, &QPushButton::click);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_stay);
    buttons->addWidget(m_apply);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(taskBox);
    layout->addLayout(boxes);
    layout->addWidget(m_cp);
    layout->addLayout(cpForm);
    layout->addStretch();
    layout->addLayout(buttons);
}

QCheckBox *SettingsPanel::checkBox(const char *key) const
{
    for (size_t i = 0; i < m_boxes.size(); ++i)
        if (qstrcmp(checkBoxKeys()[i], key) == 0)
            return m_boxes[i];
    return key == QByteArrayLiteral("settCPOn") ? m_cp : nullptr;
}

void SettingsPanel::fill(const QVariantMap &session)
{
    const int task = session.value("settTask", 1).toInt();
    if (QAbstractButton *b = m_task->button(task))
        b->setChecked(true);
    SettingsSetTask(task);
    for (size_t i = 0; i < m_boxes.size(); ++i)
        m_boxes[i]->setChecked(session.value(checkBoxKeys()[i]).toInt() == 1);
    m_cp->setChecked(session.value("settCPOn").toInt() == 1);
    for (size_t i = 0; i < m_cpPops.size(); ++i) {
        // An old document's 0 is a choice too ("No Access"); an unknown value keeps the source's.
        const int at = m_cpPops[i]->findData(session.value(kPermissionKeys[i], -1).toInt());
        m_cpPops[i]->setCurrentIndex(at >= 0 ? at : 0);
    }
    SettChangePermissions(m_cp->isChecked());
}

void SettingsPanel::store(QVariantMap *session) const
{
    session->insert("settTask", qlonglong(m_task->checkedId() == 2 ? 2 : 1));
    for (size_t i = 0; i < m_boxes.size(); ++i)
        session->insert(checkBoxKeys()[i], qlonglong(m_boxes[i]->isChecked() ? 1 : 0));
    session->insert("settCPOn", qlonglong(m_cp->isChecked() ? 1 : 0));
    for (size_t i = 0; i < m_cpPops.size(); ++i)
        session->insert(kPermissionKeys[i], qlonglong(m_cpPops[i]->currentData().toInt()));
}

void SettingsPanel::SettingsSetTask(int task)
{
    QCheckBox *exact = m_boxes[0];
    if (task == 2) {
        exact->setText(GLS("Exact Backup"));
        exact->setToolTip(GLS("Deletes, from the destination folder, all the items not longer existing in the source folder"));
    } else {
        exact->setText(GLS("Exact Sync"));
        exact->setToolTip(GLS("Deletes, from a folder, all the items not longer existing in its specular folder"));
    }
}

void SettingsPanel::SettChangePermissions(bool on)
{
    for (QComboBox *pop : m_cpPops)
        pop->setEnabled(on);
}

} // namespace qm
