#pragma once
// The console's list pages: timers, folder pairs, filters and excluded
// items, each a ListPanel on its list editor.
#include "ui/ListPanel.h"
#include "uimodel/PanelTable.h"

#include <QMap>
#include <QPointer>

class QButtonGroup;

namespace qm {

class AppController;
class FilterListEditor;
class FilterRowDialog;
class TimerListEditor;
class TimerRowDialog;

class TimerPanel : public ListPanel {
    Q_OBJECT
public:
    TimerPanel(ListPanelServices services, QWidget *parent = nullptr);
    TimerListEditor *timers() const;
    // The row dialog while it is open.
    TimerRowDialog *rowDialog() const;

protected:
    void editRow(int row) override;

private:
    QPointer<TimerRowDialog> m_dialog;
};

class FilterPanel : public ListPanel {
    Q_OBJECT
public:
    FilterPanel(ListPanelServices services, QWidget *parent = nullptr);
    bool load(const QVariantMap &document) override;
    FilterListEditor *filters() const;
    // The copy/skip mode, by the tags of `filterCopySkip`.
    QButtonGroup *modeGroup() const { return m_mode; }
    FilterRowDialog *rowDialog() const;

protected:
    void editRow(int row) override;

private:
    QButtonGroup *m_mode = nullptr;
    QPointer<FilterRowDialog> m_dialog;
};

// The four pages on the controller's document, schedule and volumes. Apply
// on the timer page rebuilds the schedule in full.
QMap<Panel, ListPanel *> makeListPanels(AppController &controller, Dialogs &dialogs, QWidget *parent);

} // namespace qm
