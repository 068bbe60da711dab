// Feeds arbitrary bytes as everything a device answers on one command
// connection: a login, record gets and sets, the time, an alarm clear and the
// whole-configuration exchange. The connection must answer with false or
// true, never read or write out of bounds, and never wait once the bytes end.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "class_AxConn.h"

namespace {

// What one socket pair can hold without the writer blocking.
constexpr size_t kMaxInput = 96 * 1024;

void Exercise(TAxConn& conn) {
  conn.UserName = "admin";
  conn.Password = "admin";
  if (!conn.Login()) return;
  vz::TNetCfg net{};
  conn.GetNetCfg(&net, false);
  vz::TVideoCfg video{};
  conn.GetVideoCfg(&video, 1, false);
  conn.SetVideoCfg(&video, 2);
  vz::TRecCfg rec{};
  conn.GetRecCfg(&rec, false);
  conn.SetNetCfg(&net);
  conn.GetDevTime();
  conn.ClearAlarm(0);
  vz::TSiteSurveyEntry survey[vz::pkt::kSiteSurveyEntries];
  conn.SiteSurvey(survey);
  vz::TRfCfg rf{};
  conn.GetRfCfg(&rf);
  vz::TP2PCfg p2p{};
  conn.SetP2PCfg(&p2p);
  auto all = std::make_unique<vz::TDevCfg>();
  conn.GetAllCfg(all.get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) size = kMaxInput;
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
  const int big = 1 << 20;
  ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
  ::setsockopt(fds[0], SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
  ::setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
  size_t written = 0;
  while (data != nullptr && written < size) {
    const ssize_t n = ::send(fds[1], data + written, size - written, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n <= 0) break;  // whatever does not fit is simply not part of the answer
    written += static_cast<size_t>(n);
  }
  ::shutdown(fds[1], SHUT_WR);  // the device says nothing more
  {
    TAxConn conn;
    if (conn.Attach(fds[0])) Exercise(conn);
  }
  ::close(fds[1]);
  return 0;
}
