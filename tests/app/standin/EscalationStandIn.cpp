// A stand-in for the privilege-escalation service, installed set-user-id
// root by the tests: like the real service it starts the program with every
// id root's, a clean environment and its note of the calling user, from the
// caller's own process (the program's parent stays the caller).
#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <string>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 127;
    const std::string caller = std::to_string(::getuid());
    if (::setgroups(0, nullptr) != 0 || ::setresgid(0, 0, 0) != 0 || ::setresuid(0, 0, 0) != 0) {
        std::perror("stand-in: cannot become root");
        return 127;
    }
    ::clearenv();
    ::setenv("PATH", "/usr/sbin:/usr/bin:/sbin:/bin", 1);
    ::setenv("PKEXEC_UID", caller.c_str(), 1);
    ::execv(argv[1], argv + 1);
    std::perror("stand-in: cannot start the program");
    return 127;
}
