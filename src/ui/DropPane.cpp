#include "ui/DropPane.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>

namespace qm {

DropPane::DropPane(QWidget *parent) : QFrame(parent)
{
    setAcceptDrops(true);
}

void DropPane::dragEnterEvent(QDragEnterEvent *event)
{
    const bool files = event->mimeData()->hasUrls() && event->mimeData()->urls().first().isLocalFile();
    if (!files || (m_accepts && !m_accepts()))
        return;
    m_hovered = true;
    update();
    event->acceptProposedAction();
}

void DropPane::dragLeaveEvent(QDragLeaveEvent *)
{
    m_hovered = false;
    update();
}

void DropPane::dropEvent(QDropEvent *event)
{
    m_hovered = false;
    update();
    if ((m_accepts && !m_accepts()) || !event->mimeData()->hasUrls())
        return;
    const QUrl first = event->mimeData()->urls().first();
    if (!first.isLocalFile())
        return;
    event->acceptProposedAction();
    Q_EMIT dropped(first.toLocalFile());
}

void DropPane::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (!m_hovered)
        return;
    QPainter p(this);
    p.setPen(QPen(QColor(128, 128, 128), 5));
    p.drawRect(rect().adjusted(2, 2, -3, -3));
}

} // namespace qm
