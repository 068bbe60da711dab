#pragma once
// ICMP echo ("ping") of one IPv4 host.
//
// An unprivileged ICMP datagram socket is tried first; it is allowed only
// for groups inside net.ipv4.ping_group_range, which Debian leaves closed.
// A raw socket (root or cap_net_raw) is the fallback. The echo carries no
// payload and the reply is read into a 128-byte buffer.
#include <string>

namespace vz {

enum class TPingResult {
  Reply,         // an echo reply from the host arrived in time
  NoReply,       // sent, nothing came back within the time-out
  NoPermission,  // neither kind of ICMP socket may be opened here
  BadHost,       // the host does not resolve to an IPv4 address
  SendFailed     // the echo could not be sent (no route, ...)
};

// One echo to host with timeout_ms to wait for the reply.
TPingResult PingHost(const std::string& host, int timeout_ms);
// True when a reply arrived.
bool Ping(const std::string& host, int timeout_ms);

}  // namespace vz
