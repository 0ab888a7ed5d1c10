#pragma once
// The texts of a conflict question, shared by the conflict dialog and the
// command-line runner's terminal question.
#include "engine/RunContext.h"

#include <QLocale>

namespace qm {

struct ConflictText {
    QString windowTitle;
    QString explanation;      // "\r" line ends
    QString icon, iconTip;
    QString skipTitle, skipTip; // the Skip-side button: the conflict is skipped
    QString okTitle, okTip;     // the proposed operation is carried out
    bool canChangeDirection = false;
    QString changeDirectionTip;
    QString sourceDate, destDate; // "Modification Date: " + date, or "--"
};

// The reference date as the dialog shows it: "%A, %b %d, %Y - %H:%M:%S"
// in the user's language, each word capitalized.
QString conflictDateText(const QDateTime &date, const QLocale &locale);

ConflictText conflictText(const ConflictQuestion &question, const QLocale &locale = QLocale());

} // namespace qm
