// Plan items keep names and build their paths from their parents': the
// stored form, with full paths, must come back exactly.
#include "engine/CopyItem.h"

#include <QVariantList>
#include <gtest/gtest.h>

using namespace qm;

namespace {

QVariantMap rec(const QString &source, const QString &dest, int mode, const QVariantList &subs = {},
                bool folder = false)
{
    QVariantMap r{{"source", source}, {"dest", dest}, {"copyMode", qlonglong(mode)}};
    if (folder || !subs.isEmpty())
        r.insert("subItems", subs);
    return r;
}

QVariantMap root(const QString &source, const QString &dest, const QVariantList &subs)
{
    QVariantMap r = rec(source, dest, CopyMode::Folder, subs, true);
    r.insert({{"isTheRootOfTheTree", true}, {"sessionIndex", 2LL}, {"taskIndex", 1LL}, {"gIsSyncOn", true}});
    return r;
}

} // namespace

TEST(CopyItem, StoredFormComesBackWithEveryPath)
{
    const QString odd = QString::fromUtf8("ü \\:*?\"<>|\n.");
    QVariantMap marked = rec("/A/gone", "/B/gone", CopyMode::RemoveB);
    marked.insert("ifSkipAddToExactIndex", 0LL);
    const struct {
        const char *name;
        QVariantMap record;
    } cases[] = {
        {"the file system's root", root("/", "/mnt/b", {rec("/x y", "/mnt/b/x y", 2, {rec("/x y/" + odd, "/mnt/b/x y/" + odd, 2)})})},
        {"a root with a final slash", root("/A/", "/B", {rec("/A/f", "/B/f", 2)})},
        {"the destination at the root", root("/A", "/", {rec("/A/f", "/f", 2)})},
        {"names paired across case", root("/A", "/B", {rec("/A/Report", "/B/report", 4)})},
        {"a resolved link elsewhere", root("/A", "/B", {rec("/elsewhere/data", "/B/data", 2, {rec("/elsewhere/data/f", "/B/data/f", 2)})})},
        {"an empty folder and an index mark", root("/A", "/B", {rec("/A/e", "/B/e", 1, {}, true), marked})},
    };
    for (const auto &c : cases) {
        const CopyItem item = CopyItem::fromRecord(c.record);
        EXPECT_EQ(item.toRecord(), c.record) << c.name;
        CopyItem copy = item;
        copy.subItems.front().setFullPaths("/other", "/other");
        EXPECT_EQ(item.toRecord(), c.record) << c.name << ": a copy shares nothing";
    }
}
