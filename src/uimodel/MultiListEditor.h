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

protected:
    QString validate() const override;
    QString cellText(const QVariantMap &row, int column) const override;
    QString columnTitle(int column) const override;
    CellKind cellKind(int column) const override;
    QString pathKey(int column) const override;
    QString chooserTitle(int column) const override;
    QString offTitle() const override;
    QString offMessage() const override;
    // A chosen or dropped folder's volume joins the session's volume list
    // when the list is applied.
    void pathStored(const QString &path) override { m_pickedPaths.append(path); }
    void loadExtra(const QVariantMap &) override { m_pickedPaths.clear(); }
    void afterStore(QVariantMap &session) override;

private:
    VolumeAdder m_addVolume;
    QStringList m_pickedPaths;
};

// The text of a path cell: the last component ("/" for the root).
QString lastPathComponent(const QString &path);

} // namespace qm
