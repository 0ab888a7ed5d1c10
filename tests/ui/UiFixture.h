#pragma once
// A desktop program in a private home, with every modal box answered by a
// script instead of a person.
#include "app/Startup.h"
#include "support/TempHome.h"
#include "ui/DesktopApp.h"
#include "ui/Dialogs.h"

#include <QQueue>
#include <functional>
#include <QStringList>

#include <memory>

namespace qmtest {

class ScriptedDialogs : public qm::Dialogs {
public:
    struct Shown {
        QString title;
        QString text;
    };
    QList<Shown> alerts;         // every alert, in order
    QQueue<int> answers;         // button chosen per alert; the default (0) when empty
    QQueue<QString> items;       // answers of the pick panels
    QQueue<QString> documents;   // answers of the open panel
    QStringList itemPanelTitles; // titles the pick panels were given
    int beeps = 0;

    int alert(QWidget *, QMessageBox::Icon, const QString &title, const QString &text,
              const QStringList &) override
    {
        alerts.append({title, text});
        return answers.isEmpty() ? 0 : answers.dequeue();
    }
    QString chooseItem(QWidget *, const QString &title, const QString &) override
    {
        itemPanelTitles << title;
        return items.isEmpty() ? QString() : items.dequeue();
    }
    QString chooseFolder(QWidget *, const QString &, const QString &) override
    {
        return items.isEmpty() ? QString() : items.dequeue();
    }
    QString chooseDocument(QWidget *, const QString &) override
    {
        return documents.isEmpty() ? QString() : documents.dequeue();
    }
    QString chooseSavePath(QWidget *, const QString &, const QString &) override { return QString(); }
    bool askName(QWidget *, QString *, const std::function<qm::NameCheck(const QString &)> &) override
    {
        return false;
    }
    void beep() override { ++beeps; }
};

// Lets the event loop run until `condition` holds; false after `milliseconds`.
bool waitFor(const std::function<bool()> &condition, int milliseconds = 20000);

class DesktopFixture {
public:
    // `prefs` are set before the program starts, as if read from the file.
    explicit DesktopFixture(const QVariantMap &prefs = {}, std::unique_ptr<qm::RunStages> stages = nullptr);

    qm::DesktopApp &app() { return *m_app; }
    qm::ConsoleWindow &window() { return m_app->window(); }
    TempHome home;
    ScriptedDialogs dialogs;

private:
    std::unique_ptr<qm::DesktopApp> m_app;
};

} // namespace qmtest
