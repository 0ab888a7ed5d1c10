#pragma once
// Every modal box the desktop program shows goes through this interface, so
// that tests answer them without a real box or a real wait.
#include "app/DocumentLifecycle.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace qm {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // An alert with `buttons`, the first being the default; answers the
    // index of the button chosen (the last one when the box was dismissed).
    virtual int alert(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                      const QString &text, const QStringList &buttons) = 0;
    // An open panel for one folder or file; "" when cancelled.
    virtual QString chooseItem(QWidget *parent, const QString &title, const QString &startFolder) = 0;
    // An open panel for one folder; "" when cancelled.
    virtual QString chooseFolder(QWidget *parent, const QString &title, const QString &startFolder) = 0;
    // An open panel for one existing file, no folders; "" when cancelled.
    virtual QString chooseFile(QWidget *parent, const QString &title, const QString &startFolder)
    {
        return chooseItem(parent, title, startFolder);
    }
    // An open panel for one "qmy" document; "" when cancelled.
    virtual QString chooseDocument(QWidget *parent, const QString &startFolder) = 0;
    // A save panel requiring "qmy"; the path, with the extension, or "".
    virtual QString chooseSavePath(QWidget *parent, const QString &startFolder,
                                   const QString &proposedName) = 0;
    // The name sheet: each OK goes to `check`; true when it closed confirmed.
    virtual bool askName(QWidget *parent, QString *name,
                         const std::function<NameCheck(const QString &)> &check) = 0;
    virtual void beep() = 0;
};

// The real boxes and panels.
class WidgetDialogs : public Dialogs {
public:
    int alert(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
              const QStringList &buttons) override;
    QString chooseItem(QWidget *parent, const QString &title, const QString &startFolder) override;
    QString chooseFolder(QWidget *parent, const QString &title, const QString &startFolder) override;
    QString chooseFile(QWidget *parent, const QString &title, const QString &startFolder) override;
    QString chooseDocument(QWidget *parent, const QString &startFolder) override;
    QString chooseSavePath(QWidget *parent, const QString &startFolder, const QString &proposedName) override;
    bool askName(QWidget *parent, QString *name,
                 const std::function<NameCheck(const QString &)> &check) override;
    void beep() override;
};

// Looked-up texts keep "\r" as their line break; boxes want "\n".
QString displayText(const QString &text);

} // namespace qm
