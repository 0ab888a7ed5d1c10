#pragma once
// The folder-pair (multiple) list panel: on/off mark, source and
// destination, each cell showing its path's last component.
#include "uimodel/ListEditor.h"

#include <functional>

namespace qm {

class MultiListEditor : public ListEditor {
    Q_OBJECT
public:
    enum Column { OnOffColumn = 0, SourceColumn = 1, DestinationColumn = 2, ColumnCount = 3 };
    // Puts the volume of a chosen or dropped folder into the session's volume
    // list (ConsoleEnvironment::addVolume does it for the real volumes).
    using VolumeAdder = std::function<void(QVariantMap *session, const QString &path)>;

    explicit MultiListEditor(VolumeAdder addVolume, QObject *parent = nullptr);

    // A chosen folder stored into a path cell; its volume joins the
    // session's volume list when the list is applied.
    void setPath(int row, int column, const QString &path);
    // Drops: only on a path cell of a row while the list is on; the first path counts.
    bool canDrop(int row, int column) const;
    bool drop(int row, int column, const QStringList &paths);

protected:
    QString validate() const override;
    QString cellText(const QVariantMap &row, int column) const override;
    QString cellPath(const QVariantMap &row, int column) const override;
    QString offTitle() const override;
    QString offMessage() const override;
    ListClick clickCell(int row, int column, ClickKeys keys) override;
    void loadExtra(const QVariantMap &) override { m_pickedPaths.clear(); }
    void afterStore(QVariantMap &session) override;

private:
    VolumeAdder m_addVolume;
    QStringList m_pickedPaths;
};

// The path a chooser starts at: the cell's item when it exists, else the home folder.
QString chooserStartPath(const QString &cellPath);
// The text of a path cell: the last component ("/" for the root).
QString lastPathComponent(const QString &path);

} // namespace qm
