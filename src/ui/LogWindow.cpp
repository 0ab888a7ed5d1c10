#include "ui/LogWindow.h"

#include "platform/Messages.h"
#include "uimodel/LogLinesModel.h"
#include "uimodel/LogText.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

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
    // Only the rows in view are laid out: a log of many megabytes opens at
    // once, where a text editor would lay out all of it first.
    m_lines = new LogLinesModel(this);
    m_view = new QListView(this);
    m_view->setModel(m_lines);
    m_view->setUniformItemSizes(true);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setWordWrap(false);
    m_view->setTextElideMode(Qt::ElideNone);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The list itself would copy only the current line.
    m_view->installEventFilter(this);
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
    m_lines->setText(std::move(content.text));
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

QList<int> LogWindow::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_view->selectionModel()->selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void LogWindow::LogFindError(bool previous)
{
    // The search goes on from the current line, taken whole: with several
    // lines selected, that is the one last clicked or found.
    const QModelIndex current = m_view->currentIndex();
    const TextRange selection = current.isValid() ? m_lines->lineRange(current.row()) : TextRange{-1, 0};
    const std::optional<TextRange> found = qm::LogFindError(m_lines->text(), selection, previous);
    if (!found) {
        beep();
        return;
    }
    const QModelIndex row = m_lines->index(m_lines->rowAt(found->start));
    m_view->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
    m_view->scrollTo(row);
}

QString LogWindow::selectedLinesText() const
{
    return m_lines->linesText(selectedRows());
}

void LogWindow::copySelectedLines() const
{
    if (!m_view->selectionModel()->hasSelection())
        return;
    QGuiApplication::clipboard()->setText(selectedLinesText());
}

bool LogWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        if (event->type() == QEvent::KeyPress)
            copySelectedLines();
        event->accept();
        return event->type() == QEvent::KeyPress;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace qm
