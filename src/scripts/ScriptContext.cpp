#include "scripts/ScriptContext.h"

namespace qm {

ScriptContext ScriptContext::fromSession(const QVariantMap &session, int sessionIndex,
                                         int executedBy)
{
    ScriptContext c;
    c.sessionName = session.value(QStringLiteral("sessionName")).toString();
    c.sessionIndex = sessionIndex;
    c.task = session.value(QStringLiteral("settTask"), 1).toInt();
    c.exact = session.value(QStringLiteral("settExact")).toInt() != 0;
    c.executedBy = executedBy;
    if (session.value(QStringLiteral("multiOn")).toInt() != 0) {
        // The pairs a run takes: switched on, both folders named.
        for (const QVariant &v : session.value(QStringLiteral("multiArray")).toList()) {
            const QVariantMap row = v.toMap();
            const QString source = row.value(QStringLiteral("source")).toString();
            const QString dest = row.value(QStringLiteral("destination")).toString();
            if (row.value(QStringLiteral("onOff")).toInt() != 0 && !source.isEmpty()
                && !dest.isEmpty())
                c.folderPairs.append({source, dest});
        }
    } else {
        c.folderPairs.append({session.value(QStringLiteral("topFolder")).toString(),
                              session.value(QStringLiteral("bottomFolder")).toString()});
    }
    return c;
}

QProcessEnvironment ScriptContext::environment(const QProcessEnvironment &base, Hook hook) const
{
    QProcessEnvironment env = base;
    // A variable inherited from whoever started us must not pose as context.
    for (const QString &key : base.keys()) {
        if (key.startsWith(QLatin1String("QUILLMERE_")))
            env.remove(key);
    }
    auto set = [&env](const char *key, const QString &value) {
        env.insert(QString::fromLatin1(key), value);
    };
    set("QUILLMERE_HOOK", hook == Hook::Before ? QStringLiteral("before") : QStringLiteral("after"));
    set("QUILLMERE_SESSION_NAME", sessionName);
    set("QUILLMERE_SESSION_INDEX", QString::number(sessionIndex));
    const QPair<QString, QString> first = folderPairs.value(0);
    set("QUILLMERE_SOURCE", first.first);
    set("QUILLMERE_DESTINATION", first.second);
    set("QUILLMERE_PAIR_COUNT", QString::number(folderPairs.size()));
    for (int i = 0; i < folderPairs.size(); ++i) {
        env.insert(QStringLiteral("QUILLMERE_SOURCE_%1").arg(i + 1), folderPairs[i].first);
        env.insert(QStringLiteral("QUILLMERE_DESTINATION_%1").arg(i + 1), folderPairs[i].second);
    }
    set("QUILLMERE_TASK", task == 2 ? QStringLiteral("backup") : QStringLiteral("sync"));
    set("QUILLMERE_EXACT", exact ? QStringLiteral("1") : QStringLiteral("0"));
    set("QUILLMERE_TRIGGER", executedBy == 2   ? QStringLiteral("timer")
                             : executedBy == 3 ? QStringLiteral("sync-and-quit")
                                               : QStringLiteral("button"));
    if (hook == Hook::After)
        set("QUILLMERE_ERRORS", QString::number(errorCount));
    return env;
}

} // namespace qm
