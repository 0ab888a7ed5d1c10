// A self-contained mutation fuzzer for the property-list reader, for
// machines without libFuzzer and for the short run in the test suite:
//   fuzz_plist COUNT [SEED] [FILE...]
// Documents made from a few seeds (and the files given) by random bit
// flips, token insertions, deletions, repeats and splices are handed to the
// target; a fault aborts with the document saved as fuzz-crash.plist.
#include "platform/PropertyList.h"

#include <QDateTime>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

std::vector<QByteArray> seeds()
{
    using qm::PropertyList;
    QVariantMap every{{"text", QString("a\r\"<&>\u00e9")},
                      {"n", qlonglong(-42)},
                      {"r", 0.5},
                      {"t", true},
                      {"f", false},
                      {"date", QDateTime(QDate(2026, 12, 7), QTime(17, 0), Qt::UTC)},
                      {"data", QByteArray("\x00\xff\x10", 3)},
                      {"list", QVariantList{QString(), qlonglong(1), QVariantMap{{"in", QVariantList{}}}}}};
    QVariantMap index{{"fileVersion", qlonglong(320)},
                      {"treeSource", QVariantMap{{"src", QVariantMap{{"a", QString()},
                                                                     {"b", QVariantMap{{"c", QString()}}}}}}}};
    return {PropertyList::serialize(every), PropertyList::serialize(index),
            PropertyList::serialize(QVariantList{QVariantList{QVariantList{}}})};
}

const char *const kTokens[] = {
    "<dict>", "</dict>", "<array>", "</array>", "<key>", "</key>", "<key>k</key>", "<string>",
    "</string>", "<integer>", "</integer>", "<real>", "<date>", "<data>", "<true/>", "<false/>",
    "&#13;", "&amp;", "&#0;", "&#xD800;", "<!--", "-->", "<![CDATA[", "]]>", "<?xml version=\"1.0\"?>",
    "<!DOCTYPE plist [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>", "&b;",
    "99999999999999999999", "-9223372036854775808", "nan", "-inf", "1e400", "====", "\xc3\x28",
    "\xef\xbb\xbf", "<plist version=\"1.0\">", "</plist>", "\r\n", "\t",
};

class Mutator {
public:
    explicit Mutator(uint64_t seed) : m_rng(seed) {}

    QByteArray mutate(QByteArray doc, const std::vector<QByteArray> &pool)
    {
        const int steps = 1 + int(below(4));
        for (int i = 0; i < steps; ++i)
            step(doc, pool);
        return doc;
    }

private:
    std::mt19937_64 m_rng;

    uint64_t below(uint64_t n) { return n ? m_rng() % n : 0; }
    qsizetype at(const QByteArray &d) { return qsizetype(below(uint64_t(d.size()) + 1)); }

    void step(QByteArray &d, const std::vector<QByteArray> &pool)
    {
        switch (below(7)) {
        case 0: // one bit
            if (!d.isEmpty()) {
                const qsizetype i = at(d) % d.size();
                d[i] = char(d[i] ^ (1 << below(8)));
            }
            break;
        case 1: // a token of the format
            d.insert(at(d), kTokens[below(std::size(kTokens))]);
            break;
        case 2: { // a piece removed
            const qsizetype from = at(d);
            d.remove(from, qsizetype(below(64)));
            break;
        }
        case 3: { // a piece repeated, which nests what it opens
            const qsizetype from = at(d);
            const QByteArray piece = d.mid(from, qsizetype(1 + below(32)));
            const int times = int(1 + below(below(8) == 0 ? 20000 : 16));
            d.insert(from, piece.repeated(times));
            break;
        }
        case 4: { // spliced with another document
            const QByteArray &other = pool[below(pool.size())];
            d = d.left(at(d)) + other.mid(at(other));
            break;
        }
        case 5: // a byte of any value
            if (!d.isEmpty())
                d[at(d) % d.size()] = char(below(256));
            break;
        default: // cut short
            d.truncate(at(d));
            break;
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000;
    const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    std::vector<QByteArray> pool = seeds();
    for (int i = 3; i < argc; ++i) {
        QFile f(QString::fromLocal8Bit(argv[i]));
        if (f.open(QIODevice::ReadOnly))
            pool.push_back(f.readAll());
    }
    Mutator mutator(seed);
    long accepted = 0;
    for (long n = 0; n < count; ++n) {
        const QByteArray doc = mutator.mutate(pool[size_t(n) % pool.size()], pool);
        QFile keep(QStringLiteral("fuzz-crash.plist"));
        // Written first so that a crash leaves the document behind; only
        // kept when something went wrong.
        const bool saved = keep.open(QIODevice::WriteOnly) && keep.write(doc) == doc.size();
        keep.close();
        QVariant probe;
        QString error;
        if (qm::PropertyList::parse(doc, QStringLiteral("probe"), &probe, &error))
            ++accepted;
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(doc.constData()), size_t(doc.size()));
        if (saved)
            keep.remove();
        // Accepted documents feed later mutations, as a coverage-guided
        // fuzzer would keep them.
        if (probe.isValid() && pool.size() < 64)
            pool.push_back(doc);
    }
    std::printf("%ld mutated documents read, %ld accepted, no fault\n", count, accepted);
    return 0;
}
