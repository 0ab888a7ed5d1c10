#pragma once
// The size of the drawer's folder, computed on a thread of its own: a deep
// folder takes seconds to walk, and the window must not wait for it.
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

namespace qm {

// The bytes of every file under `path` (or of the file itself); links are
// not followed. Stops early, with what it has, when `cancel` turns true.
qint64 itemSizeInBytes(const QString &path, const std::atomic<bool> *cancel = nullptr);

// Lives on the main thread.
class FolderSizer : public QObject {
    Q_OBJECT
public:
    explicit FolderSizer(QObject *parent = nullptr);
    ~FolderSizer() override;

    // Starts sizing `path`; a request still under way is abandoned and its
    // answer never delivered.
    void request(const QString &path);
    void cancel();

Q_SIGNALS:
    // On the thread that owns the sizer.
    void sizeReady(const QString &path, qint64 bytes);

private:
    std::shared_ptr<std::atomic<bool>> m_cancel;
    quint64 m_generation = 0;
};

} // namespace qm
