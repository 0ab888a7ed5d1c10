#include "app/SessionCommands.h"

#include "app/SessionDocument.h"
#include "platform/Messages.h"

namespace qm {
namespace {

const QString kSessions = QStringLiteral("sessionsArray");
const QString kSessionIndex = QStringLiteral("sessionIndex");
const QString kSessionName = QStringLiteral("sessionName");

using Outcome = SessionCommandResult::Outcome;

SessionCommandResult result(Outcome outcome, QString message = QString())
{
    return {outcome, std::move(message)};
}

} // namespace

SessionCommands::SessionCommands(QVariantMap &document, DocumentQuestions &questions,
                                 DocumentHooks *hooks, std::function<bool()> runUnderway)
    : m_doc(document),
      m_questions(questions),
      m_hooks(hooks ? hooks : &m_noHooks),
      m_runUnderway(std::move(runUnderway))
{
}

QVariantList SessionCommands::sessions() const { return m_doc.value(kSessions).toList(); }

void SessionCommands::setSessions(const QVariantList &sessions) { m_doc.insert(kSessions, sessions); }

int SessionCommands::sessionCount() const { return SessionDocument::sessionCount(m_doc); }

int SessionCommands::currentIndex() const { return m_doc.value(kSessionIndex).toInt(); }

void SessionCommands::setCurrentIndex(int index) { m_doc.insert(kSessionIndex, qlonglong(index)); }

QString SessionCommands::GetSessionName(int index) const
{
    return sessions().value(index).toMap().value(kSessionName).toString();
}

QString SessionCommands::formatName(const QString &format, int number, const QString &text)
{
    // One pass over the format, so that a "%d" inside the inserted name
    // stays as typed.
    QString out;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == u'%' && i + 1 < format.size()) {
            if (format[i + 1] == u'd') {
                out += QString::number(number);
                ++i;
                continue;
            }
            if (format[i + 1] == u'@') {
                out += text;
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

SessionMenu SessionCommands::menu(bool enable, bool allowAllSessions) const
{
    SessionMenu m;
    const int n = sessionCount();
    for (int i = 0; i < n; ++i)
        m.items.append({SessionMenuItem::SessionTag, GetSessionName(i), enable});
    const bool all = IsCurrentSessionAllSessions();
    const bool sessionCommands = enable && !all;
    m.items.append({SessionMenuItem::Separator, QString(), enable});
    m.items.append({SessionMenuItem::AllSessionsTag, GLS("All Sessions"), enable && allowAllSessions});
    m.items.append({SessionMenuItem::Separator, QString(), enable});
    m.items.append({SessionMenuItem::NewTag, GLS("New"), enable});
    m.items.append({SessionMenuItem::DuplicateTag, GLS("Duplicate"), sessionCommands});
    m.items.append({SessionMenuItem::RenameTag, GLS("Rename"), sessionCommands});
    m.items.append({SessionMenuItem::RemoveTag, GLS("Remove"), sessionCommands && n > 1});
    m.enabled = enable;
    m.selected = currentIndex();
    return m;
}

NameCheck SessionCommands::AskNameApply(const QString &name, bool renaming) const
{
    if (name.isEmpty())
        return {NameCheck::Outcome::Reject, GLS("Please insert a valid name.")};
    const SessionMenu m = menu();
    for (int position = 0; position < m.items.size(); ++position) {
        const SessionMenuItem &item = m.items[position];
        if (item.title.isEmpty() || item.title != name)
            continue;
        if (item.tag != SessionMenuItem::SessionTag)
            return {NameCheck::Outcome::Reject, GLS("Can't use this name.")};
        if (renaming && position == currentIndex())
            return {NameCheck::Outcome::Unchanged, QString()};
        return {NameCheck::Outcome::Reject, GLS("Name duplicated.")};
    }
    return {NameCheck::Outcome::Accept, QString()};
}

SessionCommandResult SessionCommands::ChooseSession(int position, bool fromMenu, bool optionKey)
{
    const int n = sessionCount();
    if (position >= 0 && position < n)
        return run(Action::Select, position, fromMenu, optionKey);
    switch (position - n) {
    case 1: return run(Action::AllSessions, position, fromMenu, optionKey);
    case 3: return run(Action::New, position, fromMenu, optionKey);
    case 4: return run(Action::Duplicate, position, fromMenu, optionKey);
    case 5: return run(Action::Rename, position, fromMenu, optionKey);
    case 6: return run(Action::Remove, position, fromMenu, optionKey);
    default:
        // A separator, or no item at all: refused without a message.
        return run(Action::Select, position, fromMenu, optionKey);
    }
}

SessionCommandResult SessionCommands::selectSession(int index)
{
    return run(Action::Select, index, true, false);
}

SessionCommandResult SessionCommands::selectAllSessions()
{
    return run(Action::AllSessions, sessionCount() + 1, true, false);
}

SessionCommandResult SessionCommands::newSession()
{
    return run(Action::New, sessionCount() + 3, true, false);
}

SessionCommandResult SessionCommands::duplicateSession()
{
    return run(Action::Duplicate, sessionCount() + 4, true, false);
}

SessionCommandResult SessionCommands::renameSession()
{
    return run(Action::Rename, sessionCount() + 5, true, false);
}

SessionCommandResult SessionCommands::removeSession(bool optionKey)
{
    return run(Action::Remove, sessionCount() + 6, true, optionKey);
}

SessionCommandResult SessionCommands::run(Action action, int position, bool fromMenu,
                                          bool optionKey)
{
    if (m_runUnderway && m_runUnderway())
        return result(Outcome::Busy);
    if (fromMenu && position == currentIndex())
        return result(Outcome::Unchanged);
    if (sessionCount() == 0)
        return result(Outcome::Unchanged);
    const bool checking = m_hooks->stopTimerCheck();
    const SessionCommandResult r = perform(action, position, optionKey);
    if (r.done())
        m_hooks->sessionsChanged();
    else if (r.outcome == Outcome::Refused && !r.message.isEmpty())
        m_questions.warn(DocumentQuestions::AlertKind::Plain, r.message);
    if (checking)
        m_hooks->restartTimerCheck();
    return r;
}

SessionCommandResult SessionCommands::perform(Action action, int position, bool optionKey)
{
    const int n = sessionCount();
    switch (action) {
    case Action::Select:
        if (position < 0 || position >= n)
            return result(Outcome::Refused);
        setCurrentIndex(position);
        return result(Outcome::Done);
    case Action::AllSessions:
        setCurrentIndex(n + 1);
        return result(Outcome::Done);
    case Action::New: {
        return add(SessionDefaults::session(int(SessionTask::Synchronize),
                                            formatName(GLS("Session %d"), n + 1)));
    }
    case Action::Duplicate: {
        if (IsCurrentSessionAllSessions())
            return refused(GLS("Can't duplicate the \"All\" Session."));
        QVariantMap copy = sessions().value(currentIndex()).toMap();
        copy.insert(kSessionName,
                    formatName(GLS("Copy %d of %@"), n + 1, GetSessionName(currentIndex())));
        return add(copy);
    }
    case Action::Rename:
        return rename();
    case Action::Remove:
        return remove(optionKey);
    }
    return result(Outcome::Refused);
}

// New and Duplicate: the proposed name goes through the name dialog; the
// session (with the confirmed name) is appended and becomes current.
SessionCommandResult SessionCommands::add(const QVariantMap &session)
{
    QString name = session.value(kSessionName).toString();
    const auto check = [this](const QString &typed) { return AskNameApply(typed, false); };
    if (!m_questions.askSessionName(&name, check))
        return result(Outcome::Cancelled);
    QVariantMap added = session;
    added.insert(kSessionName, name);
    QVariantList list = sessions();
    list.append(added);
    setSessions(list);
    setCurrentIndex(int(list.size()) - 1);
    return result(Outcome::Done);
}

SessionCommandResult SessionCommands::rename()
{
    if (IsCurrentSessionAllSessions())
        return refused(GLS("Can't rename the \"All\" Session."));
    const int index = currentIndex();
    QString name = GetSessionName(index);
    bool unchanged = false;
    const auto check = [this, &unchanged](const QString &typed) {
        const NameCheck c = AskNameApply(typed, true);
        unchanged = c.outcome == NameCheck::Outcome::Unchanged;
        return c;
    };
    if (!m_questions.askSessionName(&name, check))
        return result(unchanged ? Outcome::Unchanged : Outcome::Cancelled);
    QVariantList list = sessions();
    QVariantMap session = list.value(index).toMap();
    session.insert(kSessionName, name);
    list[index] = session;
    setSessions(list);
    return result(Outcome::Done);
}

SessionCommandResult SessionCommands::remove(bool optionKey)
{
    const int n = sessionCount();
    if (n == 1)
        return refused(GLS("Can't remove the last Session."));
    if (IsCurrentSessionAllSessions())
        return refused(GLS("Can't remove the \"All\" Session."));
    const int index = currentIndex();
    if (index < 0 || index >= n)
        return result(Outcome::Refused);
    QVariantList list = sessions();
    if (optionKey) {
        if (!m_questions.confirm(
                GLS("You are on the point to delete all the sessions but the first one.")))
            return result(Outcome::Cancelled);
        list = list.mid(0, 1);
        setSessions(list);
        setCurrentIndex(0);
        return result(Outcome::Done);
    }
    const QString question = GLS("Are you sure you want to remove the current session")
                             + QStringLiteral(" \"") + GetSessionName(index)
                             + QStringLiteral("\" ") + GLS("definitively") + u'?';
    if (!m_questions.confirm(question))
        return result(Outcome::Cancelled);
    list.removeAt(index);
    setSessions(list);
    if (index == int(list.size()))
        setCurrentIndex(int(list.size()) - 1);
    return result(Outcome::Done);
}

SessionCommandResult SessionCommands::refused(const QString &message)
{
    return result(Outcome::Refused, message);
}

SessionCommandResult SessionCommands::moveSession(int from, int to)
{
    if (m_runUnderway && m_runUnderway())
        return result(Outcome::Busy);
    const int n = sessionCount();
    if (from < 0 || from >= n || to < 0 || to >= n)
        return result(Outcome::Refused);
    if (from == to)
        return result(Outcome::Unchanged);
    const bool checking = m_hooks->stopTimerCheck();
    QVariantList list = sessions();
    list.move(from, to);
    setSessions(list);
    const int current = currentIndex();
    if (current == from)
        setCurrentIndex(to);
    else if (from < current && current <= to)
        setCurrentIndex(current - 1);
    else if (to <= current && current < from)
        setCurrentIndex(current + 1);
    m_hooks->sessionsChanged();
    if (checking)
        m_hooks->restartTimerCheck();
    return result(Outcome::Done);
}

} // namespace qm
