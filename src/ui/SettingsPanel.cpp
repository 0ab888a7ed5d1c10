#include "ui/SettingsPanel.h"

#include "app/SessionDefaults.h"
#include "ui/ApplyButtons.h"
#include "platform/Messages.h"
#include "uimodel/ChoiceListModel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace qm {

namespace {

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

    const ApplyButtons buttons = ApplyButtons::make(
        this, GLS("Stores the settings and keeps the panel open (Alt+Enter)"), SettingsForm::kCancelTag,
        [this](int tag, bool stay) { Q_EMIT buttonPressed(tag, stay); });
    m_cancel = buttons.cancel;
    m_stay = buttons.stay;
    m_apply = buttons.apply;

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(taskBox);
    layout->addLayout(boxes);
    layout->addWidget(m_cp);
    layout->addLayout(cpForm);
    layout->addStretch();
    layout->addLayout(buttons.row);
}

void SettingsPanel::fill(const QVariantMap &document)
{
    if (m_form.SetSettingsPanes(document))
        showForm();
}

void SettingsPanel::showForm()
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
