#include "ui/ListPanels.h"

#include "app/AppController.h"
#include "platform/Messages.h"
#include "ui/FilterRowDialog.h"
#include "ui/TimerRowDialog.h"
#include "uimodel/ConsoleModel.h"
#include "uimodel/ExcludeListEditor.h"
#include "uimodel/MultiListEditor.h"
#include "uimodel/TimerListEditor.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QTableView>

namespace qm {

TimerPanel::TimerPanel(ListPanelServices services, QWidget *parent)
    : ListPanel(new TimerListEditor(), panelIdentifier(Panel::Timer), GLS("Use the Timer list"), std::move(services),
                parent)
{
}

TimerListEditor *TimerPanel::timers() const
{
    return static_cast<TimerListEditor *>(editor());
}

TimerRowDialog *TimerPanel::rowDialog() const
{
    return m_dialog;
}

void TimerPanel::editRow(int row)
{
    m_dialog = new TimerRowDialog(*timers(), row, dialogs(), QLocale(), this);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog->show();
}

FilterPanel::FilterPanel(ListPanelServices services, QWidget *parent)
    : ListPanel(new FilterListEditor(), panelIdentifier(Panel::Filter), GLS("Use the Filter list"),
                std::move(services), parent)
{
    auto *modes = new QWidget(this);
    auto *line = new QHBoxLayout(modes);
    line->setContentsMargins(0, 0, 0, 0);
    m_mode = new QButtonGroup(this);
    const std::pair<int, const char *> choices[] = {{FilterListEditor::CopyMatching, "Copy only the matching items"},
                                                    {FilterListEditor::SkipMatching, "Skip the matching items"}};
    for (const auto &[tag, title] : choices) {
        auto *radio = new QRadioButton(GLS(title), modes);
        m_mode->addButton(radio, tag);
        line->addWidget(radio);
    }
    line->addStretch();
    connect(m_mode, &QButtonGroup::idClicked, filters(), &FilterListEditor::setMode);
    addAboveTable(modes);
}

FilterListEditor *FilterPanel::filters() const
{
    return static_cast<FilterListEditor *>(editor());
}

FilterRowDialog *FilterPanel::rowDialog() const
{
    return m_dialog;
}

bool FilterPanel::load(const QVariantMap &document)
{
    if (!ListPanel::load(document))
        return false;
    if (QAbstractButton *b = m_mode->button(filters()->mode()))
        b->setChecked(true);
    return true;
}

void FilterPanel::editRow(int row)
{
    m_dialog = new FilterRowDialog(*filters(), row, dialogs(), this);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog->show();
}

QMap<Panel, ListPanel *> makeListPanels(AppController &controller, Dialogs &dialogs, QWidget *parent)
{
    const ConsoleEnvironment env = ConsoleEnvironment::forController(controller);
    ListPanelServices services;
    services.dialogs = &dialogs;
    services.document = [&controller]() -> QVariantMap & { return controller.documents().document(); };
    services.runUnderway = [&controller] {
        RunDriver &run = controller.run();
        return run.isRunning() || run.flags().isStartingSyncAndQuit;
    };
    services.reveal = env.reveal;

    QMap<Panel, ListPanel *> panels;
    auto *timers = new TimerPanel(services, parent);
    QObject::connect(timers, &ListPanel::stored, &controller, [&controller] { controller.schedule().rebuild(true); });
    panels.insert(Panel::Timer, timers);
    panels.insert(Panel::Multi, new ListPanel(new MultiListEditor(env.addVolume), panelIdentifier(Panel::Multi),
                                              GLS("Use the Multiple list"), services, parent));
    panels.insert(Panel::Filter, new FilterPanel(services, parent));
    panels.insert(Panel::Exclude, new ListPanel(new ExcludeListEditor(), panelIdentifier(Panel::Exclude),
                                                GLS("Use the Exclude list"), services, parent));
    return panels;
}

} // namespace qm
