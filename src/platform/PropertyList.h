#pragma once
// XML property lists (plist 1.0) to and from Qt variants.
//
// Types: dict <-> QVariantMap, array <-> QVariantList, string <-> QString,
// integer <-> qlonglong, real <-> double, true/false <-> bool,
// date <-> QDateTime (UTC, whole seconds), data <-> QByteArray.
// Reading never yields a half-read tree: on any fault the output is left
// untouched and the error names the file and the line.
#include <QString>
#include <QVariant>

namespace qm {

class PropertyList {
public:
    // Dictionaries and arrays nested deeper than this are refused as
    // damaged. Far above what this program writes; low enough that reading
    // stays within a thread's stack also in instrumented builds (an index
    // of a tree deeper than this is simply unavailable: nothing is deleted).
    static constexpr int kMaxNesting = 2048;

    // Parses bytes; `sourceName` is used in error messages (a path, usually).
    static bool parse(const QByteArray &bytes, const QString &sourceName,
                      QVariant *out, QString *error);
    // The general XML reader alone. parse() hands it whatever its fast path
    // for this program's own files does not take; both must agree.
    static bool parseWithGeneralReader(const QByteArray &bytes, const QString &sourceName,
                                       QVariant *out, QString *error);
    static bool read(const QString &path, QVariant *out, QString *error);
    // As read(), but the root must be a dictionary.
    static bool readDictionary(const QString &path, QVariantMap *out, QString *error);

    static QByteArray serialize(const QVariant &root);
    // Atomic, and private to the owner (see AtomicFile.h).
    static bool write(const QString &path, const QVariant &root, QString *error);
};

} // namespace qm
