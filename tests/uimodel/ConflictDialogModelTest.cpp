#include "uimodel/ConflictDialogModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qm;

namespace {

struct KindCase {
    int kind, mode;
    bool sourceThere, destThere; // files on disk
    const char *title, *icon, *skip, *ok;
    bool direction, inspectSource, inspectDest;
};

void PrintTo(const KindCase &c, std::ostream *os)
{
    *os << "kind " << c.kind << " mode " << c.mode;
}

class ConflictKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(ConflictKinds, ButtonsAndImages)
{
    const KindCase &c = GetParam();
    QTemporaryDir dir;
    ConflictQuestion q{dir.path() + "/A/f", dir.path() + "/B/f", QDateTime::currentDateTime(), c.mode, c.kind, true,
                       c.kind == 31};
    QDir().mkpath(dir.path() + "/A");
    QDir().mkpath(dir.path() + "/B");
    for (const auto &[path, there] : {std::pair{q.source, c.sourceThere}, std::pair{q.dest, c.destThere}})
        if (there)
            QFile(path).open(QIODevice::WriteOnly);
    const ConflictDialogModel m(q, QLocale::c());
    EXPECT_EQ(m.texts().windowTitle, QString(c.title));
    EXPECT_EQ(m.texts().icon, QString(c.icon));
    EXPECT_EQ(m.texts().skipTitle, QString(c.skip));
    EXPECT_EQ(m.texts().okTitle, QString(c.ok));
    EXPECT_EQ(m.directionButtonShown(), c.direction);
    EXPECT_EQ(m.sourceInspectEnabled(), c.inspectSource);
    EXPECT_EQ(m.destInspectEnabled(), c.inspectDest);
    EXPECT_FALSE(m.texts().explanation.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    ConflictDialog, ConflictKinds,
    ::testing::Values(
        KindCase{11, 4, true, true, "Replace File", "icnPreviewViolet", "Skip", "Replace", false, true, true},
        KindCase{12, 4, true, true, "Replace File", "icnPreviewViolet", "Skip", "Replace", false, true, true},
        KindCase{21, 7, false, true, "Delete File", "icnPreviewDelete", "Skip", "Delete", false, false, true},
        KindCase{22, 7, false, true, "Delete File", "icnPreviewDelete", "Skip", "Delete", false, false, true},
        KindCase{31, 4, true, true, "Replace File", "icnPreviewViolet", "Skip", "Replace", true, true, true},
        KindCase{31, 5, true, true, "Replace File", "icnPreviewOrange", "Skip", "Replace", true, true, true},
        // Exact synchronization: only the side that was not deleted, even
        // where a file of that name has appeared on the other side since.
        KindCase{41, 6, true, true, "Delete File", "icnPreviewDelete", "Copy", "Delete", false, true, false},
        KindCase{41, 7, false, true, "Delete File", "icnPreviewDelete", "Copy", "Delete", false, false, true},
        KindCase{42, 6, true, false, "Delete File", "icnPreviewDelete", "Copy", "Delete", false, true, false},
        KindCase{42, 7, true, true, "Delete File", "icnPreviewDelete", "Copy", "Delete", false, false, true}));

struct AnswerCase {
    int kind, mode, directionPresses;
    ConflictDialogModel::Button button;
    int code;
    ConflictReply reply;
    const char *directionImage;
};

TEST(ConflictDialog, EachButtonsAnswerWithAndWithoutTheDirectionTurned)
{
    using B = ConflictDialogModel::Button;
    using C = ConflictReply::Choice;
    const AnswerCase cases[] = {
        {31, 4, 0, B::Replace, 100, {C::Carry, false}, "icnPreviewViolet"},
        {31, 4, 1, B::Replace, -100, {C::Carry, true}, "icnPreviewOrange"},
        {31, 5, 1, B::Replace, -100, {C::Carry, true}, "icnPreviewViolet"},
        {31, 4, 2, B::Replace, 100, {C::Carry, false}, "icnPreviewViolet"},
        {31, 4, 1, B::Skip, -99, {C::Skip, false}, "icnPreviewOrange"},
        {31, 5, 0, B::Stop, 98, {C::Stop, false}, "icnPreviewOrange"},
        {31, 4, 1, B::Stop, -98, {C::Stop, false}, "icnPreviewOrange"},
        // Other kinds have no direction to turn: presses change nothing.
        {11, 4, 1, B::Replace, 100, {C::Carry, false}, "icnPreviewViolet"},
        {41, 6, 1, B::Skip, 99, {C::Skip, false}, "icnPreviewOrange"},
        {42, 7, 0, B::Stop, 98, {C::Stop, false}, "icnPreviewOrange"},
    };
    for (const AnswerCase &c : cases) {
        ConflictDialogModel m(ConflictQuestion{"/a", "/b", std::nullopt, c.mode, c.kind, true, c.kind == 31},
                              QLocale::c());
        for (int i = 0; i < c.directionPresses; ++i)
            EXPECT_EQ(m.ChangeDirection(), c.kind == 31);
        const std::string what = "kind " + std::to_string(c.kind) + " presses " + std::to_string(c.directionPresses)
                                 + " button " + std::to_string(int(c.button));
        EXPECT_EQ(m.dialogCode(c.button), c.code) << what;
        EXPECT_TRUE(m.reply(c.button) == c.reply) << what;
        if (c.kind == 31) {
            EXPECT_EQ(m.directionImage(), QString(c.directionImage)) << what;
        }
    }
}

} // namespace
