#include "uimodel/ExcludeListEditor.h"

#include "platform/Messages.h"
#include "uimodel/MultiListEditor.h"

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

QString ExcludeListEditor::cellPath(const QVariantMap &row, int column) const
{
    return column == PathColumn ? row.value(kItem).toString() : QString();
}

QString ExcludeListEditor::offTitle() const
{
    return GLS("The Exclude list is off:");
}

QString ExcludeListEditor::offMessage() const
{
    return offMessageNaming(GLS("In order to edit the Exclude list, mark the check-box"));
}

ListClick ExcludeListEditor::clickCell(int row, int column, ClickKeys keys)
{
    ListClick result;
    if (column != PathColumn)
        return result;
    result.row = row;
    result.column = column;
    const QString path = rowAt(row).value(kItem).toString();
    if (keys.control) {
        result.action = ListClick::Action::Reveal;
        result.path = path;
    } else if (keys.option) {
        QVariantMap values = rowAt(row);
        values.insert(kItem, QString());
        values.insert(QStringLiteral("onOff"), qlonglong(1));
        setRow(row, values);
        result.action = ListClick::Action::Changed;
    } else {
        result.action = ListClick::Action::ChoosePath;
        result.path = chooserStartPath(path);
        result.buttonTitle = GLS("Choose");
    }
    return result;
}

void ExcludeListEditor::setPath(int row, const QString &path)
{
    if (row < 0 || row >= rowCount() || path.isEmpty())
        return;
    QVariantMap values = rowAt(row);
    values.insert(kItem, path);
    setRow(row, values);
}

bool ExcludeListEditor::canDrop(int row, int column) const
{
    return isListOn() && column == PathColumn && row >= 0 && row < rowCount();
}

bool ExcludeListEditor::drop(int row, int column, const QStringList &paths)
{
    if (!canDrop(row, column) || paths.isEmpty() || paths.first().isEmpty())
        return false;
    setPath(row, paths.first());
    return true;
}

} // namespace qm
