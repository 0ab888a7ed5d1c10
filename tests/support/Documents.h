#pragma once
// Session documents for the tests, and the program started in the test's
// private home with the resources of the source tree.
#include "app/SessionDefaults.h"
#include "app/SessionDocument.h"
#include "app/Startup.h"

#include <QString>
#include <QVariantMap>

namespace qmtest {

// The map with `values` put over its own.
inline QVariantMap merged(QVariantMap map, const QVariantMap &values)
{
    map.insert(values);
    return map;
}

// A document of these sessions, the one at `current` chosen.
inline QVariantMap documentOf(const QVariantList &sessions, int current = 0)
{
    return {{"sessionsArray", sessions}, {"sessionIndex", current}};
}

inline QVariantMap sessionAt(const QVariantMap &doc, int index)
{
    return doc.value("sessionsArray").toList().value(index).toMap();
}

inline QVariantMap currentSession(const QVariantMap &doc)
{
    return sessionAt(doc, doc.value("sessionIndex").toInt());
}

inline void setSession(QVariantMap *doc, int index, const QVariantMap &session)
{
    QVariantList sessions = doc->value("sessionsArray").toList();
    sessions[index] = session;
    doc->insert("sessionsArray", sessions);
}

// The session with the first rows of its list `key` changed: each map's
// values are put over the row at its place.
inline QVariantMap withRows(QVariantMap session, const char *key, const QVariantList &changes)
{
    QVariantList rows = session.value(key).toList();
    for (int r = 0; r < changes.size(); ++r)
        rows[r] = merged(rows[r].toMap(), changes[r].toMap());
    session.insert(key, rows);
    return session;
}

// The new-document template's session at index.
inline QVariantMap templateSession(int index)
{
    return sessionAt(qm::SessionDocument::NewTemplate(), index);
}

// Writes a new document whose session at index has these fields set, with
// `current` (index when negative) as its current session; answers the
// path, or an empty text when writing failed.
inline QString writeSession(const QString &path, int index, const QVariantMap &fields, int current = -1)
{
    QVariantMap doc = qm::SessionDocument::NewTemplate();
    setSession(&doc, index, merged(sessionAt(doc, index), fields));
    doc["sessionIndex"] = current < 0 ? index : current;
    return qm::SessionDocument::WriteFileSession(&doc, path, QString()).ok ? path : QString();
}

// Starts the program's checks and reads as it does at launch; false when a
// check failed.
inline bool startApp(qm::StartedApp *app)
{
    qm::StartupOptions options;
    options.resourcesDir = QStringLiteral(QM_SOURCE_DIR "/resources");
    return qm::Startup::run(options, app).ok;
}

} // namespace qmtest
