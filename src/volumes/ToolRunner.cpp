#include "volumes/ToolRunner.h"

#include "platform/Messages.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace qm {

QString ToolResult::message() const
{
    QString text = QString::fromLocal8Bit(standardError).trimmed();
    if (text.isEmpty())
        text = QString::fromLocal8Bit(standardOutput).trimmed();
    if (!started)
        return text.isEmpty() ? GLS("The tool could not be started.") : text;
    if (timedOut)
        return GLS("The tool did not answer in time and was stopped.");
    if (text.isEmpty() && exitCode != 0)
        text = GLS("The tool ended with the status") + u' ' + QString::number(exitCode);
    return text;
}

QString ToolRunner::find(const QString &name)
{
    // Root's PATH may lack the sbin folders; look there as well.
    const QStringList extra = {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                               QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
    QString found = QStandardPaths::findExecutable(name);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(name, extra);
    return found;
}

ToolResult ToolRunner::run(const QString &program, const QStringList &arguments,
                           const QByteArray &standardInput, int timeoutMs)
{
    ToolResult result;
    const QString path = program.startsWith(u'/') ? program : find(program);
    if (path.isEmpty()) {
        result.standardError = QStringLiteral("%1: command not found").arg(program).toLocal8Bit();
        return result;
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C")); // messages we can classify
    process.setProcessEnvironment(env);
    process.start(path, arguments);
    if (!process.waitForStarted(10000)) {
        result.standardError = process.errorString().toLocal8Bit();
        return result;
    }
    result.started = true;
    if (!standardInput.isEmpty())
        process.write(standardInput);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        result.timedOut = true;
        process.kill();
        process.waitForFinished(5000);
    }
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    if (!result.timedOut)
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

} // namespace qm
