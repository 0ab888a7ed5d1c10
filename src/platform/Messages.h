#pragma once
// Message lookup. Every text shown to the user is an English text looked up
// whole; the table maps it to its translation. A missing or empty entry gives
// the English text back.
#include <QHash>
#include <QString>
#include <QStringList>

namespace qm {

class MessageTable {
public:
    // Reads a ".strings" file ("key" = "value"; UTF-8, or UTF-16 with BOM)
    // and adds its entries. A file that does not decode or parse is refused
    // whole, with the line of the fault in *error, and changes nothing.
    bool load(const QString &path, QString *error);
    void insert(const QString &key, const QString &value) { m_table.insert(key, value); }
    QString lookup(const QString &text) const;
    int size() const { return int(m_table.size()); }
    bool contains(const QString &key) const { return m_table.contains(key); }

private:
    QHash<QString, QString> m_table;
};

// The user's preferred languages, best first, each as given ("fr_FR", "fr")
// and by its English name ("French"); "English" is last unless the user
// ranked it higher.
QStringList preferredLanguages();

// Finds "<lang>.lproj/Localizable.strings" under resourcesDir for the first
// language that has one; "English.lproj" last. Empty when there is none.
QString findStringsFile(const QString &resourcesDir, const QStringList &languages);

// Where the program's resources are: beside the executable, or installed.
QString resourcesDirectory();

// The process-wide table, installed once at start-up before any worker
// thread exists and only read afterwards.
void installMessageTable(const MessageTable &table);
const MessageTable &messageTable();

// Looks a text up in the installed table.
QString GLS(const QString &text);
inline QString GLS(const char *text) { return GLS(QString::fromUtf8(text)); }

} // namespace qm
