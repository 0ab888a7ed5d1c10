#include "ui/Images.h"

namespace qm {

QIcon namedImage(const QString &name)
{
    return QIcon(QStringLiteral(":/images/") + name + QStringLiteral(".svg"));
}

QPixmap namedPixmap(const QString &name, const QSize &size)
{
    return namedImage(name).pixmap(size);
}

QIcon applicationIcon()
{
    // The installed theme icon when there is one, so the desktop and the
    // window agree; the compiled-in one otherwise.
    return QIcon::fromTheme(QStringLiteral("quillmere"), QIcon(QStringLiteral(":/quillmere.svg")));
}

} // namespace qm
