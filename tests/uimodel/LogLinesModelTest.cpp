#include "uimodel/LogLinesModel.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

using namespace qm;

namespace {

QStringList rowsOf(const LogLinesModel &model)
{
    QStringList rows;
    for (int r = 0; r < model.rowCount(); ++r)
        rows.append(model.data(model.index(r)).toString());
    return rows;
}

struct LinesCase {
    const char *text;
    QStringList rows;
};

TEST(LogLinesModel, EachLineIsOneRow)
{
    const LinesCase cases[] = {
        {"", {}},
        {"one", {"one"}},
        {"one\n", {"one"}},
        {"\n", {""}},
        {"one\ntwo", {"one", "two"}},
        {"one\n\nthree\n", {"one", "", "three"}},
        {"one\n\n", {"one", ""}},
        {"√ Can't copy\n• Copied", {"√ Can't copy", "• Copied"}},
    };
    LogLinesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (const LinesCase &c : cases) {
        model.setText(QString::fromUtf8(c.text));
        EXPECT_EQ(rowsOf(model), c.rows) << c.text;
        // Every row's range is its line: the text is the rows joined back.
        for (int r = 0; r < model.rowCount(); ++r) {
            const TextRange range = model.lineRange(r);
            EXPECT_EQ(model.text().mid(range.start, range.length), c.rows[r]) << c.text << " row " << r;
            EXPECT_EQ(model.rowAt(range.start), r) << c.text;
            EXPECT_EQ(model.rowAt(range.start + range.length), r) << c.text << " at the line end";
        }
    }
}

TEST(LogLinesModel, OffsetsAndCopiedLines)
{
    LogLinesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowAt(0), -1);
    // Rows: 0 "ok" at 0 | 1 "√ one" at 3 | 2 "" at 9 | 3 "√ two" at 10
    model.setText(QStringLiteral("ok\n√ one\n\n√ two"));
    const struct {
        qsizetype offset;
        int row;
    } offsets[] = {{0, 0}, {2, 0}, {3, 1}, {8, 1}, {9, 2}, {10, 3}, {15, 3}, {400, 3}};
    for (const auto &o : offsets)
        EXPECT_EQ(model.rowAt(o.offset), o.row) << o.offset;
    EXPECT_EQ(model.data(model.index(1)).toString(), "√ one");
    EXPECT_FALSE(model.data(model.index(1), Qt::EditRole).isValid());

    EXPECT_EQ(model.linesText({3, 1}), "√ one\n√ two"); // in the log's order
    EXPECT_EQ(model.linesText({1, 2, 3}), "√ one\n\n√ two");
    EXPECT_EQ(model.linesText({0, 0, 9}), "ok");
    EXPECT_EQ(model.linesText({}), "");
}

} // namespace
