#include "uimodel/PreviewInfo.h"

#include "fs/CatalogInfo.h"
#include "fs/LPUtilities.h"
#include "platform/Messages.h"
#include "uimodel/PlanEditor.h"

namespace qm {

namespace {
const QString kNone = QStringLiteral("--");
}

PreviewSideInfo noSideInfo()
{
    return {kNone, kNone, kNone, kNone, kNone, false};
}

QString previewDateText(const QDateTime &date, const QLocale &locale)
{
    return locale.toString(date.toLocalTime(), QStringLiteral("ddd, MMM dd, yyyy - HH:mm:ss"));
}

PreviewSideInfo previewSideInfo(const QString &path, const QLocale &locale)
{
    CatalogInfo info;
    if (path.isEmpty() || ReadCatalogInfo(path, &info) != Status::noErr || !info.exists())
        return noSideInfo();
    const LPUtilities fs;
    PreviewSideInfo box;
    box.exists = true;
    box.path = path;
    box.name = path == QLatin1String("/") ? path : path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const QDateTime modified = fs.GetDate(path, &info, kContentModDate);
    const QDateTime backup = fs.GetDate(path, &info, kBackupDate);
    box.modified = modified.isValid() ? previewDateText(modified, locale) : kNone;
    box.backup = backup.isValid() ? previewDateText(backup, locale) : kNone;
    const bool realFolder = info.isFolder() && !isFilePackageAtPath(path);
    box.size = realFolder ? kNone
                          : FormattaMigliaia(QString::number(fs.ItemSize(path))) + QLatin1Char(' ') + GLS("bytes");
    return box;
}

QStringList previewCounterTexts(const PlanCounters &c)
{
    QStringList texts;
    for (int n : {c.itemsToDoNothing, c.itemsToDoSkip, c.itemsToDoDelete, c.itemsToDoAtoB, c.itemsToDoBtoA,
                  c.globalItemsToDo})
        texts.append(FormattaMigliaia(QString::number(n)));
    return texts;
}

int previewSideColumnWidth(int outlineWidth)
{
    constexpr int kOperationColumn = 23;
    constexpr int kScrollBar = 16;
    return qMax(0, (outlineWidth + 2 - kOperationColumn - kScrollBar) / 2);
}

} // namespace qm
