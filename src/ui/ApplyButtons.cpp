#include "ui/ApplyButtons.h"

#include "platform/Messages.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>

namespace qm {

ApplyButtons ApplyButtons::make(QWidget *panel, const QString &stayToolTip, int cancelTag,
                                std::function<void(int, bool)> pressed)
{
    ApplyButtons b;
    b.cancel = new QPushButton(GLS("Cancel"), panel);
    b.stay = new QPushButton(GLS("Apply and Stay"), panel);
    b.stay->setToolTip(stayToolTip);
    b.apply = new QPushButton(GLS("Apply"), panel);
    b.apply->setDefault(true);
    QObject::connect(b.cancel, &QPushButton::clicked, panel, [pressed, cancelTag] { pressed(cancelTag, false); });
    QObject::connect(b.stay, &QPushButton::clicked, panel, [pressed] { pressed(kApplyTag, true); });
    QObject::connect(b.apply, &QPushButton::clicked, panel, [pressed] {
        pressed(kApplyTag, QApplication::keyboardModifiers() & Qt::AltModifier);
    });
    for (const QKeySequence &keys : {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)}) {
        auto *shortcut = new QShortcut(keys, panel);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(shortcut, &QShortcut::activated, b.stay, &QPushButton::click);
    }
    b.row = new QHBoxLayout;
    b.row->addStretch();
    b.row->addWidget(b.cancel);
    b.row->addWidget(b.stay);
    b.row->addWidget(b.apply);
    return b;
}

} // namespace qm
