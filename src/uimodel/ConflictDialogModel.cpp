#include "uimodel/ConflictDialogModel.h"

#include <QFileInfo>

namespace qm {

ConflictDialogModel::ConflictDialogModel(const ConflictQuestion &question, const QLocale &locale)
    : m_question(question), m_texts(conflictText(question, locale))
{
    if (question.kind == 41 || question.kind == 42) {
        // Only the side that was not deleted has a file to look at.
        const bool sourceKept = question.copyMode == CopyMode::RemoveA;
        m_inspectSource = sourceKept;
        m_inspectDest = !sourceKept;
    } else {
        // Each question sets both buttons, so that none keeps the state of
        // an earlier question: a side can be inspected when its file is there.
        m_inspectSource = QFileInfo::exists(question.source);
        m_inspectDest = QFileInfo::exists(question.dest);
    }
}

QString ConflictDialogModel::directionImage() const
{
    const bool sourceReplaces = (m_question.copyMode == CopyMode::ReplaceB) != m_changed;
    return sourceReplaces ? QStringLiteral("icnPreviewViolet") : QStringLiteral("icnPreviewOrange");
}

bool ConflictDialogModel::ChangeDirection()
{
    if (!directionButtonShown())
        return false;
    m_changed = !m_changed;
    return true;
}

} // namespace qm
