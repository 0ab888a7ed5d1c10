#include "ui/ReleaseNotesWindow.h"

#include "platform/Messages.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace qm {

ReleaseNotesWindow::ReleaseNotesWindow(const QUrl &address, QWidget *parent)
    : QWidget(parent, Qt::Window), m_notice(address)
{
    setWindowTitle(GLS("Release Notes"));
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    resize(520, 420);
    m_action = new QAction(GLS("What's New…"), this);
    m_action->setVisible(m_notice.isAvailable());
    connect(m_action, &QAction::triggered, this, &ReleaseNotesWindow::ShowReleaseNotes);
    connect(&m_notice, &ReleaseNotice::showNotes, this, &ReleaseNotesWindow::showNotes);
    connect(&m_notice, &ReleaseNotice::raiseWindow, this, &ReleaseNotesWindow::bringToFront);
}

void ReleaseNotesWindow::ShowReleaseNotes()
{
    m_notice.ShowReleaseNotes(isVisible());
}

QString ReleaseNotesWindow::notesText() const
{
    return m_text->toPlainText();
}

void ReleaseNotesWindow::showNotes(const QString &notes)
{
    m_text->setPlainText(notes);
    bringToFront();
}

void ReleaseNotesWindow::bringToFront()
{
    show();
    raise();
    activateWindow();
}

} // namespace qm
