#pragma once
// The session pop-up menu as a list: one row per session, then a separator,
// "All Sessions", a separator, New, Duplicate, Rename and Remove. A combo
// box shows it as it is (separators carry the "separator" accessible
// description, disabled items lack Qt::ItemIsEnabled).
#include "app/SessionCommands.h"

#include <QAbstractListModel>

namespace qm {

class SessionMenuModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { TagRole = Qt::UserRole + 1 };

    explicit SessionMenuModel(SessionCommands &commands, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // AblePopMenuSession:allItem: as the shown panel wants it.
    void setEnabled(bool enabled, bool allowAllSessions);
    bool isEnabled() const { return m_menu.enabled; }
    // The row of the current session (or of "All Sessions").
    int selectedRow() const { return m_menu.selected; }

    // ChooseSession: acts on the row the user chose; the widget selects
    // selectedRow() afterwards, whatever the outcome (a refusal or a run
    // snaps the menu back). The refusal's alert was already shown.
    SessionCommandResult choose(int row, bool optionKey = false);

    // The sessions or the current one changed outside the menu.
    void refresh();

Q_SIGNALS:
    void selectedRowChanged(int row);

private:
    SessionCommands &m_commands;
    SessionMenu m_menu;
    bool m_enabled = true;
    bool m_allowAll = true;
};

} // namespace qm
