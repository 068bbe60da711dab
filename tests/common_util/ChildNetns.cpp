#include "ChildNetns.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace utiltest {
namespace {

bool LoopbackUp() {
  const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  ifreq req{};
  std::strncpy(req.ifr_name, "lo", IFNAMSIZ - 1);
  bool ok = ::ioctl(s, SIOCGIFFLAGS, &req) == 0;
  req.ifr_flags = static_cast<short>(req.ifr_flags | IFF_UP);
  ok = ok && ::ioctl(s, SIOCSIFFLAGS, &req) == 0;
  ::close(s);
  return ok;
}

constexpr size_t kMaxOutput = 64 * 1024;

}  // namespace

bool WriteProc(const char* path, const char* value) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::write(fd, value, std::strlen(value)) == static_cast<ssize_t>(std::strlen(value));
  ::close(fd);
  return ok;
}

ChildResult RunInChildNetns(const std::function<std::string(bool own_namespace)>& body) {
  ChildResult result;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return result;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return result;
  }
  if (child == 0) {
    ::close(fds[0]);
    const bool own = ::unshare(CLONE_NEWNET) == 0 && LoopbackUp();
    std::string out(1, own ? '1' : '0');
    out += body(own);
    if (out.size() > kMaxOutput) out.resize(kMaxOutput);
    size_t sent = 0;
    while (sent < out.size()) {
      const ssize_t n = ::write(fds[1], out.data() + sent, out.size() - sent);
      if (n <= 0) ::_exit(1);
      sent += static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string got;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    got.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got.empty()) return result;
  result.ran = true;
  result.own_namespace = got[0] == '1';
  result.output = got.substr(1);
  return result;
}

}  // namespace utiltest
