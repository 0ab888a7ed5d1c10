#pragma once
// The console's named images, compiled into the program.
#include <QIcon>
#include <QPixmap>

namespace qm {

QIcon namedImage(const QString &name);
QPixmap namedPixmap(const QString &name, const QSize &size);
QIcon applicationIcon();

} // namespace qm
