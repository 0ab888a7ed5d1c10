#pragma once
// Session documents for the command-line tests.
#include "app/SessionDocument.h"

#include <QString>
#include <QVariantMap>

namespace qmtest {

// The new-document template's session at index.
inline QVariantMap templateSession(int index)
{
    return qm::SessionDocument::NewTemplate().value("sessionsArray").toList().value(index).toMap();
}

// Writes a new document whose session at index (also the current one) has
// these fields set; answers the path, or an empty text when writing failed.
inline QString writeSession(const QString &path, int index, const QVariantMap &fields)
{
    QVariantMap doc = qm::SessionDocument::NewTemplate();
    QVariantList sessions = doc.value("sessionsArray").toList();
    QVariantMap s = sessions[index].toMap();
    s.insert(fields);
    sessions[index] = s;
    doc["sessionsArray"] = sessions;
    doc["sessionIndex"] = index;
    return qm::SessionDocument::WriteFileSession(&doc, path, QString()).ok ? path : QString();
}

} // namespace qmtest
