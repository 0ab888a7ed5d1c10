#include "uimodel/ExcludeListEditor.h"

#include "platform/Messages.h"

namespace qm {

namespace {
const QString kItem = QStringLiteral("itemToExclude");
}

ExcludeListEditor::ExcludeListEditor(QObject *parent)
    : ListEditor(RowList::Exclude, QStringLiteral("excludeOn"), ColumnCount, parent)
{
}

QString ExcludeListEditor::validate() const
{
    for (const QVariant &r : rows()) {
        const QVariantMap row = r.toMap();
        if (row.value(QStringLiteral("onOff")).toLongLong() != 0 && !row.value(kItem).toString().isEmpty())
            return QString();
    }
    return GLS("Can't set an empty Exclude list.");
}

QString ExcludeListEditor::cellText(const QVariantMap &row, int column) const
{
    return cellPath(row, column);
}

QString ExcludeListEditor::columnTitle(int) const
{
    return GLS("Item to exclude");
}

ListEditor::CellKind ExcludeListEditor::cellKind(int column) const
{
    return column == PathColumn ? CellKind::Path : CellKind::Inert;
}

QString ExcludeListEditor::pathKey(int column) const
{
    return column == PathColumn ? kItem : QString();
}

QString ExcludeListEditor::chooserTitle(int) const
{
    return GLS("Choose the item to exclude");
}

QVariantMap ExcludeListEditor::clearedCell(QVariantMap row, int column) const
{
    row = ListEditor::clearedCell(row, column);
    row.insert(QStringLiteral("onOff"), qlonglong(1));
    return row;
}

QString ExcludeListEditor::offTitle() const
{
    return GLS("The Exclude list is off:");
}

QString ExcludeListEditor::offMessage() const
{
    return offMessageNaming(GLS("In order to edit the Exclude list, mark the check-box"));
}

} // namespace qm
