#pragma once
// A private home for one test: HOME and the XDG variables point into a
// temporary folder for the life of the object, and are put back afterwards.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <map>

namespace qmtest {

class TempHome {
public:
    TempHome();
    ~TempHome();
    QString path() const { return m_dir.path(); }
    QString configDir() const { return path() + "/.config/Quillmere"; }
    QString dataDir() const { return path() + "/.local/share"; }
    // A file of the given content, with parents created.
    QString writeFile(const QString &relative, const QByteArray &content) const;

private:
    QTemporaryDir m_dir;
    std::map<QByteArray, QByteArray> m_saved;
};

} // namespace qmtest
