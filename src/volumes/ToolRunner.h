#pragma once
// Runs one system tool (mount, losetup, blkid ...) with its arguments as a
// list, never through a shell. Secrets travel on standard input, never in
// the arguments, which every local user can read in /proc/<pid>/cmdline.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qm {

struct ToolResult {
    bool started = false;
    bool timedOut = false;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;

    bool succeeded() const { return started && !timedOut && exitCode == 0; }
    // The tool's own words for the user: its error output, else its output,
    // else a line saying how it ended.
    QString message() const;
};

class ToolRunner {
public:
    static constexpr int kDefaultTimeoutMs = 120 * 1000;

    static ToolResult run(const QString &program, const QStringList &arguments,
                          const QByteArray &standardInput = {},
                          int timeoutMs = kDefaultTimeoutMs);
    // The program's absolute path from the usual system folders, or "".
    static QString find(const QString &name);
};

} // namespace qm
