#include "engine/Confirmation.h"

#include "platform/Messages.h"

#include <QFileInfo>

namespace qm {
namespace {

bool isPackageFolder(const QFileInfo &info);

QString noun(const QString &path)
{
    const QFileInfo info(path);
    const bool folder = info.isDir() && !isPackageFolder(info);
    return (folder ? GLS("folder") : GLS("file")) + QStringLiteral(" \"");
}

bool isPackageFolder(const QFileInfo &info)
{
    static const QStringList extensions = {"app", "bundle", "framework", "plugin", "kext",
                                           "pkg", "mpkg", "rtfd", "xcodeproj"};
    return extensions.contains(info.suffix(), Qt::CaseInsensitive);
}

QString lastComponent(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return QFileInfo(p).fileName();
}

} // namespace

QString confirmationQuestion(const ConfirmationRequest &r)
{
    if (r.prefAskConfirmation == 0 || r.executedBy != RunTrigger::Button)
        return QString();
    if (r.allSessions)
        return GLS("Are you sure you want to execute the tasks defined in all the sessions?");
    const bool sync = r.session.value("settTask").toInt() == 1;
    const QString verb = (sync ? GLS("synchronize") : GLS("backup")) + u' ';
    const QString link = QStringLiteral("\" ") + (sync ? GLS("with the") : GLS("to the")) + u' ';
    const QString adverb = r.session.value("settExact").toInt() == 1 ? QStringLiteral("exactly ") : QString();
    const QString intro = GLS("Are you sure you want to") + u' ' + verb + adverb;
    if (r.session.value("multiOn").toInt() == 1)
        return intro + GLS("from the multiple list?");
    const QString source = r.session.value("topFolder").toString();
    const QString dest = r.session.value("bottomFolder").toString();
    // The destination's noun follows the source's kind, as both sides of a
    // task are of one kind.
    const QString n = noun(source);
    return intro + GLS("the") + u' ' + n + lastComponent(source) + link + n + lastComponent(dest)
           + QStringLiteral("\"?");
}

bool AreYouSure(const ConfirmationRequest &request, RunQuestions &questions)
{
    const QString question = confirmationQuestion(request);
    if (question.isEmpty())
        return true;
    return questions.confirmRun(RunConfirmation{GLS("Starting task:"), question, {GLS("OK"), GLS("Cancel")}});
}

} // namespace qm
