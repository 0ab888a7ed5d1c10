#include "ui/LogWindow.h"

#include "platform/Messages.h"
#include "uimodel/LogText.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

namespace qm {

LogWindow::LogWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    beep = [] { QApplication::beep(); };
    alert = [this](const QString &title, const QString &message) {
        QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::Ok, this);
        box.button(QMessageBox::Ok)->setText(GLS("OK"));
        box.exec();
    };
    setWindowTitle(GLS("Log Window"));
    m_view = new QPlainTextEdit(this);
    m_view->setReadOnly(true);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_previous = new QPushButton(GLS("Previous Error"), this);
    m_next = new QPushButton(GLS("Next Error"), this);
    m_previous->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
    m_next->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(m_previous, &QPushButton::clicked, this, [this] { LogFindError(true); });
    connect(m_next, &QPushButton::clicked, this, [this] { LogFindError(false); });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_previous);
    buttons->addWidget(m_next);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    resize(720, 520);
}

bool LogWindow::fillLogWindow(const QString &path, const QString &lastRunLog)
{
    LogWindowContent content = FillLogWindow(path, lastRunLog);
    if (content.source == LogWindowContent::Source::CannotOpen) {
        alert(GLS("Warning:"), GLS("Can't open this Log file."));
        return false;
    }
    if (!content.ok())
        return false;
    setWindowTitle(content.title);
    m_text = std::move(content.text);
    m_view->setPlainText(m_text);
    return true;
}

void LogWindow::WindowOpenLog(const QString &pathLogFile, const QString &lastRunLog)
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    if (fillLogWindow(pathLogFile, lastRunLog))
        show();
}

void LogWindow::OpenLogWithFileFromScheduling(const QString &path)
{
    if (!fillLogWindow(path, QString()))
        return;
    show();
    raise();
    activateWindow();
}

void LogWindow::refreshAtRunEnd(const QString &pathLogFile, const QString &lastRunLog)
{
    if (isVisible())
        fillLogWindow(pathLogFile, lastRunLog);
}

void LogWindow::LogFindError(bool previous)
{
    const QTextCursor cursor = m_view->textCursor();
    const TextRange selection{cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
    const std::optional<TextRange> found = qm::LogFindError(m_text, selection, previous);
    if (!found) {
        beep();
        return;
    }
    QTextCursor select(m_view->document());
    select.setPosition(int(found->start));
    select.setPosition(int(found->start + found->length), QTextCursor::KeepAnchor);
    m_view->setTextCursor(select);
    m_view->ensureCursorVisible();
}

} // namespace qm
