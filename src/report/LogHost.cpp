// The facts of the fixed log header: system, hardware address, user.
#include "report/LogInput.h"
#include "report/HardwareAddress.h"

#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace qm {

namespace {

// The login name and the first field of the account's comment (the full
// name); the login name stands in when the comment is empty.
void readUser(QString *fullName, QString *shortName)
{
    std::vector<char> buf(16384);
    passwd pw{};
    passwd *found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) != 0 || !found) {
        *shortName = QString::fromLocal8Bit(qgetenv("USER"));
        *fullName = *shortName;
        return;
    }
    *shortName = QString::fromLocal8Bit(pw.pw_name);
    const QString gecos = QString::fromLocal8Bit(pw.pw_gecos ? pw.pw_gecos : "");
    *fullName = gecos.section(u',', 0, 0).trimmed();
    if (fullName->isEmpty())
        *fullName = *shortName;
}

} // namespace

LogHost LogHost::current()
{
    LogHost host;
    host.osVersion = QSysInfo::prettyProductName();
    host.osBuild = QSysInfo::kernelType() + u' ' + QSysInfo::kernelVersion();
    host.macAddress = primaryHardwareAddress();
    readUser(&host.userFullName, &host.userShortName);
    return host;
}

} // namespace qm
