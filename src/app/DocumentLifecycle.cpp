#include "app/DocumentLifecycle.h"

#include "platform/AtomicFile.h"
#include "platform/Messages.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

#include <sys/stat.h>

namespace qm {
namespace {

const QString kRecentKey = QStringLiteral("recentDocuments");
const QString kExtension = QStringLiteral("qmy");

// The save panel requires the type: a name typed without it gets it.
QString withExtension(const QString &path)
{
    if (QFileInfo(path).suffix().compare(kExtension, Qt::CaseInsensitive) == 0)
        return path;
    return path + u'.' + kExtension;
}

QString absolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

// --- RecentDocuments -------------------------------------------------------

RecentDocuments::RecentDocuments(const AppPaths &paths)
    : m_file(paths.prefFolder + u'/' + fileName())
{
}

QStringList RecentDocuments::paths() const
{
    QVariantMap root;
    QString error;
    if (!QFileInfo::exists(m_file) || !PropertyList::readDictionary(m_file, &root, &error))
        return {};
    QStringList out;
    for (const QVariant &entry : root.value(kRecentKey).toList()) {
        if (entry.typeId() == QMetaType::QString && !entry.toString().isEmpty()
            && !out.contains(entry.toString()))
            out.append(entry.toString());
    }
    return out.mid(0, kMaxCount);
}

bool RecentDocuments::add(const QString &path)
{
    const QString entry = absolute(path);
    QStringList list = paths();
    // A document run again and again by a timer is already first: writing
    // the same list would wait for the disk before each run.
    if (!list.isEmpty() && list.first() == entry)
        return true;
    list.removeAll(entry);
    list.prepend(entry);
    return store(list.mid(0, kMaxCount));
}

bool RecentDocuments::clear() { return store({}); }

bool RecentDocuments::store(const QStringList &paths)
{
    atomicfile::makePrivateFolder(QFileInfo(m_file).path());
    QVariantList list;
    for (const QString &p : paths)
        list.append(p);
    QString error;
    return PropertyList::write(m_file, QVariantMap{{kRecentKey, list}}, &error);
}

// --- DocumentLifecycle -----------------------------------------------------

DocumentLifecycle::DocumentLifecycle(const AppPaths &paths, QVariantMap templateDoc,
                                     DocumentQuestions &questions, DocumentHooks *hooks,
                                     std::function<bool()> runUnderway)
    : m_paths(paths),
      m_doc(std::move(templateDoc)),
      m_title(GLS("Untitled")),
      m_questions(questions),
      m_hooks(hooks ? hooks : &m_noHooks),
      m_runUnderway(std::move(runUnderway)),
      m_recent(paths)
{
}

bool DocumentLifecycle::isEnabled(DocumentCommand command) const
{
    if (runUnderway())
        return false;
    switch (command) {
    case DocumentCommand::New:
    case DocumentCommand::Open:
    case DocumentCommand::Close:
        return true;
    case DocumentCommand::Save:
    case DocumentCommand::SaveAs:
        return m_open;
    case DocumentCommand::Revert:
        return m_open && m_saved;
    }
    return false;
}

void DocumentLifecycle::setTitleFromPath(const QString &path)
{
    m_title = QFileInfo(path).completeBaseName();
}

void DocumentLifecycle::install(QVariantMap doc, const QString &path)
{
    m_doc = std::move(doc);
    m_path = path;
    m_open = true;
    m_saved = !path.isEmpty();
    m_template = false;
    if (path.isEmpty())
        m_title = GLS("Untitled");
    else
        setTitleFromPath(path);
    m_hooks->documentReplaced();
}

bool DocumentLifecycle::FileNew()
{
    if (runUnderway())
        return false;
    if (m_open && !DoFileClose(false))
        return false;
    install(SessionDocument::NewTemplate(), QString());
    return true;
}

bool DocumentLifecycle::FileOpen()
{
    if (runUnderway())
        return false;
    const QString path = m_questions.chooseDocumentToOpen(m_paths.home);
    if (path.isEmpty())
        return false;
    return openFile(path).ok;
}

namespace {

// Which file a path names and how it was last written; a save replaces the
// file, so any write shows as a change here.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    static FileStamp of(const QString &path)
    {
        struct stat st {};
        FileStamp s;
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            return s;
        s.exists = true;
        s.device = st.st_dev;
        s.inode = st.st_ino;
        s.size = st.st_size;
        s.modified = st.st_mtim;
        return s;
    }
    bool operator==(const FileStamp &o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size
               && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

} // namespace

DocumentLifecycle::OpenResult DocumentLifecycle::openFile(const QString &path)
{
    OpenResult result;
    if (runUnderway())
        return result;
    if (!m_launchFinished) {
        m_pathToOpenAtLaunch = path;
        result.ok = result.deferred = true;
        return result;
    }
    const bool checking = m_hooks->stopTimerCheck();
    const auto refuse = [&](const DocumentReadResult &read) {
        if (read.showAlert)
            m_questions.warn(DocumentQuestions::AlertKind::Critical, read.message);
        if (checking)
            m_hooks->restartTimerCheck();
        result.message = read.message;
        return result;
    };
    // The file is read before the open document is let go, so that a file
    // that cannot be opened costs the user neither the document nor a
    // question about it.
    const DocumentReadResult probe = SessionDocument::ReadFileSession(path, m_paths.templateFile);
    if (!probe.ok)
        return refuse(probe);
    const FileStamp before = FileStamp::of(path);
    if (m_open && !DoFileClose(false)) {
        if (checking)
            m_hooks->restartTimerCheck();
        return result;
    }
    // Read again only when saving the previous document rewrote this file:
    // a large document costs a noticeable time to read.
    const DocumentReadResult read = FileStamp::of(path) == before
                                        ? probe
                                        : SessionDocument::ReadFileSession(path, m_paths.templateFile);
    if (!read.ok)
        return refuse(read);
    install(read.doc, absolute(path));
    m_recent.add(m_path);
    result.ok = true;
    return result;
}

DocumentLifecycle::OpenResult DocumentLifecycle::finishLaunching()
{
    m_launchFinished = true;
    const QString pending = std::exchange(m_pathToOpenAtLaunch, QString());
    if (pending.isEmpty())
        return {};
    return openFile(pending);
}

bool DocumentLifecycle::DoFileClose(bool windowClosing)
{
    if (runUnderway()) {
        m_questions.beep();
        return false;
    }
    if (!m_template && !settleUnsavedChanges())
        return false;
    if (windowClosing)
        m_hooks->stopTimerCheck();
    m_open = false;
    m_saved = false;
    m_hooks->documentLetGo(windowClosing);
    return true;
}

bool DocumentLifecycle::settleUnsavedChanges()
{
    if (!isDocumentToBeSaved())
        return true;
    switch (m_questions.askSaveChanges(
        GLS("Do you want to save changes to this document before closing?"),
        GLS("If you don't save, your changes will be lost."))) {
    case DocumentQuestions::SaveAnswer::Save:
        return SaveAFile();
    case DocumentQuestions::SaveAnswer::DontSave:
        return true;
    case DocumentQuestions::SaveAnswer::Cancel:
        return false;
    }
    return false;
}

bool DocumentLifecycle::saveTo(const QString &path)
{
    const DocumentWriteResult written =
        SessionDocument::WriteFileSession(&m_doc, path, m_paths.templateFile);
    if (!written.ok) {
        m_questions.warn(DocumentQuestions::AlertKind::Critical, written.message);
        return false;
    }
    m_saved = true;
    m_open = true;
    m_template = false;
    return true;
}

bool DocumentLifecycle::saveWithPanel(const QString &proposedName)
{
    const QString chosen = m_questions.chooseSavePath(m_paths.home, proposedName);
    if (chosen.isEmpty())
        return false;
    // Remembered even when the write fails, as the place the user chose.
    m_path = absolute(withExtension(chosen));
    if (!saveTo(m_path))
        return false;
    setTitleFromPath(m_path);
    m_hooks->documentRenamed();
    m_recent.add(m_path);
    return true;
}

bool DocumentLifecycle::SaveAFile()
{
    if (runUnderway())
        return false;
    if (m_saved && !m_path.isEmpty())
        return saveTo(m_path);
    return saveWithPanel(GLS("Untitled"));
}

bool DocumentLifecycle::FileSaveAs()
{
    if (runUnderway())
        return false;
    return saveWithPanel(m_saved ? m_title : GLS("Untitled"));
}

bool DocumentLifecycle::revertToSaved()
{
    if (runUnderway() || !m_open || !m_saved || m_path.isEmpty())
        return false;
    if (!isDocumentToBeSaved())
        return false;
    if (!m_questions.confirm(GLS("Do you want to revert to the most recently saved version of "
                                 "the document? Your current changes will be lost.")))
        return false;
    const bool checking = m_hooks->stopTimerCheck();
    const DocumentReadResult read = SessionDocument::ReadFileSession(m_path, m_paths.templateFile);
    if (!read.ok) {
        // The file the user trusts as the saved state is gone or damaged:
        // say so whatever the reason, and keep the document in memory.
        m_questions.warn(DocumentQuestions::AlertKind::Critical, read.message);
        if (checking)
            m_hooks->restartTimerCheck();
        return false;
    }
    install(read.doc, m_path);
    return true;
}

bool DocumentLifecycle::isDocumentToBeSaved()
{
    if (!m_open || m_template)
        return false;
    atomicfile::makeOwnFolder(m_paths.prefFolder);
    // A copy: the test must not stamp anything into the open document.
    QVariantMap current = m_doc;
    const bool wrote =
        SessionDocument::WriteFileSession(&current, m_paths.saveDocTest1, m_paths.templateFile).ok;
    bool equal = false;
    if (wrote) {
        if (!m_saved) {
            QVariantMap fresh = SessionDocument::NewTemplate();
            if (SessionDocument::WriteFileSession(&fresh, m_paths.saveDocTest2,
                                                  m_paths.templateFile)
                    .ok)
                equal = IsFileEqualToFile(m_paths.saveDocTest1, m_paths.saveDocTest2);
            QFile::remove(m_paths.saveDocTest2);
        } else {
            equal = IsFileEqualToFile(m_paths.saveDocTest1, m_path);
        }
    }
    QFile::remove(m_paths.saveDocTest1);
    // When the written forms cannot be compared, the document counts as
    // changed: asking once too often loses nothing.
    return !equal;
}

bool DocumentLifecycle::IsFileEqualToFile(const QString &a, const QString &b)
{
    constexpr qint64 kBlock = 262144;
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    for (;;) {
        const QByteArray ba = fa.read(kBlock);
        const QByteArray bb = fb.read(kBlock);
        if (ba != bb)
            return false;
        // A read error ends a file early as well; it must not pass as equal.
        if (fa.error() != QFileDevice::NoError || fb.error() != QFileDevice::NoError)
            return false;
        if (ba.isEmpty())
            return fa.atEnd() && fb.atEnd();
    }
}

TerminateReply DocumentLifecycle::applicationShouldTerminate()
{
    if (runUnderway()) {
        return m_questions.confirm(GLS("Do you really want to quit in the middle of the current task?"))
                   ? TerminateReply::AfterRun
                   : TerminateReply::Cancel;
    }
    return settleUnsavedChanges() ? TerminateReply::Now : TerminateReply::Cancel;
}

DocumentWriteResult DocumentLifecycle::writeTemplate()
{
    atomicfile::makePrivateFolder(QFileInfo(m_paths.templateFile).path());
    return SessionDocument::WriteFileSession(&m_doc, m_paths.templateFile, m_paths.templateFile);
}

} // namespace qm
