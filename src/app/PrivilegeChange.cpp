#include "app/PrivilegeChange.h"

#include "platform/Messages.h"

#include <QFileInfo>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

namespace qm {

using Kind = PrivilegeOutcome::Kind;

QString PrivilegeOutcome::title() const
{
    switch (kind) {
    case Kind::Unavailable:
    case Kind::Denied:
    case Kind::RestartFailed:
    case Kind::TurnedOff:
        return GLS("Root Permissions:");
    case Kind::TurnOffDenied:
        return GLS("Turning off Root Permissions:");
    case Kind::Nothing:
    case Kind::Cancelled:
    case Kind::TurnedOn:
        break;
    }
    return QString();
}

QString PrivilegeOutcome::message() const
{
    switch (kind) {
    case Kind::Unavailable:
        return PrivilegeChange::unavailableText();
    case Kind::Denied:
    case Kind::TurnOffDenied:
        return GLS("Authorization denied.");
    case Kind::RestartFailed:
    case Kind::TurnedOff:
        return GLS("Quit and re-launch Quillmere to apply the changes.");
    case Kind::Nothing:
    case Kind::Cancelled:
    case Kind::TurnedOn:
        break;
    }
    return QString();
}

QStringList PrivilegeOutcome::buttons() const
{
    if (kind == Kind::TurnedOff || kind == Kind::RestartFailed)
        return {GLS("Quit Now"), GLS("Later")};
    if (title().isEmpty())
        return {};
    return {GLS("OK")};
}

PrivilegeChange::PrivilegeChange(QVariantMap *prefs, bool euidRoot, PrivilegeTools tools, QObject *parent)
    : QObject(parent), m_prefs(prefs), m_euidRoot(euidRoot), m_tools(std::move(tools))
{
    qRegisterMetaType<PrivilegeOutcome>();
}

PrivilegeChange::~PrivilegeChange()
{
    // The service is left to finish on its own: killing it midway could
    // leave the program file half changed.
    if (m_process) {
        m_process->disconnect(this);
        m_process.release()->setParent(nullptr);
    }
}

bool PrivilegeChange::escalationAvailable(const QString &tool)
{
    const QFileInfo info(tool);
    return info.isFile() && info.isExecutable();
}

QString PrivilegeChange::unavailableText()
{
    return GLS("Running as root needs the privilege-escalation service pkexec, which is not installed.");
}

bool PrivilegeChange::PrefRunAsRoot(bool checked)
{
    if (m_process)
        return false;
    if (checked && !m_euidRoot)
        turnOn();
    else if (!checked && m_euidRoot)
        turnOff();
    else
        finish(Kind::Nothing);
    return true;
}

void PrivilegeChange::turnOn()
{
    if (!QFileInfo(m_tools.executable).isFile())
        return finish(Kind::Nothing);
    if (!escalationAvailable(m_tools.escalationTool))
        return finish(Kind::Unavailable);
    startService(PrivilegedMode::kSetUidRoot, true);
}

void PrivilegeChange::turnOff()
{
    const QByteArray path = QFile::encodeName(m_tools.executable);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    const bool done = fd >= 0 && PrivilegedMode::giveBack(fd, ::getuid(), ::getegid(), nullptr);
    if (fd >= 0)
        ::close(fd);
    if (done)
        return finish(Kind::TurnedOff);
    if (!escalationAvailable(m_tools.escalationTool))
        return finish(Kind::TurnOffDenied);
    startService(PrivilegedMode::kSetUidMe, false);
}

void PrivilegeChange::startService(const char *argument, bool turningOn)
{
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(m_tools.escalationTool);
    m_process->setArguments({m_tools.executable, QString::fromLatin1(argument)});
    m_process->setStandardInputFile(QProcess::nullDevice());
    connect(m_process.get(), &QProcess::finished, this, [this, turningOn](int code, QProcess::ExitStatus how) {
        serviceEnded(turningOn, how == QProcess::NormalExit, code);
    });
    connect(m_process.get(), &QProcess::errorOccurred, this, [this, turningOn](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            serviceEnded(turningOn, false, -1);
    });
    m_process->start();
}

void PrivilegeChange::serviceEnded(bool turningOn, bool normalExit, int exitStatus)
{
    if (!m_process)
        return;
    m_process.release()->deleteLater();
    if (!turningOn)
        return finish(normalExit && exitStatus == 0 ? Kind::TurnedOff : Kind::TurnOffDenied);
    if (normalExit && exitStatus == kDismissed)
        return finish(Kind::Cancelled);
    if (!normalExit || exitStatus != 0)
        return finish(Kind::Denied);
    // The changed file carries on as the running program.
    finish(QProcess::startDetached(m_tools.executable, {}) ? Kind::TurnedOn : Kind::RestartFailed);
}

void PrivilegeChange::finish(Kind kind)
{
    PrivilegeOutcome outcome;
    outcome.kind = kind;
    outcome.clearBox = kind == Kind::Unavailable || kind == Kind::Cancelled || kind == Kind::Denied;
    if (outcome.clearBox && m_prefs)
        m_prefs->insert(QStringLiteral("prefRoot"), qlonglong(0));
    // Always after the call has returned, so that callers see one order.
    QTimer::singleShot(0, this, [this, outcome] { Q_EMIT finished(outcome); });
}

} // namespace qm
