#pragma once
// The session document: a property-list dictionary holding `fileVersion`,
// `sessionsArray` and `sessionIndex`, kept in memory as a QVariantMap with the
// stored keys. This file creates, reads (upgrading older versions), repairs
// and writes it. Nothing here shows anything: refusals are values that carry
// the text the caller shows or prints.
#include "app/SessionDefaults.h"

#include <QFileDevice>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace qm {

struct DocumentReadResult {
    enum class Reason {
        None,         // read and accepted
        NotFound,     // no item at the path
        IsFolder,     // the path names a folder
        Unreadable,   // the file exists but may not be read
        Damaged,      // not a well-formed property list
        NotADocument, // a property list, but not a session document
        NoSessions,   // a document without any session
        NewerVersion, // written by a later version of the program
    };

    bool ok = false;
    QVariantMap doc;             // the upgraded document when ok
    qlonglong fileVersion = 0;   // the version the file had, when it had one
    Reason reason = Reason::None;
    QString message;             // for the user; empty when ok
    QString detail;              // the underlying cause (parser text), may be empty
    // The desktop program alerts only for a newer version, and never for the
    // template document; every other refusal keeps its state silently.
    bool showAlert = false;
};

struct DocumentWriteResult {
    enum class Reason { None, WriteFailed, PermissionsFailed };

    bool ok = false;
    Reason reason = Reason::None;
    QString message; // for the user; empty when ok
    QString detail;  // the system's reason, may be empty
};

class SessionDocument {
public:
    // Decodes a volume row's stored `password` into its text. Without one,
    // any non-empty data counts as a password.
    using PasswordDecoder = std::function<QString(const QByteArray &)>;

    static QString templateFileName() { return QStringLiteral("Quillmere 3.0 Template.plist"); }

    // A new document: a sync and a backup session, `sessionIndex` 0.
    static QVariantMap NewTemplate();
    // Appends a session with every default to the document's `sessionsArray`.
    static void AddSession(int task, const QString &name, QVariantMap *doc);

    // Reads, checks and upgrades the file at `path`. `templatePath` is the
    // template document's path: a newer file there is refused without alert.
    static DocumentReadResult ReadFileSession(const QString &path,
                                              const QString &templatePath = QString());
    // The template document at launch: its upgraded content, or a new
    // document when it is missing, damaged, not a document or newer. `why`
    // (optional) tells which; its reason is None when the file was used.
    static QVariantMap readTemplate(const QString &path, DocumentReadResult *why = nullptr);

    // Upgrades and repairs a document read from a file of `fileVersion`, in
    // place. False when it holds no session (or a session that is not a
    // record). `now` dates the timers that an upgrade from before 320 resets.
    static bool CheckForDocDictionary(QVariantMap *doc, qlonglong fileVersion,
                                      const QDateTime &now = QDateTime::currentDateTime());

    // Stamps `fileVersion` 354 into the document and writes it atomically,
    // readable by its owner only (volume rows may hold passwords). The
    // template path and the decoder no longer change how it is written.
    static DocumentWriteResult WriteFileSession(QVariantMap *doc, const QString &path,
                                                const QString &templatePath,
                                                const PasswordDecoder &decode = {});

    // Whether any volume row of any session holds a password; with
    // `removePasswords` also empties each such password and answers whether
    // it emptied any.
    static bool VolumeListContainsPassword(QVariantMap *doc, bool removePasswords,
                                           const PasswordDecoder &decode = {});

    static int sessionCount(const QVariantMap &doc);
};

} // namespace qm
