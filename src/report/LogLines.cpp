#include "report/LogLines.h"

#include "platform/Messages.h"

namespace qm {

namespace {
QString quoted(const QString &path) { return u'"' + path + u'"'; }
} // namespace

LogLines::LogLines()
    : m_createdFolder(GLS("Created folder")), m_trashedFolder(GLS("Trashed folder")),
      m_deletedFolder(GLS("Deleted folder")), m_copiedFile(GLS("Copied file")), m_to(GLS("to:")),
      m_replacedFile(GLS("Replaced file:")),
      m_withTheMostRecentFile(GLS("with the most recent file:")),
      m_deletedFile(GLS("Deleted file")), m_trashedFile(GLS("Trashed file"))
{
}

QString LogLines::createdFolder(const QString &path) const
{
    return m_createdFolder + u' ' + quoted(path);
}

QString LogLines::copiedFile(const QString &from, const QString &to) const
{
    return m_copiedFile + u' ' + quoted(from) + u' ' + m_to + u'\r' + quoted(to);
}

QString LogLines::replacedFile(const QString &replaced, const QString &newer) const
{
    return m_replacedFile + u' ' + quoted(replaced) + u'\r' + m_withTheMostRecentFile + u' '
        + quoted(newer);
}

QString LogLines::deleted(const QString &path, bool isFolder) const
{
    return (isFolder ? m_deletedFolder : m_deletedFile) + u' ' + quoted(path);
}

QString LogLines::trashed(const QString &path, bool isFolder) const
{
    return (isFolder ? m_trashedFolder : m_trashedFile) + u' ' + quoted(path);
}

QString LogLines::mountedVolume(const QString &address)
{
    return GLS("Mounted the volume") + u'\r' + quoted(address);
}

QString LogLines::unmountedVolume(const QString &address)
{
    return GLS("Unmounted the volume") + u'\r' + quoted(address);
}

QString LogLines::error(const QString &text)
{
    return QStringLiteral("√ ") + text;
}

} // namespace qm
