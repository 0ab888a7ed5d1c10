#include "uimodel/LogLinesModel.h"

#include <algorithm>

namespace qm {

LogLinesModel::LogLinesModel(QObject *parent) : QAbstractListModel(parent) {}

void LogLinesModel::setText(QString text)
{
    beginResetModel();
    m_text = std::move(text);
    m_starts.clear();
    const qsizetype n = m_text.size();
    const QChar *chars = m_text.constData();
    if (n > 0)
        m_starts.push_back(0);
    for (qsizetype i = 0; i < n; ++i)
        if (chars[i] == u'\n' && i + 1 < n)
            m_starts.push_back(i + 1);
    endResetModel();
}

int LogLinesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_starts.size());
}

QVariant LogLinesModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const TextRange r = lineRange(index.row());
    return m_text.mid(r.start, r.length);
}

TextRange LogLinesModel::lineRange(int row) const
{
    if (row < 0 || row >= int(m_starts.size()))
        return {};
    const qsizetype start = m_starts[size_t(row)];
    qsizetype end = size_t(row) + 1 < m_starts.size() ? m_starts[size_t(row) + 1] - 1 : m_text.size();
    // The last line keeps no final line end either.
    if (end > start && m_text.at(end - 1) == u'\n')
        --end;
    return TextRange{start, end - start};
}

int LogLinesModel::rowAt(qsizetype offset) const
{
    if (m_starts.empty())
        return -1;
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), offset);
    return after == m_starts.begin() ? 0 : int(after - m_starts.begin()) - 1;
}

QString LogLinesModel::linesText(QList<int> rows) const
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList lines;
    lines.reserve(rows.size());
    for (int row : rows) {
        const TextRange r = lineRange(row);
        if (row >= 0 && row < rowCount())
            lines.append(m_text.mid(r.start, r.length));
    }
    return lines.join(u'\n');
}

} // namespace qm
