#pragma once
// Until the file-system layer publishes its package test, the engine needs
// one cheap name test on the hot path of the scan (no extra system call).
#include <QByteArray>

namespace qm {

// Whether a folder of this name is a file package (shown as one file).
bool isPackageName(const QByteArray &name);

} // namespace qm
