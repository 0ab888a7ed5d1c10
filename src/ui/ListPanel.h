#pragma once
// A console page that edits one row list of the current session through a
// ListEditor: the list's switch, the table, and Cancel / "Apply and Stay" /
// Apply. The rules live in the editor; this page shows them and carries out
// what a click asks for (an alert, a chooser, a reveal, the row editor).
#include "uimodel/ListEditor.h"

#include <QVariantMap>
#include <QWidget>

#include <functional>

class QCheckBox;
class QMenu;
class QPushButton;
class QTableView;
class QVBoxLayout;

namespace qm {

class Dialogs;

// What a list page needs from the program.
struct ListPanelServices {
    Dialogs *dialogs = nullptr;                 // alerts and choosers
    std::function<QVariantMap &()> document;    // Apply writes the current session here
    std::function<bool()> runUnderway;          // nothing is stored during a run
    std::function<void(const QString &)> reveal; // shows an item in the file manager
};

class ListPanel : public QWidget {
    Q_OBJECT
public:
    // The page takes `editor` as its child; `identifier` names the page
    // ("timer", "multi", ...).
    ListPanel(ListEditor *editor, const QString &identifier, const QString &switchTitle,
              ListPanelServices services, QWidget *parent = nullptr);

    // Set...Array: the current session's switch and rows; false when no
    // single session is current.
    virtual bool load(const QVariantMap &document);

    ListEditor *editor() const { return m_editor; }
    QTableView *table() const { return m_table; }
    QCheckBox *listSwitch() const { return m_switch; }
    QPushButton *applyButton() const { return m_apply; }
    QPushButton *applyAndStayButton() const { return m_stay; }
    QPushButton *cancelButton() const { return m_cancel; }
    // Who shows an item in the file manager (tests keep a list instead).
    void setReveal(std::function<void(const QString &)> reveal) { m_services.reveal = std::move(reveal); }

    // A click on a cell with `keys` held (Alt the Option key, Ctrl the
    // Control key); row or column -1 outside the cells.
    void clickCell(int row, int column, Qt::KeyboardModifiers keys);
    // The right-click menu of a cell: for a path, its ancestors from the
    // root down (choosing one reveals it) and "Show in File Manager"; the
    // cell's Alt-click action. Null when the cell has none. The caller owns it.
    QMenu *contextMenu(int row, int column);

Q_SIGNALS:
    // Apply wrote the list into the session.
    void stored();
    // Back to the console (Apply without staying, or Cancel).
    void leave();

protected:
    // The row editor of the list (filters, timers).
    virtual void editRow(int) {}
    // A control shown between the switch and the table.
    void addAboveTable(QWidget *widget);
    Dialogs &dialogs() const { return *m_services.dialogs; }
    void warn(const QString &title, const QString &text);

private:
    void applyClicked(int tag, bool stay);
    void choosePath(const ListClick &click);

    ListEditor *m_editor;
    ListPanelServices m_services;
    QCheckBox *m_switch = nullptr;
    QTableView *m_table = nullptr;
    QVBoxLayout *m_layout = nullptr;
    QPushButton *m_apply = nullptr, *m_stay = nullptr, *m_cancel = nullptr;
};

} // namespace qm
