#include "ui/Dialogs.h"

#include "platform/Messages.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

QString displayText(const QString &text)
{
    return QString(text).replace(u'\r', u'\n');
}

int WidgetDialogs::alert(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                         const QString &text, const QStringList &buttons)
{
    QMessageBox box(icon, displayText(title), displayText(text), QMessageBox::NoButton, parent);
    box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    QList<QPushButton *> pushes;
    for (int i = 0; i < buttons.size(); ++i) {
        // Roles keep the default first and the others in order on every desktop.
        const auto role = i == 0 ? QMessageBox::AcceptRole
                                 : (i == buttons.size() - 1 ? QMessageBox::RejectRole : QMessageBox::DestructiveRole);
        pushes << box.addButton(buttons.at(i), role);
    }
    if (!pushes.isEmpty()) {
        box.setDefaultButton(pushes.first());
        box.setEscapeButton(pushes.last());
    }
    box.exec();
    const int chosen = int(pushes.indexOf(qobject_cast<QPushButton *>(box.clickedButton())));
    return chosen >= 0 ? chosen : int(pushes.size()) - 1;
}

QString WidgetDialogs::chooseItem(QWidget *parent, const QString &title, const QString &startFolder)
{
    // One item, folders or files, links kept as they are.
    QFileDialog panel(parent, title, startFolder);
    panel.setFileMode(QFileDialog::AnyFile);
    panel.setOption(QFileDialog::DontResolveSymlinks);
    panel.setOption(QFileDialog::DontConfirmOverwrite);
    panel.setAcceptMode(QFileDialog::AcceptOpen);
    panel.setLabelText(QFileDialog::Accept, GLS("Choose"));
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty())
        return QString();
    return panel.selectedFiles().first();
}

QString WidgetDialogs::chooseFolder(QWidget *parent, const QString &title, const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(parent, title, startFolder);
}

QString WidgetDialogs::chooseFile(QWidget *parent, const QString &title, const QString &startFolder)
{
    QFileDialog panel(parent, title, startFolder);
    panel.setFileMode(QFileDialog::ExistingFile);
    panel.setOption(QFileDialog::DontResolveSymlinks);
    panel.setLabelText(QFileDialog::Accept, GLS("Choose"));
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty())
        return QString();
    return panel.selectedFiles().first();
}

QString WidgetDialogs::chooseDocument(QWidget *parent, const QString &startFolder)
{
    return QFileDialog::getOpenFileName(parent, QString(), startFolder,
                                        QStringLiteral("Quillmere documents (*.qmy)"));
}

QString WidgetDialogs::chooseSavePath(QWidget *parent, const QString &startFolder, const QString &proposedName)
{
    QFileDialog panel(parent, QString(), startFolder + u'/' + proposedName + QStringLiteral(".qmy"),
                      QStringLiteral("Quillmere documents (*.qmy)"));
    panel.setAcceptMode(QFileDialog::AcceptSave);
    panel.setDefaultSuffix(QStringLiteral("qmy"));
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty())
        return QString();
    QString path = panel.selectedFiles().first();
    if (!path.endsWith(QStringLiteral(".qmy")))
        path += QStringLiteral(".qmy");
    return path;
}

bool WidgetDialogs::askName(QWidget *parent, QString *name,
                            const std::function<NameCheck(const QString &)> &check)
{
    // A sheet: modal to the console only.
    QDialog sheet(parent);
    sheet.setWindowModality(Qt::WindowModal);
    auto *field = new QLineEdit(*name, &sheet);
    field->selectAll();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &sheet);
    auto *layout = new QVBoxLayout(&sheet);
    layout->addWidget(field);
    layout->addWidget(buttons);
    bool confirmed = false;
    QObject::connect(buttons, &QDialogButtonBox::rejected, &sheet, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &sheet, [&] {
        const NameCheck c = check(field->text());
        switch (c.outcome) {
        case NameCheck::Outcome::Reject:
            alert(&sheet, QMessageBox::Warning, GLS("Warning:"), c.message, {GLS("OK")});
            return;
        case NameCheck::Outcome::Accept:
            confirmed = true;
            *name = field->text();
            break;
        case NameCheck::Outcome::Unchanged:
            break;
        }
        sheet.accept();
    });
    sheet.exec();
    return confirmed;
}

void WidgetDialogs::beep()
{
    QApplication::beep();
}

} // namespace qm
