#include "uimodel/ConflictsForm.h"

#include "uimodel/ListEditor.h"

#include <QVariantList>

namespace qm {

namespace {

const ConflictsForm::Rule kRules[ConflictsForm::kRuleCount] = {
    {"Synchronization", 0, "conflictSyncRadio", "conflictSyncAsk",
     "Copy the most recent of files changed on both sides", "Leave files changed on both sides"},
    {"Backup", 1, "conflictBackupRadio", "conflictBackupAsk", "Replace changed destination files",
     "Keep changed destination files"},
    {"Backup", 2, "conflictBackupRadio2", "conflictBackupAsk2", "Replace newer destination files",
     "Keep newer destination files"},
    {"Exact Backup", 0, "conflictExactBackupRadio", "conflictExactBackupAsk", "Delete changed destination-only files",
     "Keep changed destination-only files"},
    {"Exact Sync", 0, "conflictExactSyncRadio", "conflictExactSyncAsk", "Delete changed files deleted on the other side",
     "Keep changed files deleted on the other side"},
};

} // namespace

const ConflictsForm::Rule &ConflictsForm::rule(int index)
{
    return kRules[index];
}

bool ConflictsForm::SetConflictsPanes(const QVariantMap &document)
{
    const int index = currentSessionIndex(document);
    if (index < 0)
        return false;
    const QVariantMap session = document.value(QStringLiteral("sessionsArray")).toList().at(index).toMap();
    for (int r = 0; r < kRuleCount; ++r) {
        m_radio[size_t(r)] = int(session.value(QLatin1String(kRules[r].radioKey)).toLongLong());
        m_ask[size_t(r)] = session.value(QLatin1String(kRules[r].askKey)).toLongLong() == 1;
    }
    return true;
}

bool ConflictsForm::GetConflictsPanes(QVariantMap &document) const
{
    const int index = currentSessionIndex(document);
    if (index < 0)
        return false;
    QVariantList sessions = document.value(QStringLiteral("sessionsArray")).toList();
    QVariantMap session = sessions.at(index).toMap();
    for (int r = 0; r < kRuleCount; ++r) {
        session.insert(QLatin1String(kRules[r].radioKey), qlonglong(m_radio[size_t(r)]));
        session.insert(QLatin1String(kRules[r].askKey), qlonglong(m_ask[size_t(r)] ? 1 : 0));
    }
    sessions[index] = session;
    document.insert(QStringLiteral("sessionsArray"), sessions);
    return true;
}

ConflictsForm::Outcome ConflictsForm::apply(int buttonTag, QVariantMap &document) const
{
    if (buttonTag != kConfirmTag)
        return Outcome::Closed;
    return GetConflictsPanes(document) ? Outcome::Stored : Outcome::Beep;
}

} // namespace qm
