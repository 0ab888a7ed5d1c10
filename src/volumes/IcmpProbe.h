#pragma once
// Host reachability: ICMP echo requests to a server before a mount, so that
// an unknown or silent host is reported at once instead of after the
// mounter's own long time-out. Blocking; keeps no state between calls.
#include <QByteArray>
#include <QString>
#include <cstdint>

struct sockaddr_in;
struct timeval;

namespace qm {

class IcmpProbe {
public:
    // Result codes (also the statuses of a remote mount, see AutoMountList).
    enum Code : int {
        kReplied = 0,
        kInvalidArguments = 1,
        kLookupFailed = 2,
        kNoSocket = 3,
        kNoAnswer = 6,
    };
    // Datagram ICMP sockets need no privilege where the system allows them
    // (net.ipv4.ping_group_range); raw sockets need root.
    enum class SocketKind { Automatic, Datagram, Raw };

    struct Reply {
        QString from;
        unsigned sequence = 0;
        int ttl = -1; // -1 when the socket did not tell
        double roundTripMs = 0;
    };

    static constexpr int kRequestSize = 36;
    static constexpr int kAttempts = 4;
    static constexpr int kTimeoutSeconds = 10;

    // The probe before a mount: 4 attempts, each waiting about one second.
    static int PingHost(const QString &host);
    static int SimplePing(const QByteArray &hostName, int attempts, int timeoutSeconds,
                          bool oneWait, SocketKind kind = SocketKind::Automatic,
                          Reply *reply = nullptr);

    // errno-style results: 0 on success.
    static int LookupHostAddress(const QByteArray &hostName, sockaddr_in *address);
    static int CreateSocketForCommunicationWithHost(SocketKind kind, int *socketOut);
    static int CreateAndSendICMPPacket(const sockaddr_in &address, uint16_t sequence, int socket,
                                       uint16_t identifier);
    static int WaitAndPrintICMPs(int socket, int timeoutSeconds, bool oneWait, bool datagram,
                                 uint16_t identifier, bool *gotReply, Reply *reply);

    // Building and reading the messages.
    static uint16_t in_cksum(const void *bytes, int length);
    static QByteArray makeEchoRequest(uint16_t identifier, uint16_t sequence, const timeval &sent);
    // `icmp` is the ICMP part of a received datagram.
    static bool isMatchingReply(const QByteArray &icmp, uint16_t identifier);
    static uint16_t identifierForProcess(); // the low 16 bits of the process id
};

} // namespace qm
