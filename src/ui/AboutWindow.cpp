#include "ui/AboutWindow.h"

#include "ui/Images.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace qm {

AboutWindow::AboutWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("about"));
    const QString title = QStringLiteral("Quillmere %1").arg(QStringLiteral(QM_VERSION));
    setWindowTitle(title);
    auto *icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(96, 96));
    icon->setAlignment(Qt::AlignCenter);
    auto *name = new QLabel(QStringLiteral("<h2>%1</h2>").arg(title.toHtmlEscaped()), this);
    name->setAlignment(Qt::AlignCenter);
    auto *line = new QLabel(QStringLiteral("Brantwick · Qt %1").arg(QString::fromLatin1(qVersion())), this);
    line->setAlignment(Qt::AlignCenter);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 24, 40, 24);
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addWidget(line);
}

void AboutWindow::showAsSplash(int milliseconds)
{
    m_splash = true;
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setModal(false);
    show();
    QTimer::singleShot(milliseconds, this, &QDialog::accept);
}

void AboutWindow::mousePressEvent(QMouseEvent *event)
{
    if (m_splash)
        accept();
    QDialog::mousePressEvent(event);
}

} // namespace qm
