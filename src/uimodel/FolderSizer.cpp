#include "uimodel/FolderSizer.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

namespace qm {

qint64 itemSizeInBytes(const QString &path, const std::atomic<bool> *cancel)
{
    const QFileInfo info(path);
    if (!info.isDir() || info.isSymLink())
        return info.exists() || info.isSymLink() ? info.size() : 0;
    qint64 total = 0;
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (cancel && *cancel)
            break;
        it.next();
        if (!it.fileInfo().isSymLink())
            total += it.fileInfo().size();
    }
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
