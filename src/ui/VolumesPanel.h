#pragma once
// The automount volumes page of the console: a list page with the try-all
// buttons, the row editor opened by a click on an address, and the hint of
// a remote volume without a password.
// Mount attempts run on a thread of their own; while one is under way the
// panel says so and its try buttons wait.
#include "ui/ListPanel.h"
#include "uimodel/VolumeListEditor.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace qm {

class VolumeUtilities;

// The row editor: modal over the panel, filled from the row.
class VolumeRowDialog : public QDialog {
    Q_OBJECT
public:
    VolumeRowDialog(const VolumeRowForm &form, QWidget *parent);
    VolumeRowForm form() const;

    QLineEdit *userField() const { return m_user; }
    QLineEdit *passwordField() const { return m_password; }
    QCheckBox *unmountBox() const { return m_unmount; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *tryMountButton() const { return m_tryMount; }
    QPushButton *tryUnmountButton() const { return m_tryUnmount; }
    void setBusy(bool busy);

Q_SIGNALS:
    void confirmRequested();
    void tryRequested(bool mount);

private:
    VolumeRowForm m_form;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_unmount = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_tryMount = nullptr;
    QPushButton *m_tryUnmount = nullptr;
    QProgressBar *m_busy = nullptr;
};

class VolumesPanel : public ListPanel {
    Q_OBJECT
public:
    VolumesPanel(ListPanelServices services, std::shared_ptr<VolumeUtilities> volumes, QWidget *parent = nullptr);
    ~VolumesPanel() override;

    // SetAutoMountVolumeArray: the current session's switch and rows.
    bool load(const QVariantMap &document) override;

    VolumeListEditor *volumes() const;
    QPushButton *tryMountAllButton() const { return m_tryMountAll; }
    QPushButton *tryUnmountAllButton() const { return m_tryUnmountAll; }
    // The row editor while it is open.
    VolumeRowDialog *rowDialog() const { return m_dialog; }
    bool isBusy() const { return m_busyCount > 0; }

Q_SIGNALS:
    // A mount or unmount attempt ended (its alert, if any, was shown).
    void tryFinished();

protected:
    void editRow(int row) override;

private:
    std::shared_ptr<VolumeUtilities> m_volumes;
    QPushButton *m_tryMountAll = nullptr;
    QPushButton *m_tryUnmountAll = nullptr;
    QLabel *m_busyLabel = nullptr;
    QProgressBar *m_busyBar = nullptr;
    QPointer<VolumeRowDialog> m_dialog;
    int m_dialogRow = -1;
    int m_busyCount = 0;

    void confirmRow();
    void tryOne(bool mount);
    void tryAll(bool mount);
    void finishTry(const QString &message);
    void setBusy(bool busy);
    void showSwitch();
};

} // namespace qm
