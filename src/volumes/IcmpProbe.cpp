#include "volumes/IcmpProbe.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace qm {
namespace {

constexpr int kReceiveBufferBytes = 51200;
constexpr int kMaxDatagram = 2048;

struct SocketCloser {
    int fd;
    ~SocketCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

double millisecondsSince(const timeval &sent)
{
    timeval now {};
    ::gettimeofday(&now, nullptr);
    return double(now.tv_sec - sent.tv_sec) * 1000.0 + double(now.tv_usec - sent.tv_usec) / 1000.0;
}

// The echo identifier a datagram socket really uses: the kernel replaces
// ours with the socket's own "port" and delivers only the replies to it.
uint16_t datagramIdentifier(int socket)
{
    sockaddr_in local {};
    socklen_t length = sizeof local;
    if (::getsockname(socket, reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return 0;
    return local.sin_port; // as the kernel writes it into the echo, byte for byte
}

} // namespace

uint16_t IcmpProbe::identifierForProcess()
{
    return uint16_t(::getpid() & 0xffff);
}

uint16_t IcmpProbe::in_cksum(const void *bytes, int length)
{
    const auto *p = static_cast<const uint8_t *>(bytes);
    uint32_t sum = 0;
    int i = 0;
    for (; i + 1 < length; i += 2) {
        uint16_t word;
        std::memcpy(&word, p + i, 2); // words in memory order, as they are sent
        sum += word;
    }
    if (i < length) {
        uint16_t word = 0;
        std::memcpy(&word, p + i, 1); // an odd last byte is the word's first byte
        sum += word;
    }
    sum = (sum >> 16) + (sum & 0xffff);
    sum += sum >> 16;
    return uint16_t(~sum & 0xffff);
}

QByteArray IcmpProbe::makeEchoRequest(uint16_t identifier, uint16_t sequence, const timeval &sent)
{
    QByteArray packet(kRequestSize, '\0');
    char *p = packet.data();
    p[0] = 8; // echo request
    p[1] = 0;
    std::memcpy(p + 4, &identifier, 2);
    std::memcpy(p + 6, &sequence, 2);
    const uint32_t seconds = uint32_t(sent.tv_sec);
    const uint32_t micro = uint32_t(sent.tv_usec);
    std::memcpy(p + 28, &seconds, 4);
    std::memcpy(p + 32, &micro, 4);
    const uint16_t sum = in_cksum(p, kRequestSize);
    std::memcpy(p + 2, &sum, 2);
    return packet;
}

bool IcmpProbe::isMatchingReply(const QByteArray &icmp, uint16_t identifier)
{
    if (icmp.size() < kRequestSize || uint8_t(icmp[0]) != 0)
        return false;
    uint16_t id;
    std::memcpy(&id, icmp.constData() + 4, 2);
    return id == identifier;
}

int IcmpProbe::LookupHostAddress(const QByteArray &hostName, sockaddr_in *address)
{
    if (!address)
        return EINVAL;
    std::memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    if (!hostName.isEmpty() && ::inet_pton(AF_INET, hostName.constData(), &address->sin_addr) == 1)
        return 0;
    addrinfo hints {};
    hints.ai_family = AF_INET; // the echo is IPv4
    addrinfo *found = nullptr;
    if (hostName.isEmpty() || ::getaddrinfo(hostName.constData(), nullptr, &hints, &found) != 0
        || !found)
        return EHOSTUNREACH;
    std::memcpy(address, found->ai_addr, sizeof *address);
    ::freeaddrinfo(found);
    return 0;
}

int IcmpProbe::CreateSocketForCommunicationWithHost(SocketKind kind, int *socketOut)
{
    *socketOut = -1;
    // A system without a protocol table still speaks ICMP, protocol 1.
    const protoent *proto = ::getprotobyname("icmp");
    const int protocol = proto ? proto->p_proto : IPPROTO_ICMP;
    if (kind == SocketKind::Automatic)
        kind = ::geteuid() == 0 ? SocketKind::Raw : SocketKind::Datagram;
    const int fd = ::socket(AF_INET, kind == SocketKind::Raw ? SOCK_RAW : SOCK_DGRAM, protocol);
    if (fd < 0)
        return errno ? errno : 1;
    const int bufferBytes = kReceiveBufferBytes;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    const timeval wait {1, 0};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0) {
        const int err = errno;
        ::close(fd);
        return err ? err : 1;
    }
    if (kind == SocketKind::Datagram) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    }
    *socketOut = fd;
    return 0;
}

int IcmpProbe::CreateAndSendICMPPacket(const sockaddr_in &address, uint16_t sequence, int socket,
                                       uint16_t identifier)
{
    timeval now {};
    ::gettimeofday(&now, nullptr);
    const QByteArray packet = makeEchoRequest(identifier, sequence, now);
    errno = 0;
    const ssize_t sent = ::sendto(socket, packet.constData(), size_t(packet.size()), 0,
                                  reinterpret_cast<const sockaddr *>(&address), sizeof address);
    if (sent == packet.size())
        return 0;
    return errno ? errno : 1;
}

int IcmpProbe::WaitAndPrintICMPs(int socket, int timeoutSeconds, bool oneWait, bool datagram,
                                 uint16_t identifier, bool *gotReply, Reply *reply)
{
    if (!gotReply || timeoutSeconds < 1)
        return EINVAL;
    *gotReply = false;
    timeval start {};
    if (::gettimeofday(&start, nullptr) != 0)
        return errno ? errno : 1;
    for (;;) {
        char buffer[kMaxDatagram];
        char control[256];
        sockaddr_in from {};
        iovec iov {buffer, sizeof buffer};
        msghdr msg {};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(socket, &msg, 0);
        if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return 0;
        if (got > 0) {
            // A raw socket hands over the IP header too; a datagram one does not.
            int ttl = -1;
            int headerLength = 0;
            if (!datagram) {
                headerLength = (uint8_t(buffer[0]) & 0x0f) * 4;
                if (got > 8)
                    ttl = uint8_t(buffer[8]);
            } else {
                for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL)
                        std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
                }
            }
            const QByteArray icmp = got > headerLength
                ? QByteArray(buffer + headerLength, int(got - headerLength))
                : QByteArray();
            if (isMatchingReply(icmp, identifier)) {
                *gotReply = true;
                if (reply) {
                    uint16_t seq;
                    uint32_t sec, usec;
                    std::memcpy(&seq, icmp.constData() + 6, 2);
                    std::memcpy(&sec, icmp.constData() + 28, 4);
                    std::memcpy(&usec, icmp.constData() + 32, 4);
                    reply->from = QString::fromLatin1(::inet_ntoa(from.sin_addr));
                    reply->sequence = seq;
                    reply->ttl = ttl;
                    reply->roundTripMs = millisecondsSince(timeval {time_t(sec), suseconds_t(usec)});
                }
                return 0;
            }
        }
        timeval now {};
        if (::gettimeofday(&now, nullptr) != 0)
            return 0;
        // One wait lasts until a matching reply or the socket's one-second
        // time-out; a raw socket also sees our own requests and the host's
        // other ICMP traffic, which must not end the wait early.
        const bool timedOut = got < 0;
        const double waitedMs = double(now.tv_sec - start.tv_sec) * 1000.0
            + double(now.tv_usec - start.tv_usec) / 1000.0;
        if ((oneWait && (timedOut || waitedMs >= 1000.0)) || now.tv_sec - start.tv_sec >= timeoutSeconds)
            return 0;
    }
}

int IcmpProbe::SimplePing(const QByteArray &hostName, int attempts, int timeoutSeconds,
                          bool oneWait, SocketKind kind, Reply *reply)
{
    if (hostName.isNull() || attempts < 1 || timeoutSeconds < 1)
        return kInvalidArguments;
    sockaddr_in address {};
    if (LookupHostAddress(hostName, &address) != 0)
        return kLookupFailed;
    int fd = -1;
    if (kind == SocketKind::Automatic)
        kind = ::geteuid() == 0 ? SocketKind::Raw : SocketKind::Datagram;
    if (CreateSocketForCommunicationWithHost(kind, &fd) != 0)
        return kNoSocket;
    SocketCloser closer {fd};
    const bool datagram = kind == SocketKind::Datagram;
    uint16_t identifier = identifierForProcess();
    bool gotReply = false;
    for (int sequence = 0; sequence < attempts && !gotReply; ++sequence) {
        if (CreateAndSendICMPPacket(address, uint16_t(sequence), fd, identifier) != 0)
            break;
        if (datagram)
            identifier = datagramIdentifier(fd);
        if (WaitAndPrintICMPs(fd, timeoutSeconds, oneWait, datagram, identifier, &gotReply, reply)
            != 0)
            break;
    }
    return gotReply ? kReplied : kNoAnswer;
}

int IcmpProbe::PingHost(const QString &host)
{
    QByteArray name = host.toUtf8();
    if (name.isNull())
        name = QByteArray(""); // an empty name is looked up (and fails), not refused
    return SimplePing(name, kAttempts, kTimeoutSeconds, true);
}

} // namespace qm
