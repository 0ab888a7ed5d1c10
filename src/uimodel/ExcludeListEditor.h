#pragma once
// The exclude list panel: on/off mark and the full path of each excluded item.
#include "uimodel/ListEditor.h"

namespace qm {

class ExcludeListEditor : public ListEditor {
    Q_OBJECT
public:
    enum Column { OnOffColumn = 0, PathColumn = 1, ColumnCount = 2 };

    explicit ExcludeListEditor(QObject *parent = nullptr);

protected:
    QString validate() const override;
    QString cellText(const QVariantMap &row, int column) const override;
    QString columnTitle(int) const override;
    CellKind cellKind(int column) const override;
    QString pathKey(int column) const override;
    QString chooserTitle(int) const override;
    // Emptying the path also switches the row on.
    QVariantMap clearedCell(QVariantMap row, int column) const override;
    // A drop anywhere on a row names the row's item.
    int dropColumn(int) const override { return PathColumn; }
    QString offTitle() const override;
    QString offMessage() const override;
};

} // namespace qm
