#include "uimodel/FolderSizer.h"

#include "platform/FileName.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <fts.h>
#include <sys/stat.h>

namespace qm {

qint64 itemSizeInBytes(const QString &path, const std::atomic<bool> *cancel)
{
    // Walked by bytes: a name in no valid encoding still counts.
    QByteArray native = nativeName(path);
    char *roots[] = {native.data(), nullptr};
    FTS *fts = ::fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR, nullptr);
    if (!fts)
        return 0;
    qint64 total = 0;
    while (FTSENT *e = ::fts_read(fts)) {
        if (cancel && *cancel)
            break;
        if (e->fts_info == FTS_F) // links are not followed, nor counted
            total += e->fts_statp->st_size;
    }
    ::fts_close(fts);
    return total;
}

FolderSizer::FolderSizer(QObject *parent) : QObject(parent) {}

FolderSizer::~FolderSizer() { cancel(); }

void FolderSizer::cancel()
{
    if (m_cancel)
        *m_cancel = true;
    m_cancel.reset();
    ++m_generation;
}

void FolderSizer::request(const QString &path)
{
    cancel();
    auto flag = std::make_shared<std::atomic<bool>>(false);
    m_cancel = flag;
    const quint64 generation = m_generation;
    QPointer<FolderSizer> self(this);
    QThread *worker = QThread::create([self, flag, path, generation] {
        const qint64 bytes = itemSizeInBytes(path, flag.get());
        if (*flag)
            return;
        // The answer goes through the application object, which outlives
        // the sizer; only the main thread looks at the sizer, and a newer
        // request wins.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, path, bytes, generation] {
                if (self && self->m_generation == generation)
                    Q_EMIT self->sizeReady(path, bytes);
            },
            Qt::QueuedConnection);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start(QThread::LowPriority);
}

} // namespace qm
