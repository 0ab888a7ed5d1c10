#include "volumes/Mounter.h"

#include <unistd.h>

namespace qm {

std::unique_ptr<Mounter> Mounter::forThisProcess()
{
    if (::geteuid() == 0)
        return std::make_unique<RootMounter>();
    return std::make_unique<DesktopMounter>();
}

MountOutcome Mounter::fromTool(const ToolResult &r, bool unmounting)
{
    if (r.succeeded())
        return {};
    const QString message = r.message();
    return MountOutcome::failure(unmounting ? unmountFailureStatus(message) : mountFailureStatus(message),
                                 message);
}

OSStatus Mounter::mountFailureStatus(const QString &message)
{
    const QString m = message.toLower();
    auto has = [&m](const char *text) { return m.contains(QLatin1String(text)); };
    if (has("already mounted") || has("busy"))
        return Status::afpAlreadyMounted;
    if (has("permission denied") || has("authentication") || has("login failed")
        || has("logon failure") || has("access denied") || has("password"))
        return Status::afpUserNotAuth;
    if (has("no route to host") || has("connection refused") || has("host is down")
        || has("could not resolve") || has("name or service not known")
        || has("network is unreachable") || has("connection timed out"))
        return Status::kNoServersErr;
    if (has("no such file") || has("does not exist") || has("not found"))
        return Status::fnfErr;
    if (has("not permitted") || has("not authorized"))
        return Status::afpAccessDenied;
    return Status::ioErr;
}

OSStatus Mounter::unmountFailureStatus(const QString &message)
{
    const QString m = message.toLower();
    if (m.contains(QLatin1String("busy")))
        return Status::fBsyErr;
    if (m.contains(QLatin1String("not mounted")))
        return Status::nsvErr;
    if (m.contains(QLatin1String("not permitted")) || m.contains(QLatin1String("not authorized"))
        || m.contains(QLatin1String("permission denied")))
        return Status::afpAccessDenied;
    return Status::ioErr;
}

} // namespace qm
