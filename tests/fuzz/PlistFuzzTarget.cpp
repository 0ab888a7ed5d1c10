// One document through the property-list reader. Whatever the bytes, the
// reader answers a value or a refusal; a value it accepts must survive being
// written and read again unchanged, or the program could not store what it
// read. Built into a libFuzzer target or into the mutation driver beside it.
#include "platform/PropertyList.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QVariant value;
    QString error;
    if (!qm::PropertyList::parse(bytes, QStringLiteral("fuzz"), &value, &error)) {
        if (!error.startsWith(QStringLiteral("fuzz, line ")) && !error.startsWith(QStringLiteral("fuzz:"))) {
            std::fprintf(stderr, "refusal without the file's name: %s\n", qPrintable(error));
            std::abort();
        }
        return 0;
    }
    // The fast path took it or left it to the general reader: either way
    // the general reader must read the same.
    QVariant general;
    if (!qm::PropertyList::parseWithGeneralReader(bytes, QStringLiteral("fuzz"), &general, &error)
        || qm::PropertyList::serialize(general) != qm::PropertyList::serialize(value)) {
        std::fprintf(stderr, "the fast path read what the general reader reads otherwise\n");
        std::abort();
    }
    // The first writing normalises (whole-second dates); from then on a
    // write and a read must change nothing.
    const QByteArray once = qm::PropertyList::serialize(value);
    QVariant again;
    if (!qm::PropertyList::parse(once, QStringLiteral("again"), &again, &error)) {
        std::fprintf(stderr, "cannot read back what was written: %s\n", qPrintable(error));
        std::abort();
    }
    if (qm::PropertyList::serialize(again) != once) {
        std::fprintf(stderr, "a write and a read changed the document\n");
        std::abort();
    }
    return 0;
}
