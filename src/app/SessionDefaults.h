#pragma once
// Default values of a session document: the rows of every list, a whole new
// session, and the fixed sizes of the row lists.
#include <QDateTime>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

namespace qm {

// The format version every write stamps.
inline constexpr qlonglong kDocumentFileVersion = 354;
// Every row list of a session holds exactly this many rows (the editors and
// the engine walk rows 0 .. count-1); the volume list holds twice as many.
inline constexpr int kSessionRowCount = 32;
inline constexpr int kVolumeRowCount = 2 * kSessionRowCount;

// `settTask` values.
enum class SessionTask : int { Synchronize = 1, Backup = 2 };

// The row lists of a session, with the size each is kept at.
enum class RowList { Timer, FolderPair, Filter, Exclude, Volume };

class SessionDefaults {
public:
    // 1 January 2004, 00:00 local time: the start and end of an unset timer.
    static QDateTime timerStart();
    // The text of a script nobody has written yet.
    static QString scriptText();

    static QVariantMap timerRow(const QDateTime &start);
    static QVariantMap folderPairRow();
    static QVariantMap filterRow();
    static QVariantMap excludeRow();
    // The nine keys a new session's volume rows hold.
    static QVariantMap volumeRow();
    // A volume row as a repair writes it: also an empty `volumeIcon`.
    static QVariantMap repairedVolumeRow();

    static QString key(RowList list);
    static int rowCount(RowList list);
    // The default row of a list (timer rows dated timerStart()).
    static QVariantMap row(RowList list);
    static QVariantList rows(const QVariantMap &row, int count);

    // A session record with every key at its default; all its timer rows
    // share one start date.
    static QVariantMap session(int task, const QString &name);
};

} // namespace qm
