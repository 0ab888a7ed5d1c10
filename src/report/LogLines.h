#pragma once
// The per-item lines of a detailed log, each without its final "\r" (the
// caller appends the line and "\r" to the task's detailed log text). The
// words are looked up once, when a LogLines is made.
#include <QString>

namespace qm {

class LogLines {
public:
    LogLines(); // looks the words up

    QString createdFolder(const QString &path) const;
    QString copiedFile(const QString &from, const QString &to) const;
    QString replacedFile(const QString &replaced, const QString &newer) const;
    QString deleted(const QString &path, bool isFolder) const;
    QString trashed(const QString &path, bool isFolder) const;
    static QString mountedVolume(const QString &address);
    static QString unmountedVolume(const QString &address);
    // "√ " and the text: the mark the log window searches for.
    static QString error(const QString &text);

private:
    QString m_createdFolder, m_trashedFolder, m_deletedFolder, m_copiedFile, m_to,
        m_replacedFile, m_withTheMostRecentFile, m_deletedFile, m_trashedFile;
};

} // namespace qm
