// The reachability probe against the real network stack: the loopback of
// this machine, and private network namespaces where nobody answers.
#include "volumes/IcmpProbe.h"
#include "support/Files.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qm;

namespace {

bool setLoopbackUp()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return false;
    ifreq ifr {};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags |= IFF_UP;
    ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
    ::close(fd);
    return ok;
}

enum class Net { LoopbackDown, LoopbackUpSilent, LoopbackUpPingGroup };
constexpr int kCannotSetUp = 100;

// Runs the probe in a child with a network namespace of its own; answers
// the probe's code, or kCannotSetUp when the namespace could not be made.
int probeInNamespace(Net net, IcmpProbe::SocketKind kind, int attempts)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::unshare(CLONE_NEWNET) != 0)
            ::_exit(kCannotSetUp);
        if (net != Net::LoopbackDown && !setLoopbackUp())
            ::_exit(kCannotSetUp);
        if (net == Net::LoopbackUpSilent
            && !qmtest::writeBytes("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"))
            ::_exit(kCannotSetUp);
        if (net == Net::LoopbackUpPingGroup
            && !qmtest::writeBytes("/proc/sys/net/ipv4/ping_group_range", "0 2147483647"))
            ::_exit(kCannotSetUp);
        ::_exit(IcmpProbe::SimplePing("127.0.0.1", attempts, 10, true, kind));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : kCannotSetUp;
}

} // namespace

TEST(IcmpMessage, RequestLayoutChecksumAndReplyMatching)
{
    const QByteArray p = IcmpProbe::makeEchoRequest(0xbeef, 3, timeval {1700000000, 123456});
    ASSERT_EQ(p.size(), 36);
    EXPECT_EQ(p[0], 8);
    EXPECT_EQ(p[1], 0);
    // A message with its checksum in place sums to zero.
    EXPECT_EQ(IcmpProbe::in_cksum(p.constData(), int(p.size())), 0);
    uint16_t id, seq;
    uint32_t sec;
    std::memcpy(&id, p.constData() + 4, 2);
    std::memcpy(&seq, p.constData() + 6, 2);
    std::memcpy(&sec, p.constData() + 28, 4);
    EXPECT_EQ(id, 0xbeef);
    EXPECT_EQ(seq, 3);
    EXPECT_EQ(sec, 1700000000u);
    EXPECT_EQ(QByteArray(p.constData() + 8, 20), QByteArray(20, '\0'));

    // Odd lengths count the last byte as the low half of a word; carries fold.
    const unsigned char odd[] = {0x01, 0x02, 0x03};
    uint16_t first, last = 0;
    std::memcpy(&first, odd, 2);
    std::memcpy(&last, odd + 2, 1);
    EXPECT_EQ(IcmpProbe::in_cksum(odd, 3), uint16_t(~(uint32_t(first) + last) & 0xffff));
    const unsigned char carry[] = {0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ(IcmpProbe::in_cksum(carry, 4), 0); // 0x1fffe folds to 0xffff

    // Replies match on their type and the low 16 bits of a process id above 65535.
    const uint16_t pid = uint16_t(70000 & 0xffff);
    QByteArray reply = IcmpProbe::makeEchoRequest(pid, 0, timeval {0, 0});
    EXPECT_FALSE(IcmpProbe::isMatchingReply(reply, pid)) << "our own request is no reply";
    reply[0] = 0;
    EXPECT_TRUE(IcmpProbe::isMatchingReply(reply, pid));
    EXPECT_FALSE(IcmpProbe::isMatchingReply(reply, uint16_t(pid + 1)));
    EXPECT_FALSE(IcmpProbe::isMatchingReply(reply.left(35), pid)) << "short replies are ignored";
}

TEST(IcmpProbe, RefusesBadArgumentsAndUnknownHosts)
{
    EXPECT_EQ(IcmpProbe::SimplePing(QByteArray(), 4, 10, true), IcmpProbe::kInvalidArguments);
    EXPECT_EQ(IcmpProbe::SimplePing("127.0.0.1", 0, 10, true), IcmpProbe::kInvalidArguments);
    EXPECT_EQ(IcmpProbe::SimplePing("127.0.0.1", 4, 0, true), IcmpProbe::kInvalidArguments);
    EXPECT_EQ(IcmpProbe::PingHost(QString()), IcmpProbe::kLookupFailed);
}

TEST(IcmpProbe, LoopbackAnswersOnTheFirstAttempt)
{
    IcmpProbe::Reply reply;
    QElapsedTimer clock;
    clock.start();
    const int code = IcmpProbe::SimplePing("127.0.0.1", 4, 10, true,
                                           IcmpProbe::SocketKind::Automatic, &reply);
    if (code == IcmpProbe::kNoSocket)
        GTEST_SKIP() << "no ICMP socket may be made here (not root, ping_group_range closed)";
    EXPECT_EQ(code, IcmpProbe::kReplied);
    EXPECT_EQ(reply.from, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(reply.sequence, 0u);
    EXPECT_LT(clock.elapsed(), 900);
    EXPECT_GE(reply.roundTripMs, 0.0);
    EXPECT_EQ(IcmpProbe::PingHost(QStringLiteral("127.0.0.1")), IcmpProbe::kReplied);
}

TEST(IcmpProbe, InAPrivateNetworkTheAnswerDependsOnTheLoopback)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a network namespace needs root";
    const int datagram = probeInNamespace(Net::LoopbackUpPingGroup, IcmpProbe::SocketKind::Datagram, 4);
    if (datagram == kCannotSetUp)
        GTEST_SKIP() << "no network namespace could be set up";
    EXPECT_EQ(datagram, IcmpProbe::kReplied) << "the datagram socket where the ping group allows it";
    // Loopback down: the request cannot even be sent.
    EXPECT_EQ(probeInNamespace(Net::LoopbackDown, IcmpProbe::SocketKind::Raw, 4), IcmpProbe::kNoAnswer);
    // Loopback up but echo ignored: every attempt waits its second out.
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(probeInNamespace(Net::LoopbackUpSilent, IcmpProbe::SocketKind::Raw, 3), IcmpProbe::kNoAnswer);
    EXPECT_GE(clock.elapsed(), 2800);
    EXPECT_LT(clock.elapsed(), 6000);
}
