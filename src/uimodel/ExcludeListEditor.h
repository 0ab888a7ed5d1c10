#pragma once
// The exclude list panel: on/off mark and the full path of each excluded item.
#include "uimodel/ListEditor.h"

namespace qm {

class ExcludeListEditor : public ListEditor {
    Q_OBJECT
public:
    enum Column { OnOffColumn = 0, PathColumn = 1, ColumnCount = 2 };

    explicit ExcludeListEditor(QObject *parent = nullptr);

    // A chosen item stored as the row's path.
    void setPath(int row, const QString &path);
    // Drops: on the path cell of a row while the list is on; the first path counts.
    bool canDrop(int row, int column) const;
    bool drop(int row, int column, const QStringList &paths);

protected:
    QString validate() const override;
    QString cellText(const QVariantMap &row, int column) const override;
    QString cellPath(const QVariantMap &row, int column) const override;
    QString offTitle() const override;
    QString offMessage() const override;
    ListClick clickCell(int row, int column, ClickKeys keys) override;
};

} // namespace qm
