#include "engine/ConflictText.h"

#include "fs/LPUtilities.h"
#include "platform/Messages.h"

namespace qm {
namespace {

QString capitalizeWords(const QString &text)
{
    QString out = text;
    bool start = true;
    for (QChar &c : out) {
        if (start && c.isLetter())
            c = c.toUpper();
        start = !c.isLetterOrNumber();
    }
    return out;
}

QString deleteTail(bool source)
{
    return source ? GLS("QM is going to delete the source file.") + u'\r'
                        + GLS("Are you sure you want to delete the source file anyway?")
                  : GLS("QM is going to delete the destination file.") + u'\r'
                        + GLS("Are you sure you want to delete the destination file anyway?");
}

void replaceTexts(ConflictText *t, bool sourceReplaces)
{
    t->windowTitle = GLS("Replace File");
    t->icon = sourceReplaces ? QStringLiteral("icnPreviewViolet") : QStringLiteral("icnPreviewOrange");
    t->iconTip = sourceReplaces ? GLS("The source is going to replace the destination")
                                : GLS("The destination is going to replace the source");
    t->skipTitle = GLS("Skip");
    t->skipTip = GLS("Skip these files and continue");
    t->okTitle = GLS("Replace");
}

void deleteTexts(ConflictText *t, bool source, const QString &skipTitle, const QString &skipTip,
                 const QString &okTip)
{
    t->windowTitle = GLS("Delete File");
    t->icon = QStringLiteral("icnPreviewDelete");
    t->iconTip = source ? GLS("The source file is going to be deleted")
                        : GLS("The destination file is going to be deleted");
    t->skipTitle = skipTitle;
    t->skipTip = skipTip;
    t->okTitle = GLS("Delete");
    t->okTip = okTip;
}

QString sideDate(const QString &path, const QLocale &locale)
{
    const QDateTime d = LPUtilities().GetDate(path, 1);
    return GLS("Modification Date: ") + (d.isValid() ? conflictDateText(d, locale) : QStringLiteral("--"));
}

} // namespace

QString conflictDateText(const QDateTime &date, const QLocale &locale)
{
    return capitalizeWords(locale.toString(date.toLocalTime(), QStringLiteral("dddd, MMM dd, yyyy - HH:mm:ss")));
}

ConflictText conflictText(const ConflictQuestion &q, const QLocale &locale)
{
    ConflictText t;
    const QString d = q.referenceDate ? conflictDateText(*q.referenceDate, locale) : QString();
    const QString h = GLS("Since the last Sync/Backup (") + d + QStringLiteral(")\r");
    const QString bothModified = GLS("both the following source and destination files have been modified.") + u'\r';
    const QString sourceNewest = GLS("The source file has the most recent modification date/time.") + u'\r';
    const QString sourceReplaces = GLS("Are you sure you want the source replaces the destination anyway?");
    const bool sourceSide = q.copyMode == CopyMode::RemoveA;
    switch (q.kind) {
    case 11:
    case 12:
        replaceTexts(&t, true);
        t.okTip = GLS("Replace the destination file and continue");
        t.explanation = q.kind == 11 ? h + bothModified + sourceNewest + sourceReplaces
                                     : GLS("The destination file has the most recent modification date/time.")
                                           + u'\r' + sourceReplaces;
        break;
    case 21:
    case 22:
        deleteTexts(&t, false, GLS("Skip"), GLS("Skip this file and continue"),
                    GLS("Delete the destination file and continue"));
        t.explanation = h
                        + (q.kind == 21 ? GLS("the source file has been deleted and the destination file has been modified.")
                                        : GLS("the source parent folder has been deleted, and the destination file has been added."))
                        + u'\r' + deleteTail(false);
        break;
    case 31: {
        const bool fromSource = q.copyMode == CopyMode::ReplaceB;
        replaceTexts(&t, fromSource);
        t.canChangeDirection = true;
        t.changeDirectionTip = fromSource ? GLS("Replace the destination file and continue")
                                          : GLS("Replace the source file and continue");
        t.explanation = h + bothModified
                        + (fromSource ? sourceNewest + sourceReplaces
                                      : GLS("The destination file has the most recent modification date/time.") + u'\r'
                                            + GLS("Are you sure you want the destination replaces the source anyway?"));
        break;
    }
    case 41:
        deleteTexts(&t, sourceSide, GLS("Copy"),
                    sourceSide ? GLS("Copy the source back to the destination") : GLS("Copy the destination back to the source"),
                    sourceSide ? GLS("Delete the source file") : GLS("Delete the destination file"));
        t.explanation = h
                        + (sourceSide ? GLS("the source file has been modified and the destination file has been deleted.")
                                      : GLS("the source file has been deleted and the destination file has been modified."))
                        + u'\r' + deleteTail(sourceSide);
        break;
    case 42:
        deleteTexts(&t, sourceSide, GLS("Copy"),
                    sourceSide ? GLS("Recreate the destination folder and copy the new source file in it")
                               : GLS("Recreate the source folder and copy the new destination file in it"),
                    sourceSide ? GLS("Delete the source file") : GLS("Delete the destination file"));
        t.explanation = h
                        + (sourceSide ? GLS("the following source file has been added, but the destination folder where QM should copy this file to, has been deleted.")
                                      : GLS("the following destination file has been added, but the source folder where QM should copy this file to, has been deleted."))
                        + u'\r' + deleteTail(sourceSide);
        break;
    default:
        break;
    }
    t.sourceDate = sideDate(q.source, locale);
    t.destDate = sideDate(q.dest, locale);
    return t;
}

} // namespace qm
