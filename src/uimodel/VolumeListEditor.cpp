#include "uimodel/VolumeListEditor.h"

#include "platform/Messages.h"
#include "volumes/PasswordCodec.h"
#include "volumes/VolumeDescriptor.h"

namespace qm {

namespace {

constexpr int kMinimumPasswordLength = 3;

bool isRemote(const QVariantMap &row)
{
    return row.value(QStringLiteral("volumeType")).toInt() == int(VolumeType::Remote);
}

bool lacksPassword(const QVariantMap &row)
{
    return isRemote(row) && PasswordCodec::GetWellData(row.value(QStringLiteral("password")).toByteArray()).isEmpty();
}

bool isRowOn(const QVariantMap &row)
{
    return row.value(QStringLiteral("onOff")).toLongLong() == 1;
}

} // namespace

VolumeListEditor::VolumeListEditor(QString loginName, QObject *parent)
    : ListEditor(RowList::Volume, QStringLiteral("autoMountVolumeOn"), ColumnCount, parent),
      m_loginName(std::move(loginName))
{
}

QString VolumeListEditor::validate() const
{
    for (const QVariant &r : rows()) {
        const QVariantMap row = r.toMap();
        if (row.value(QStringLiteral("onOff")).toLongLong() != 0 && !row.value(QStringLiteral("host")).toString().isEmpty())
            return QString();
    }
    return GLS("Can't set an empty Automount Volume list.");
}

QString VolumeListEditor::cellText(const QVariantMap &row, int column) const
{
    if (column != AddressColumn)
        return QString();
    const VolumeDescriptor d = VolumeDescriptor::fromRecord(row);
    return !d.scheme.isEmpty() && !d.host.isEmpty() && d.hasPath ? d.address() : QString();
}

bool VolumeListEditor::isCellGray(const QVariantMap &row, int column) const
{
    if (!isListOn())
        return true;
    return column == AddressColumn && lacksPassword(row) && !isRowOn(row);
}

QVariant VolumeListEditor::data(const QModelIndex &index, int role) const
{
    if (role != NoPasswordHintRole)
        return ListEditor::data(index, role);
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const QVariantMap row = rowAt(index.row());
    return isListOn() && index.column() == AddressColumn && lacksPassword(row) && isRowOn(row);
}

QString VolumeListEditor::columnTitle(int column) const
{
    return column == AddressColumn ? GLS("Volume") : QString();
}

ListEditor::CellKind VolumeListEditor::cellKind(int column) const
{
    return column == AddressColumn ? CellKind::Row : CellKind::Inert;
}

QString VolumeListEditor::optionActionTitle(int column) const
{
    return column == AddressColumn ? GLS("Remove from the List") : QString();
}

QString VolumeListEditor::offTitle() const
{
    return GLS("The Automount Volumes list is off:");
}

QString VolumeListEditor::offMessage() const
{
    return offMessageNaming(GLS("In order to edit the Automount Volumes list, mark the check-box"));
}

ListClick VolumeListEditor::clickCell(int row, int column, ClickKeys keys)
{
    ListClick result;
    if (column != AddressColumn)
        return result;
    result.row = row;
    result.column = column;
    if (rowAt(row).value(QStringLiteral("host")).toString().isEmpty()) {
        result.action = ListClick::Action::Alert;
        result.title = GLS("Warning:");
        result.message = GLS("Cannot edit an empty row. In order to define the volumes list, simply define a folder as "
                             "source or destination folder either in the QM console or in the multiple folders list. "
                             "QM will update the volumes list here automatically. Then clicking on the rows of this "
                             "list you will be able to add a password to let QM mount the remote volume automatically "
                             "without asking for the password later.");
        return result;
    }
    if (keys.option) {
        // The row leaves the list; the rows below move up and an empty row closes it.
        for (int r = row; r + 1 < rowCount(); ++r)
            setRow(r, rowAt(r + 1));
        setRow(rowCount() - 1, SessionDefaults::repairedVolumeRow());
        result.action = ListClick::Action::Changed;
        return result;
    }
    result.action = ListClick::Action::EditRow;
    return result;
}

QString VolumeListEditor::defaultIconName(const QVariantMap &row)
{
    switch (VolumeType(row.value(QStringLiteral("volumeType")).toInt())) {
    case VolumeType::Remote:
        return row.value(QStringLiteral("scheme")).toString() == QLatin1String("smb") ? QStringLiteral("icnVolumeSamba")
                                                                                      : QStringLiteral("icnVolumeRemote");
    case VolumeType::DiskImage: return QStringLiteral("icnVolumeDiskImage");
    default: return QStringLiteral("icnVolumeLocal");
    }
}

VolumeRowForm VolumeListEditor::dialogFor(int row) const
{
    const QVariantMap values = rowAt(row);
    const VolumeDescriptor d = VolumeDescriptor::fromRecord(values);
    VolumeRowForm form;
    form.address = d.address();
    form.user = d.user.isEmpty() ? m_loginName : d.user;
    form.password = PasswordCodec::GetWellData(d.password);
    form.unmountVolume = d.unmountVolume != 0;
    form.passwordEditable = d.volumeType == VolumeType::Remote;
    form.userEditable = form.passwordEditable && d.scheme != QLatin1String("smb");
    form.icon = d.volumeIcon;
    form.defaultIconName = defaultIconName(values);
    return form;
}

QString VolumeListEditor::confirmDialog(int row, const VolumeRowForm &form)
{
    if (row < 0 || row >= rowCount())
        return QString();
    if (!form.password.isEmpty() && form.password.size() < kMinimumPasswordLength)
        return GLS("Can't set a password smaller than 3 characters.");
    QVariantMap values = rowAt(row);
    values.insert(QStringLiteral("user"), form.user);
    values.insert(QStringLiteral("password"), PasswordCodec::SetWellData(form.password));
    values.insert(QStringLiteral("unmountVolume"), qlonglong(form.unmountVolume ? 1 : 0));
    setRow(row, values);
    return QString();
}

void VolumeListEditor::setRowIcon(int row, const QByteArray &icon)
{
    if (row < 0 || row >= rowCount() || icon.isEmpty())
        return;
    QVariantMap values = rowAt(row);
    values.insert(QStringLiteral("volumeIcon"), icon);
    setRow(row, values);
}

QVariantMap VolumeListEditor::workingSession() const
{
    return {{QStringLiteral("autoMountVolumeOn"), qlonglong(isListOn() ? 1 : 0)},
            {SessionDefaults::key(RowList::Volume), rows()}};
}

} // namespace qm
