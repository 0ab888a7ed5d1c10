#include "uimodel/MultiListEditor.h"

#include "platform/Messages.h"

#include <QDir>
#include <QFileInfo>

namespace qm {

namespace {

const char *sideKey(int column)
{
    return column == MultiListEditor::SourceColumn ? "source" : "destination";
}

bool isPathColumn(int column)
{
    return column == MultiListEditor::SourceColumn || column == MultiListEditor::DestinationColumn;
}

} // namespace

QString chooserStartPath(const QString &cellPath)
{
    if (!cellPath.isEmpty() && (QFileInfo::exists(cellPath) || QFileInfo(cellPath).isSymLink()))
        return cellPath;
    return QDir::homePath();
}

QString lastPathComponent(const QString &path)
{
    if (path.isEmpty())
        return QString();
    const QString clean = QDir::cleanPath(path);
    if (clean == QLatin1String("/"))
        return clean;
    return clean.mid(clean.lastIndexOf(QLatin1Char('/')) + 1);
}

MultiListEditor::MultiListEditor(VolumeAdder addVolume, QObject *parent)
    : ListEditor(RowList::FolderPair, QStringLiteral("multiOn"), ColumnCount, parent),
      m_addVolume(std::move(addVolume))
{
}

QString MultiListEditor::validate() const
{
    bool anyUsable = false;
    for (int r = 0; r < rows().size(); ++r) {
        const QVariantMap row = rowAt(r);
        const QString source = row.value(QStringLiteral("source")).toString();
        const QString destination = row.value(QStringLiteral("destination")).toString();
        if (row.value(QStringLiteral("onOff")).toLongLong() == 0 || source.isEmpty() || destination.isEmpty())
            continue;
        // "/a" and "/a/" name the same folder: a run would copy it onto itself.
        if (QDir::cleanPath(source) == QDir::cleanPath(destination))
            return GLS("Can't set the same folder") + QStringLiteral(":\r\"") + source + QStringLiteral("\"\r") +
                   GLS("as source and destination at the row") + QLatin1Char(' ') + QString::number(r + 1) +
                   QLatin1Char('.');
        anyUsable = true;
    }
    return anyUsable ? QString() : GLS("Can't set an empty Multi list.");
}

QString MultiListEditor::cellText(const QVariantMap &row, int column) const
{
    return lastPathComponent(cellPath(row, column));
}

QString MultiListEditor::cellPath(const QVariantMap &row, int column) const
{
    return isPathColumn(column) ? row.value(QLatin1String(sideKey(column))).toString() : QString();
}

QString MultiListEditor::offTitle() const
{
    return GLS("The Multiple list is off:");
}

QString MultiListEditor::offMessage() const
{
    return offMessageNaming(GLS("In order to edit the Multiple list, mark the check-box"));
}

ListClick MultiListEditor::clickCell(int row, int column, ClickKeys keys)
{
    ListClick result;
    result.row = row;
    result.column = column;
    const QString path = cellPath(rowAt(row), column);
    if (keys.control) {
        result.action = ListClick::Action::Reveal;
        result.path = path;
    } else if (keys.option) {
        QVariantMap values = rowAt(row);
        values.insert(QLatin1String(sideKey(column)), QString());
        setRow(row, values);
        result.action = ListClick::Action::Changed;
    } else {
        result.action = ListClick::Action::ChoosePath;
        result.path = chooserStartPath(path);
        result.buttonTitle = GLS("Choose");
        result.title = column == SourceColumn ? GLS("Choose the source Folder") : GLS("Choose the destination Folder");
    }
    return result;
}

void MultiListEditor::setPath(int row, int column, const QString &path)
{
    if (!isPathColumn(column) || row < 0 || row >= rowCount() || path.isEmpty())
        return;
    QVariantMap values = rowAt(row);
    values.insert(QLatin1String(sideKey(column)), path);
    setRow(row, values);
    m_pickedPaths.append(path);
}

bool MultiListEditor::canDrop(int row, int column) const
{
    return isListOn() && isPathColumn(column) && row >= 0 && row < rowCount();
}

bool MultiListEditor::drop(int row, int column, const QStringList &paths)
{
    if (!canDrop(row, column) || paths.isEmpty() || paths.first().isEmpty())
        return false;
    setPath(row, column, paths.first());
    return true;
}

void MultiListEditor::afterStore(QVariantMap &session)
{
    // Only the folders still in the list bring their volumes along: a
    // folder picked and then replaced before Apply does not.
    for (const QString &path : std::as_const(m_pickedPaths)) {
        bool kept = false;
        for (const QVariant &r : rows()) {
            const QVariantMap row = r.toMap();
            kept = kept || row.value(QStringLiteral("source")).toString() == path ||
                   row.value(QStringLiteral("destination")).toString() == path;
        }
        if (kept && m_addVolume)
            m_addVolume(&session, path);
    }
    m_pickedPaths.clear();
}

} // namespace qm
