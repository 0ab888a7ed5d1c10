#pragma once
// The stages of a run as the program carries them out: the scanner and the
// executor, the session services (volumes, scripts, filter and exclude
// lists, folder validation), the Exact Sync index and the log.
#include "engine/RunStages.h"

#include <QStringList>

#include <memory>

namespace qm {

struct EngineConfig {
    QString indexFolder;    // "ExactSync Indexes"
    QStringList ownFolders; // the program's own folders, never copied
};

std::unique_ptr<RunStages> makeEngineStages(const EngineConfig &config);

} // namespace qm
