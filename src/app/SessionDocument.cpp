#include "app/SessionDocument.h"

#include "platform/OwnFiles.h"

#include "platform/Messages.h"
#include "platform/AtomicFile.h"
#include "platform/PropertyList.h"

#include <QFileInfo>

#include <cmath>

namespace qm {
namespace {

using Reason = DocumentReadResult::Reason;

const QString kSessions = QStringLiteral("sessionsArray");
const QString kFileVersion = QStringLiteral("fileVersion");
const QString kSessionIndex = QStringLiteral("sessionIndex");

constexpr RowList kAllRowLists[] = {RowList::Timer, RowList::FolderPair, RowList::Filter,
                                    RowList::Exclude, RowList::Volume};

bool isList(const QVariant &v) { return v.typeId() == QMetaType::QVariantList; }
bool isMap(const QVariant &v) { return v.typeId() == QMetaType::QVariantMap; }

// An integer as the reader or the program stores it (or a whole real);
// anything else is no version or index at all.
bool toInteger(const QVariant &v, qlonglong *out)
{
    switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        *out = v.toLongLong();
        return true;
    case QMetaType::Double: {
        // Another writer may have stored a whole number as a real.
        const double d = v.toDouble();
        if (!std::isfinite(d) || std::fabs(d) > 1e15 || d != std::trunc(d))
            return false;
        *out = qlonglong(d);
        return true;
    }
    default:
        return false;
    }
}

bool samePath(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return fa.absoluteFilePath() == fb.absoluteFilePath();
}

// Applies `f` to every dictionary row among the first `limit` rows of the
// list stored under `key`; rows of other types and a missing list are left
// for the repair that follows the upgrade.
template <class F>
void forEachRow(QVariantMap *session, const QString &key, F f, int limit = -1)
{
    const QVariant value = session->value(key);
    if (!isList(value))
        return;
    QVariantList rows = value.toList();
    const int n = limit < 0 ? int(rows.size()) : std::min(limit, int(rows.size()));
    for (int i = 0; i < n; ++i) {
        if (!isMap(rows[i]))
            continue;
        QVariantMap row = rows[i].toMap();
        f(row);
        rows[i] = row;
    }
    session->insert(key, rows);
}

void setInt(QVariantMap *m, const QString &key, qlonglong value)
{
    m->insert(key, QVariant(value));
}

// Documents from before 320 had timers, conflict rules and permission
// settings of another meaning: they are reset, and two old flags converted.
void resetBefore320(QVariantMap *s, const QDateTime &now)
{
    // Whole seconds, as the file stores them.
    const QDateTime stamp = QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch());
    s->insert("timerArray", SessionDefaults::rows(SessionDefaults::timerRow(stamp),
                                                  kSessionRowCount));
    setInt(s, "timerOn", 0);
    const auto offUnlessOn = [](QVariantMap &row) {
        qlonglong on = 0;
        if (!toInteger(row.value("onOff"), &on) || on != 1)
            row.insert("onOff", QVariant(qlonglong(0)));
    };
    for (const char *key : {"multiArray", "filterArray", "excludeArray"})
        forEachRow(s, QString::fromLatin1(key), offUnlessOn, kSessionRowCount);
    setInt(s, "conflictBackupRadio", 2);
    setInt(s, "conflictBackupAsk", 0);
    setInt(s, "conflictExactBackupRadio", 2);
    setInt(s, "conflictExactBackupAsk", 0);
    setInt(s, "conflictSyncRadio", 2);
    setInt(s, "conflictSyncAsk", 0);
    if (s->contains("settCheckBackupDate")) {
        if (s->value("settCheckBackupDate").toLongLong() == 0)
            setInt(s, "conflictSyncRadio", 1);
        s->remove("settCheckBackupDate");
    }
    setInt(s, "conflictExactSyncRadio", 2);
    setInt(s, "conflictExactSyncAsk", 0);
    setInt(s, "settMoveToTrash", 0);
    for (const char *key : {"settCPOn", "settCPPopOwner", "settCPPopGroup", "settCPPopOthers"})
        setInt(s, QString::fromLatin1(key), 0);
}

bool firstVolumeRowHasHost(const QVariantMap &s)
{
    const QVariant list = s.value("autoMountVolumeArray");
    if (!isList(list) || list.toList().isEmpty())
        return false;
    const QVariant first = list.toList().first();
    return isMap(first) && first.toMap().contains("host");
}

// The version upgrades, in the order older versions need them.
void upgradeSession(QVariantMap *s, qlonglong fileVersion, const QDateTime &now)
{
    if (!s->contains("settSkipEmptyFolders"))
        setInt(s, "settSkipEmptyFolders", 0);
    forEachRow(s, "filterArray", [](QVariantMap &row) {
        if (!(row.contains("filterKindOn") && row.contains("filterKindPop"))) {
            row.insert("filterKindOn", QVariant(qlonglong(0)));
            row.insert("filterKindPop", QVariant(qlonglong(0)));
        }
    });
    if (fileVersion < 320)
        resetBefore320(s, now);
    if (!s->contains("autoMountVolumeOn"))
        setInt(s, "autoMountVolumeOn", 0);
    if (!firstVolumeRowHasHost(*s)) {
        setInt(s, "autoMountVolumeOn", 0);
        s->insert("autoMountVolumeArray",
                  SessionDefaults::rows(SessionDefaults::repairedVolumeRow(), kVolumeRowCount));
    }
    if (!s->contains("asStartOn")) {
        setInt(s, "asStartOn", 0);
        s->insert("asStartText", SessionDefaults::scriptText());
        setInt(s, "asEndOn", 0);
        s->insert("asEndText", SessionDefaults::scriptText());
    }
    if (!s->contains("conflictBackupRadio2")) {
        setInt(s, "conflictBackupRadio2", 1);
        setInt(s, "conflictBackupAsk2", 0);
        if (s->contains("settOverride")) {
            if (s->value("settOverride").toLongLong() == 1)
                setInt(s, "conflictBackupRadio2", 2);
            s->remove("settOverride");
        }
    }
    forEachRow(s, "filterArray", [](QVariantMap &row) {
        if (!row.contains("filterOwnerOn")) {
            row.insert("filterOwnerOn", QVariant(qlonglong(0)));
            row.insert("filterOwnerPop", QVariant(qlonglong(0)));
            row.insert("filterOwnerField", QString());
        }
        if (!row.contains("filterGroupOn")) {
            row.insert("filterGroupOn", QVariant(qlonglong(0)));
            row.insert("filterGroupPop", QVariant(qlonglong(0)));
            row.insert("filterGroupField", QString());
        }
    });
}

void fillMissing(QVariantMap *target, const QVariantMap &defaults)
{
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
        if (!target->contains(it.key()))
            target->insert(it.key(), it.value());
    }
}

// The editors and the engine walk rows 0 .. count-1 of every list and read
// each row's keys: a list is brought to its exact size (missing rows are
// empty rows, rows past the size are dropped) and every row is a dictionary
// with at least the default keys. Keys the program does not know stay.
void repairRowList(QVariantMap *s, RowList list)
{
    const QString key = SessionDefaults::key(list);
    const int count = SessionDefaults::rowCount(list);
    const QVariantMap empty = SessionDefaults::row(list);
    const QVariant value = s->value(key);
    QVariantList rows = isList(value) ? value.toList() : QVariantList();
    if (rows.size() > count)
        rows.erase(rows.begin() + count, rows.end());
    for (QVariant &row : rows) {
        if (!isMap(row)) {
            row = empty;
            continue;
        }
        QVariantMap fields = row.toMap();
        fillMissing(&fields, empty);
        row = fields;
    }
    while (rows.size() < count)
        rows.append(empty);
    s->insert(key, rows);
}

// Name and task have no default (the caller of AddSession gives them), so a
// session without them is left so rather than given an invented one.
void repairSession(QVariantMap *s, const QVariantMap &defaults)
{
    for (RowList list : kAllRowLists)
        repairRowList(s, list);
    fillMissing(s, defaults);
}

void repairSessionIndex(QVariantMap *doc, int sessionCount)
{
    qlonglong index = -1;
    const bool valid = toInteger(doc->value(kSessionIndex), &index)
                       && ((index >= 0 && index < sessionCount) || index == sessionCount + 1);
    if (!valid)
        doc->insert(kSessionIndex, QVariant(qlonglong(0)));
}

// Why a document cannot hold sessions, or None.
Reason sessionsProblem(const QVariantMap &doc)
{
    const QVariant value = doc.value(kSessions);
    if (!doc.contains(kSessions))
        return Reason::NoSessions;
    if (!isList(value))
        return Reason::NotADocument;
    const QVariantList sessions = value.toList();
    if (sessions.isEmpty())
        return Reason::NoSessions;
    for (const QVariant &s : sessions) {
        if (!isMap(s))
            return Reason::NotADocument;
    }
    return Reason::None;
}

QString openRefusal(const QString &path, const char *because)
{
    return GLS("Can't open the file") + QStringLiteral("\r\"") + path + QStringLiteral("\"\r")
           + GLS(because);
}

DocumentReadResult refuse(const QString &path, Reason reason, QString detail = QString())
{
    DocumentReadResult r;
    r.reason = reason;
    r.detail = std::move(detail);
    switch (reason) {
    case Reason::NotFound: r.message = openRefusal(path, "because it does not exist."); break;
    case Reason::IsFolder: r.message = openRefusal(path, "because it is a folder."); break;
    case Reason::Unreadable: r.message = openRefusal(path, "because it cannot be read."); break;
    case Reason::Damaged: r.message = openRefusal(path, "because it is damaged."); break;
    case Reason::NotADocument:
        r.message = openRefusal(path, "because it is not a session document.");
        break;
    case Reason::NoSessions: r.message = openRefusal(path, "because it holds no session."); break;
    case Reason::NewerVersion:
        r.message = openRefusal(path, "because it has been created by a higher version.");
        break;
    case Reason::None: break;
    }
    return r;
}

QString writeRefusal(const QString &path)
{
    return GLS("Can't write the file") + QStringLiteral(" \"") + path + QStringLiteral("\" ")
           + GLS("to the disk");
}

DocumentWriteResult writeFailed(const QString &path, const QString &detail)
{
    return {false, DocumentWriteResult::Reason::WriteFailed, writeRefusal(path) + '.', detail};
}

bool holdsPassword(const QVariant &password, const SessionDocument::PasswordDecoder &decode)
{
    const QByteArray data = password.toByteArray();
    if (data.isEmpty())
        return false;
    return decode ? !decode(data).isEmpty() : true;
}

} // namespace

QVariantMap SessionDocument::NewTemplate()
{
    QVariantMap doc;
    doc.insert(kFileVersion, QVariant(kDocumentFileVersion));
    doc.insert(kSessions, QVariantList());
    doc.insert(kSessionIndex, QVariant(qlonglong(0)));
    AddSession(int(SessionTask::Synchronize), GLS("Default Sync Session"), &doc);
    AddSession(int(SessionTask::Backup), GLS("Default Backup Session"), &doc);
    return doc;
}

void SessionDocument::AddSession(int task, const QString &name, QVariantMap *doc)
{
    QVariantList sessions = doc->value(kSessions).toList();
    sessions.append(SessionDefaults::session(task, name));
    doc->insert(kSessions, sessions);
}

int SessionDocument::sessionCount(const QVariantMap &doc)
{
    return int(doc.value(kSessions).toList().size());
}

DocumentReadResult SessionDocument::ReadFileSession(const QString &path,
                                                    const QString &templatePath)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return refuse(path, Reason::NotFound);
    if (info.isDir())
        return refuse(path, Reason::IsFolder);
    if (!info.isReadable())
        return refuse(path, Reason::Unreadable);

    QVariant root;
    QString error;
    if (!PropertyList::read(path, &root, &error))
        return refuse(path, Reason::Damaged, error);
    if (!isMap(root))
        return refuse(path, Reason::NotADocument);
    QVariantMap doc = root.toMap();
    qlonglong version = 0;
    if (!toInteger(doc.value(kFileVersion), &version))
        return refuse(path, Reason::NotADocument);
    if (version > kDocumentFileVersion) {
        DocumentReadResult r = refuse(path, Reason::NewerVersion);
        r.fileVersion = version;
        r.showAlert = !samePath(path, templatePath);
        return r;
    }
    if (const Reason problem = sessionsProblem(doc); problem != Reason::None) {
        DocumentReadResult r = refuse(path, problem);
        r.fileVersion = version;
        return r;
    }
    CheckForDocDictionary(&doc, version);
    DocumentReadResult r;
    r.ok = true;
    r.doc = std::move(doc);
    r.fileVersion = version;
    return r;
}

QVariantMap SessionDocument::readTemplate(const QString &path, DocumentReadResult *why)
{
    DocumentReadResult r = ReadFileSession(path, path);
    QVariantMap doc = r.ok ? std::move(r.doc) : NewTemplate();
    if (why) {
        r.doc.clear();
        *why = std::move(r);
    }
    return doc;
}

bool SessionDocument::CheckForDocDictionary(QVariantMap *doc, qlonglong fileVersion,
                                            const QDateTime &now)
{
    if (sessionsProblem(*doc) != Reason::None)
        return false;
    const QVariantMap defaults = SessionDefaults::session(int(SessionTask::Synchronize), QString());
    QVariantMap fillable = defaults;
    fillable.remove("sessionName");
    fillable.remove("settTask");

    QVariantList sessions = doc->value(kSessions).toList();
    for (QVariant &entry : sessions) {
        QVariantMap s = entry.toMap();
        upgradeSession(&s, fileVersion, now);
        repairSession(&s, fillable);
        entry = s;
    }
    doc->insert(kSessions, sessions);
    repairSessionIndex(doc, int(sessions.size()));
    return true;
}

DocumentWriteResult SessionDocument::WriteFileSession(QVariantMap *doc, const QString &path,
                                                      const QString &templatePath,
                                                      const PasswordDecoder &decode)
{
    doc->insert(kFileVersion, QVariant(kDocumentFileVersion));
    (void)templatePath;
    (void)decode;
    // Written private to the owner (volume rows may hold passwords), whole
    // or not at all: a failure leaves the previous file as it was.
    QString detail;
    if (!atomicfile::write(path, PropertyList::serialize(*doc), &detail))
        return writeFailed(path, detail);
    return {true, DocumentWriteResult::Reason::None, QString(), QString()};
}

bool SessionDocument::VolumeListContainsPassword(QVariantMap *doc, bool removePasswords,
                                                 const PasswordDecoder &decode)
{
    bool found = false;
    QVariantList sessions = doc->value(kSessions).toList();
    for (QVariant &entry : sessions) {
        if (!isMap(entry))
            continue;
        QVariantMap s = entry.toMap();
        forEachRow(&s, "autoMountVolumeArray", [&](QVariantMap &row) {
            if (!holdsPassword(row.value("password"), decode))
                return;
            found = true;
            if (removePasswords)
                row.insert("password", QByteArray());
        });
        entry = s;
        if (found && !removePasswords)
            return true;
    }
    if (removePasswords && found)
        doc->insert(kSessions, sessions);
    return found;
}

} // namespace qm
