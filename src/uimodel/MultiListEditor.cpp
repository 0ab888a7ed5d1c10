#include "uimodel/MultiListEditor.h"

#include "platform/Messages.h"

#include <QDir>

namespace qm {

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

QString MultiListEditor::columnTitle(int column) const
{
    return column == SourceColumn ? GLS("Source") : GLS("Destination");
}

ListEditor::CellKind MultiListEditor::cellKind(int column) const
{
    return column == SourceColumn || column == DestinationColumn ? CellKind::Path : CellKind::Inert;
}

QString MultiListEditor::pathKey(int column) const
{
    switch (column) {
    case SourceColumn: return QStringLiteral("source");
    case DestinationColumn: return QStringLiteral("destination");
    default: return QString();
    }
}

QString MultiListEditor::chooserTitle(int column) const
{
    return column == SourceColumn ? GLS("Choose the source Folder") : GLS("Choose the destination Folder");
}

QString MultiListEditor::offTitle() const
{
    return GLS("The Multiple list is off:");
}

QString MultiListEditor::offMessage() const
{
    return offMessageNaming(GLS("In order to edit the Multiple list, mark the check-box"));
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
