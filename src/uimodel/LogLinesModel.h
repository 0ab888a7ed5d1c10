#pragma once
// The lines of the log window, one row each. The text is kept whole and
// rows are offsets into it, so that a log of many megabytes is shown
// without copying or laying out more than the lines in view.
#include "uimodel/LogText.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>

#include <vector>

namespace qm {

class LogLinesModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit LogLinesModel(QObject *parent = nullptr);

    // Lines end at "\n" (see logDisplayText); a final line end starts no
    // further, empty row.
    void setText(QString text);
    const QString &text() const { return m_text; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Where a row's line lies in the text, without its line end.
    TextRange lineRange(int row) const;
    // The row whose line holds the text offset (the last row past the end);
    // -1 when there are no rows.
    int rowAt(qsizetype offset) const;
    // The lines of the rows, in their order in the log, joined by "\n".
    QString linesText(QList<int> rows) const;

private:
    QString m_text;
    std::vector<qsizetype> m_starts; // the offset where each row's line begins
};

} // namespace qm
