#include "uimodel/PanelTable.h"

#include <array>

namespace qm {

namespace {

struct Row {
    Panel panel;
    const char *identifier;
    bool isTab;
    bool menuEnabled;
    bool allowAll;
    PanelAction action;
};

constexpr std::array<Row, 12> kTable{{
    {Panel::Console, "console", true, true, true, PanelAction::ShowSession},
    {Panel::Timer, "timer", true, true, false, PanelAction::LoadTimerRows},
    {Panel::Multi, "multi", true, true, false, PanelAction::LoadList},
    {Panel::Filter, "filter", true, true, false, PanelAction::LoadList},
    {Panel::Exclude, "exclude", true, true, false, PanelAction::LoadList},
    {Panel::Settings, "settings", true, true, false, PanelAction::FillSettings},
    {Panel::AutoMountVolumes, "autoMountVolumes", true, true, false, PanelAction::LoadVolumes},
    {Panel::About, "about", false, false, false, PanelAction::OpenAbout},
    {Panel::Preferences, "preferences", false, false, false, PanelAction::OpenPreferences},
    {Panel::Conflicts, "conflicts", false, false, false, PanelAction::OpenConflicts},
    {Panel::AppleScript, "appleScript", false, false, false, PanelAction::OpenScripts},
    {Panel::DocumentClosed, "documentClosed", false, false, false, PanelAction::CloseDocument},
}};

const Row &rowOf(Panel panel)
{
    for (const Row &r : kTable)
        if (r.panel == panel)
            return r;
    return kTable.front();
}

} // namespace

PanelEntry GoPanel(Panel panel)
{
    const Row &r = rowOf(panel);
    return PanelEntry{r.panel, QString::fromLatin1(r.identifier), r.isTab, r.menuEnabled, r.allowAll,
                      r.panel != Panel::Console, r.action};
}

QString panelIdentifier(Panel panel) { return QString::fromLatin1(rowOf(panel).identifier); }

std::optional<Panel> panelFromIdentifier(const QString &identifier)
{
    for (const Row &r : kTable)
        if (identifier == QLatin1String(r.identifier))
            return r.panel;
    return std::nullopt;
}

std::optional<PanelEntry> PanelNavigator::go(Panel panel, bool runUnderway)
{
    if (runUnderway && (panel == Panel::Preferences || panel == Panel::About))
        return std::nullopt;
    const PanelEntry entry = GoPanel(panel);
    if (entry.isTab)
        m_tab = panel;
    return entry;
}

Panel PanelNavigator::afterWindowCloses(Panel window, bool consoleVisible) const
{
    if (window == Panel::Preferences || window == Panel::About)
        return consoleVisible ? m_tab : Panel::DocumentClosed;
    return Panel::Console;
}

} // namespace qm
