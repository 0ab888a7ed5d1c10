#include "ui/InfoDrawer.h"

#include "platform/Messages.h"

#include <QFormLayout>
#include <QLabel>

namespace qm {

InfoDrawer::InfoDrawer(QWidget *parent) : QDockWidget(parent)
{
    setObjectName(QStringLiteral("consInfoDrawer"));
    setWindowTitle(GLS("Information"));
    setFeatures(QDockWidget::DockWidgetClosable);
    auto *body = new QWidget(this);
    auto *form = new QFormLayout(body);
    m_mode = new QLabel(body);
    m_mode->setObjectName(QStringLiteral("consTaskDrawerCopyMode"));
    m_source = new QLabel(body);
    m_source->setObjectName(QStringLiteral("consTaskDrawerSource"));
    m_dest = new QLabel(body);
    m_dest->setObjectName(QStringLiteral("consTaskDrawerDest"));
    m_size = new QLabel(body);
    m_size->setObjectName(QStringLiteral("consTaskDrawerSize"));
    for (QLabel *l : {m_source, m_dest}) {
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    form->addRow(m_mode);
    form->addRow(m_source);
    form->addRow(m_dest);
    form->addRow(m_size);
    setWidget(body);
    show(DrawerText{GLS("Processing item:"), QString(), QString(), QStringLiteral("--")});
}

void InfoDrawer::show(const DrawerText &text)
{
    m_mode->setText(text.label);
    m_source->setText(text.source);
    m_source->setToolTip(text.source);
    m_dest->setText(text.dest);
    m_dest->setToolTip(text.dest);
    m_size->setText(text.size);
}

QString InfoDrawer::labelText() const
{
    return m_mode->text();
}

QString InfoDrawer::sizeText() const
{
    return m_size->text();
}

} // namespace qm
