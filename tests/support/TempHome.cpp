#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qmtest {

static const char *const kVars[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                    "XDG_CACHE_HOME", "XDG_STATE_HOME"};

TempHome::TempHome()
{
    for (const char *v : kVars)
        m_saved[v] = qgetenv(v);
    for (const char *v : kVars)
        qunsetenv(v);
    qputenv("HOME", m_dir.path().toLocal8Bit());
}

TempHome::~TempHome()
{
    for (const auto &[name, value] : m_saved) {
        if (value.isEmpty())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
}

QString TempHome::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString full = path() + "/" + relative;
    QDir().mkpath(QFileInfo(full).path());
    QFile f(full);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    return full;
}

} // namespace qmtest
