#pragma once
// The preview's information boxes (one per side of the selected row), its
// six counter fields and the rule that shares its width between the columns.
#include "engine/CopyItem.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace qm {

struct PreviewSideInfo {
    QString name;
    QString modified; // content modification date
    QString backup;   // backup date
    QString size;     // "1,234 bytes"; "--" for a folder
    QString path;
    // The item is there: its Open and Reveal buttons work.
    bool exists = false;
};

// Every field "--": nothing selected, or the side's item does not exist.
PreviewSideInfo noSideInfo();
// What the box shows for the item at path, read from the disk now.
PreviewSideInfo previewSideInfo(const QString &path, const QLocale &locale = QLocale());
// "%a, %b %d, %Y - %H:%M:%S" in the user's language.
QString previewDateText(const QDateTime &date, const QLocale &locale);

// The six fields in the window's order: folders on both sides, switched
// off, to delete, A to B, B to A, operations in all.
QStringList previewCounterTexts(const PlanCounters &counters);

// The source and destination columns share the width left beside the
// operation column and the scroll bar.
int previewSideColumnWidth(int outlineWidth);

} // namespace qm
