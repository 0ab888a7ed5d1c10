#include "ui/VolumesPanel.h"

#include "platform/Messages.h"
#include "ui/Images.h"
#include "uimodel/BackgroundJob.h"
#include "uimodel/PanelTable.h"
#include "volumes/AutoMountList.h"
#include "volumes/VolumeUtilities.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace qm {

namespace {

constexpr int kIconSide = 64;

// Gray for rows of a switched-off list (and off rows without a password),
// orange for a remote row that is on without a stored password.
class VolumeRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        QColor text;
        if (index.data(ListEditor::GrayRole).toBool())
            text = option->palette.color(QPalette::Disabled, QPalette::Text);
        else if (index.data(VolumeListEditor::NoPasswordHintRole).toBool())
            text = QColor(0xe0, 0x7b, 0x00);
        if (text.isValid())
            option->palette.setColor(QPalette::Text, text);
        if (index.column() == VolumeListEditor::OnOffColumn)
            option->displayAlignment = Qt::AlignCenter;
    }
};

QPushButton *button(const QString &title, QWidget *parent, const char *name)
{
    auto *b = new QPushButton(title, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QByteArray pngOf(const QPixmap &pixmap)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    pixmap.save(&buffer, "PNG");
    return bytes;
}

} // namespace

VolumeRowDialog::VolumeRowDialog(const VolumeRowForm &form, QWidget *parent) : QDialog(parent), m_form(form)
{
    setObjectName(QStringLiteral("setVolumeWindow"));
    setWindowTitle(GLS("Volumes"));
    auto *icon = new QLabel(this);
    QPixmap pixmap;
    if (form.icon.isEmpty() || !pixmap.loadFromData(form.icon))
        pixmap = namedPixmap(form.defaultIconName, QSize(kIconSide, kIconSide));
    icon->setPixmap(pixmap);
    auto *address = new QLabel(form.address, this);
    address->setObjectName(QStringLiteral("address"));
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_user = new QLineEdit(form.user, this);
    m_user->setObjectName(QStringLiteral("userName"));
    m_user->setReadOnly(!form.userEditable);
    m_password = new QLineEdit(form.password, this);
    m_password->setObjectName(QStringLiteral("userPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setReadOnly(!form.passwordEditable);
    m_unmount = new QCheckBox(GLS("Unmount the volume after the session"), this);
    m_unmount->setObjectName(QStringLiteral("unmountVolume"));
    m_unmount->setChecked(form.unmountVolume);

    m_tryMount = button(GLS("Try Mount"), this, "tryMountOneBtn");
    m_tryUnmount = button(GLS("Try Unmount"), this, "tryUnmountOneBtn");
    m_busy = new QProgressBar(this);
    m_busy->setRange(0, 0);
    m_busy->setMaximumWidth(80);
    m_busy->hide();
    auto *cancel = button(GLS("Cancel"), this, "cancel");
    m_ok = button(GLS("OK"), this, "ok");
    m_ok->setDefault(true);
    connect(m_tryMount, &QPushButton::clicked, this, [this] { Q_EMIT tryRequested(true); });
    connect(m_tryUnmount, &QPushButton::clicked, this, [this] { Q_EMIT tryRequested(false); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ok, &QPushButton::clicked, this, &VolumeRowDialog::confirmRequested);

    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(address, 1);
    auto *fields = new QFormLayout;
    fields->addRow(GLS("User name:"), m_user);
    fields->addRow(GLS("Password:"), m_password);
    fields->addRow(QString(), m_unmount);
    auto *tries = new QHBoxLayout;
    tries->addWidget(m_tryMount);
    tries->addWidget(m_tryUnmount);
    tries->addWidget(m_busy);
    tries->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(m_ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(fields);
    layout->addLayout(tries);
    layout->addLayout(buttons);
}

VolumeRowForm VolumeRowDialog::form() const
{
    VolumeRowForm f = m_form;
    f.user = m_user->text();
    f.password = m_password->text();
    f.unmountVolume = m_unmount->isChecked();
    return f;
}

void VolumeRowDialog::setBusy(bool busy)
{
    m_busy->setVisible(busy);
    m_tryMount->setEnabled(!busy);
    m_tryUnmount->setEnabled(!busy);
}

VolumesPanel::VolumesPanel(ListPanelServices services, std::shared_ptr<VolumeUtilities> volumes, QWidget *parent)
    : ListPanel(new VolumeListEditor(VolumeUtilities::loginName()), panelIdentifier(Panel::AutoMountVolumes),
                GLS("Mount these volumes before the session"), std::move(services), parent),
      m_volumes(std::move(volumes))
{
    table()->setItemDelegate(new VolumeRowDelegate(table()));
    connect(listSwitch(), &QCheckBox::toggled, this, &VolumesPanel::showSwitch);

    auto *tries = new QWidget(this);
    auto *row = new QHBoxLayout(tries);
    row->setContentsMargins(0, 0, 0, 0);
    m_tryMountAll = button(GLS("Try Mount All"), tries, "tryMountAllBtn");
    m_tryUnmountAll = button(GLS("Try Unmount All"), tries, "tryUnmountAllBtn");
    connect(m_tryMountAll, &QPushButton::clicked, this, [this] { tryAll(true); });
    connect(m_tryUnmountAll, &QPushButton::clicked, this, [this] { tryAll(false); });
    m_busyLabel = new QLabel(GLS("Trying the volumes…"), tries);
    m_busyBar = new QProgressBar(tries);
    m_busyBar->setRange(0, 0);
    m_busyBar->setMaximumWidth(120);
    m_busyLabel->hide();
    m_busyBar->hide();
    row->addWidget(m_tryMountAll);
    row->addWidget(m_tryUnmountAll);
    row->addWidget(m_busyLabel);
    row->addWidget(m_busyBar);
    row->addStretch();
    addAboveTable(tries);
    showSwitch();
}

VolumesPanel::~VolumesPanel() = default;

VolumeListEditor *VolumesPanel::volumes() const
{
    return static_cast<VolumeListEditor *>(editor());
}

bool VolumesPanel::load(const QVariantMap &document)
{
    const bool loaded = ListPanel::load(document);
    showSwitch();
    return loaded;
}

void VolumesPanel::showSwitch()
{
    // AutoMountVolumesOnOff: the try-all buttons follow the switch.
    const bool on = volumes()->tryAllEnabled() && !isBusy();
    m_tryMountAll->setEnabled(on);
    m_tryUnmountAll->setEnabled(on);
}

void VolumesPanel::editRow(int row)
{
    VolumeRowForm form = volumes()->dialogFor(row);
    if (form.icon.isEmpty()) {
        // A row without an icon keeps the default image from now on.
        form.icon = pngOf(namedPixmap(form.defaultIconName, QSize(kIconSide, kIconSide)));
        volumes()->setRowIcon(row, form.icon);
    }
    delete m_dialog;
    m_dialogRow = row;
    m_dialog = new VolumeRowDialog(form, this);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &VolumeRowDialog::confirmRequested, this, &VolumesPanel::confirmRow);
    connect(m_dialog, &VolumeRowDialog::tryRequested, this, &VolumesPanel::tryOne);
    m_dialog->setBusy(isBusy());
    m_dialog->open();
}

void VolumesPanel::confirmRow()
{
    if (!m_dialog)
        return;
    const QString warning = volumes()->confirmDialog(m_dialogRow, m_dialog->form());
    if (!warning.isEmpty()) {
        warn(GLS("Warning:"), warning);
        m_dialog->passwordField()->setFocus();
        m_dialog->passwordField()->selectAll();
        return;
    }
    m_dialog->accept();
}

void VolumesPanel::setBusy(bool busy)
{
    m_busyCount += busy ? 1 : -1;
    m_busyLabel->setVisible(isBusy());
    m_busyBar->setVisible(isBusy());
    if (m_dialog)
        m_dialog->setBusy(isBusy());
    showSwitch();
}

void VolumesPanel::finishTry(const QString &message)
{
    setBusy(false);
    if (!message.isEmpty())
        warn(GLS("Warning:"), message);
    Q_EMIT tryFinished();
}

void VolumesPanel::tryOne(bool mount)
{
    if (!m_dialog || isBusy())
        return;
    const QVariantMap row = volumes()->rowAt(m_dialogRow);
    const VolumeRowForm form = m_dialog->form();
    setBusy(true);
    std::shared_ptr<VolumeUtilities> utilities = m_volumes;
    runInBackground<QString>(
        this,
        [utilities, row, form, mount] {
            const AutoMountList list(*utilities);
            const std::optional<TryOutcome> o = mount ? list.TryOneMount(row, form.user, form.password)
                                                      : list.TryOneUnmount(row, form.user);
            return o ? o->message : QString();
        },
        [this](const QString &message) { finishTry(message); });
}

void VolumesPanel::tryAll(bool mount)
{
    if (!volumes()->tryAllEnabled() || isBusy())
        return;
    const QVariantMap session = volumes()->workingSession();
    setBusy(true);
    std::shared_ptr<VolumeUtilities> utilities = m_volumes;
    runInBackground<QString>(
        this,
        [utilities, session, mount] {
            const AutoMountList list(*utilities);
            return mount ? list.TryAllMount(session) : list.TryAllUnmount(session);
        },
        [this](const QString &message) { finishTry(message); });
}

} // namespace qm
