#pragma once
// The automount volume list panel: on/off mark and address of each volume
// row, the row editor's form, and the rows the try-all buttons work on.
// A remote row without a stored password is hinted: its address is orange
// while the row is on (gray while off).
#include "uimodel/ListEditor.h"

namespace qm {

// The row editor as it opens, and what its fields hold when confirmed.
struct VolumeRowForm {
    QString address;
    QString user;
    QString password;       // plain text; stored encoded
    bool unmountVolume = true;
    bool userEditable = false;     // remote rows, except "smb"
    bool passwordEditable = false; // remote rows
    QByteArray icon;               // the row's icon, empty when it has none
    QString defaultIconName;       // shown (and stored) when it has none
};

class VolumeListEditor : public ListEditor {
    Q_OBJECT
public:
    enum Column { OnOffColumn = 0, AddressColumn = 1, ColumnCount = 2 };
    enum VolumeRole { NoPasswordHintRole = PathRole + 1 }; // drawn orange
    static constexpr int kConfirmTag = 100;

    // `loginName` fills the user field of a row that has no user.
    explicit VolumeListEditor(QString loginName, QObject *parent = nullptr);

    VolumeRowForm dialogFor(int row) const;
    // The editor's confirm button: a warning (the editor stays open), or ""
    // with user, encoded password and unmount flag stored into the row.
    QString confirmDialog(int row, const VolumeRowForm &form);
    // The default image shown for a row without an icon, kept with the row.
    void setRowIcon(int row, const QByteArray &icon);

    // The try-all buttons work while the list is on, on the working rows.
    bool tryAllEnabled() const { return isListOn(); }
    QVariantMap workingSession() const;

    // The image a row without an icon shows, by its type and scheme.
    static QString defaultIconName(const QVariantMap &row);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QString optionActionTitle(int column) const override;

protected:
    QString validate() const override;
    QString cellText(const QVariantMap &row, int column) const override;
    QString columnTitle(int column) const override;
    CellKind cellKind(int column) const override;
    bool isCellGray(const QVariantMap &row, int column) const override;
    QString offTitle() const override;
    QString offMessage() const override;
    ListClick clickCell(int row, int column, ClickKeys keys) override;

private:
    QString m_loginName;
};

} // namespace qm
