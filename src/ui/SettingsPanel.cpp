#include "ui/SettingsPanel.h"

#include "app/SessionDefaults.h"
#include "platform/Messages.h"
#include "uimodel/ChoiceListModel.h"

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
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace qm {

namespace {

constexpr int kApplyTag = 1;
using PermissionClass = SettingsForm::PermissionClass;
constexpr PermissionClass kClasses[] = {PermissionClass::Owner, PermissionClass::Group, PermissionClass::Others};

} // namespace

SettingsPanel::SettingsPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("settings"));
    auto *taskBox = new QGroupBox(this);
    auto *taskRow = new QHBoxLayout(taskBox);
    m_task = new QButtonGroup(this);
    auto *sync = new QRadioButton(GLS("Synchronization"), taskBox);
    auto *backup = new QRadioButton(GLS("Backup"), taskBox);
    m_task->addButton(sync, int(SessionTask::Synchronize));
    m_task->addButton(backup, int(SessionTask::Backup));
    taskRow->addWidget(sync);
    taskRow->addWidget(backup);
    taskRow->addStretch();
    connect(m_task, &QButtonGroup::idClicked, this, [this](int tag) {
        m_form.SettingsSetTask(tag);
        showTask();
    });

    auto *boxes = new QVBoxLayout;
    for (int c = 0; c < SettingsForm::CheckCount; ++c) {
        const auto check = SettingsForm::Check(c);
        auto *box = new QCheckBox(SettingsForm::checkTitle(check), this);
        box->setObjectName(QString::fromLatin1(SettingsForm::checkKey(check)));
        connect(box, &QCheckBox::toggled, this, [this, check](bool on) { m_form.setChecked(check, on); });
        m_boxes[size_t(c)] = box;
        boxes->addWidget(box);
    }

    m_cp = new QCheckBox(GLS("Change permissions"), this);
    m_cp->setObjectName(QStringLiteral("settCPOn"));
    connect(m_cp, &QCheckBox::toggled, this, [this](bool on) {
        m_form.SettChangePermissions(on);
        for (QComboBox *pop : m_cpPops)
            pop->setEnabled(m_form.permissionPopUpsEnabled());
    });
    auto *cpForm = new QFormLayout;
    auto *choices = new ChoiceListModel(ChoiceListModel::permissionChoices(), this);
    static const char *const classTitles[] = {"Owner:", "Group:", "Others:"};
    for (size_t i = 0; i < m_cpPops.size(); ++i) {
        auto *pop = new QComboBox(this);
        pop->setModel(choices);
        connect(pop, &QComboBox::activated, this, [this, choices, i](int row) {
            m_form.setPermission(kClasses[i], choices->tagAt(row));
        });
        m_cpPops[i] = pop;
        cpForm->addRow(GLS(classTitles[i]), pop);
    }

    m_cancel = new QPushButton(GLS("Cancel"), this);
    m_stay = new QPushButton(GLS("Apply and Stay"), this);
    m_stay->setToolTip(GLS("Stores the settings and keeps the panel open (Alt+Enter)"));
    m_apply = new QPushButton(GLS("Apply"), this);
    m_apply->setDefault(true);
    connect(m_cancel, &QPushButton::clicked, this, [this] { Q_EMIT buttonPressed(SettingsForm::kCancelTag, false); });
    connect(m_stay, &QPushButton::clicked, this, [this] { Q_EMIT buttonPressed(kApplyTag, true); });
    connect(m_apply, &QPushButton::clicked, this, [this] {
        Q_EMIT buttonPressed(kApplyTag, QApplication::keyboardModifiers() & Qt::AltModifier);
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

void SettingsPanel::fill(const QVariantMap &document)
{
    if (m_form.SetSettingsPanes(document))
        show();
}

void SettingsPanel::show()
{
    if (QAbstractButton *b = m_task->button(m_form.task()))
        b->setChecked(true);
    showTask();
    for (int c = 0; c < SettingsForm::CheckCount; ++c) {
        const QSignalBlocker quiet(m_boxes[size_t(c)]);
        m_boxes[size_t(c)]->setChecked(m_form.isChecked(SettingsForm::Check(c)));
    }
    {
        const QSignalBlocker quiet(m_cp);
        m_cp->setChecked(m_form.changePermissions());
    }
    const auto *choices = static_cast<const ChoiceListModel *>(m_cpPops[0]->model());
    for (size_t i = 0; i < m_cpPops.size(); ++i) {
        // A value this version does not offer shows no choice and is kept.
        m_cpPops[i]->setCurrentIndex(choices->rowOfTag(m_form.permission(kClasses[i])));
        m_cpPops[i]->setEnabled(m_form.permissionPopUpsEnabled());
    }
}

void SettingsPanel::showTask()
{
    QCheckBox *exact = m_boxes[SettingsForm::Exact];
    exact->setText(m_form.exactTitle());
    exact->setToolTip(m_form.exactToolTip());
}

} // namespace qm
