#pragma once
// What every row-list panel of a session shares: a working copy of the
// session's rows and the list's switch, shown as a table; the click rules
// by column; Apply that validates and stores, or stays with its warning.
// Nothing reaches the session before Apply succeeds, so Cancel needs no undo.
//
// The widget shows the table through this model, passes each click to
// click() and clears the selection afterwards whatever the answer, and
// draws rows whose GrayRole is true in gray.
#include "app/SessionDefaults.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace qm {

// The modifier keys held during a click.
struct ClickKeys {
    bool control = false; // reveal a path
    bool option = false;  // empty or reset the row's cell
};

struct ListClick {
    enum class Action {
        None,        // only the selection is cleared
        ListOff,     // alert `title`/`message` with one "OK" button
        Alert,       // the same alert, for a refusal of the list's own
        Changed,     // the working copy changed
        Reveal,      // show `path` in the file manager
        ChoosePath,  // open a chooser for one item (`title`, `buttonTitle`,
                     // starting at `path`), then setPath(row, column, chosen)
        EditRow,     // open the row editor on `row`
    };
    Action action = Action::None;
    int row = -1;
    int column = -1;
    QString title;
    QString message;
    QString buttonTitle;
    QString path;
};

struct ListApplyResult {
    bool stored = false;
    bool stayInPanel = false; // otherwise back to the console
    QString warning;          // when not "": a "Warning:" alert with one "OK" button
};

class ListEditor : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        GrayRole = Qt::UserRole + 1, // the list is off: drawn gray, not editable
        OnOffRole,                   // the row's onOff is not 0
        PathRole,                    // the full path behind a path cell
    };
    static constexpr int kCancelTag = 99;

    ListEditor(RowList list, QString switchKey, int columns, QObject *parent = nullptr);

    // Set...Array: loads the current session's switch and a copy of its
    // rows; false (and nothing changes) when no session is current.
    bool load(const QVariantMap &document);

    bool isListOn() const { return m_on; }
    void setListOn(bool on);
    // The switch's title as the panel shows it; quoted by the "list is off" alert.
    void setSwitchTitle(const QString &title) { m_switchTitle = title; }

    const QVariantList &rows() const { return m_rows; }
    QVariantMap rowAt(int row) const { return m_rows.value(row).toMap(); }

    // The first reason the list may not be stored, or "" (always "" while off).
    QString check() const;
    // Get...Array: validates and, when valid, writes switch and rows into
    // the current session. The warning, or "" when stored.
    QString store(QVariantMap &document);
    // The panel's Apply and Cancel buttons. Cancel (tag 99) leaves without
    // storing; Apply stores and leaves, or stays with the Option key; a
    // refused list stays with its warning. Nothing is stored during a run.
    ListApplyResult apply(int buttonTag, bool optionKey, QVariantMap &document, bool runUnderway);

    // A click at (row, column) of the table.
    ListClick click(int row, int column, ClickKeys keys);

    // A chosen or dropped path stored into a path cell.
    void setPath(int row, int column, const QString &path);
    // Drops: on a row while the list is on, into the cell dropColumn() names;
    // the first path counts.
    bool canDrop(int row, int column) const;
    bool drop(int row, int column, const QStringList &paths);
    // The Option action of a cell, for the menus that offer it visibly: "" when it has none.
    virtual QString optionActionTitle(int column) const;

    // The item and its ancestors from the root down, for the path menu.
    static QStringList pathAncestors(const QString &path);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

protected:
    // What a click in a column above 0 does, the list on.
    enum class CellKind {
        Inert, // only the selection is cleared
        Path,  // Control reveals, Option empties, a plain click chooses
        Row,   // Option resets the row, a plain click opens the row editor
    };

    // The list's own rules.
    virtual QString validate() const = 0;
    virtual QString cellText(const QVariantMap &row, int column) const = 0;
    virtual QString columnTitle(int) const { return QString(); }
    virtual CellKind cellKind(int column) const = 0;
    // The stored key of a path cell.
    virtual QString pathKey(int) const { return QString(); }
    virtual QString cellPath(const QVariantMap &row, int column) const;
    virtual QString chooserTitle(int) const { return QString(); }
    // The Option-click: a path cell emptied, or the whole row reset.
    virtual QVariantMap clearedCell(QVariantMap row, int column) const;
    virtual QVariantMap resetRow(const QVariantMap &row) const { return row; }
    // The cell a drop on `column` of a row fills, or -1 (refused).
    virtual int dropColumn(int column) const { return cellKind(column) == CellKind::Path ? column : -1; }
    // A path was stored into the working copy.
    virtual void pathStored(const QString &) {}
    // Drawn gray and not editable: every cell while the list is off.
    virtual bool isCellGray(const QVariantMap &, int) const { return !m_on; }
    virtual QString offTitle() const = 0;
    virtual QString offMessage() const = 0;
    // The looked-up sentence followed by the switch's title in quotes.
    QString offMessageNaming(const QString &sentence) const;
    // Keys beyond the switch and the rows (the filter mode).
    virtual void loadExtra(const QVariantMap &) {}
    virtual void storeExtra(QVariantMap &) {}
    // Called after a successful store with the session written (volumes).
    virtual void afterStore(QVariantMap &) {}

    // A click in a column above 0, the list on: by the column's kind. A list
    // with rules of its own for a row cell (volumes) answers them here.
    virtual ListClick clickCell(int row, int column, ClickKeys keys);

    void setRow(int row, const QVariantMap &values);
    QString switchTitle() const { return m_switchTitle; }

private:

    RowList m_list;
    QString m_switchKey;
    int m_columns;
    bool m_on = false;
    QString m_switchTitle;
    QVariantList m_rows;
};

// The current session of a document, or -1.
int currentSessionIndex(const QVariantMap &document);
// The mark of the on/off column: "•" for onOff 1, "-" otherwise.
QString onOffMark(const QVariantMap &row);
// The path a chooser starts at: the cell's item when it exists, else the home folder.
QString chooserStartPath(const QString &cellPath);

} // namespace qm
