#include "ThreadPriority.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vz {

int NiceOf(TThreadPriority priority) {
  switch (priority) {
    case TThreadPriority::Idle: return 19;
    case TThreadPriority::Lowest: return 10;
    case TThreadPriority::Lower: return 5;
    case TThreadPriority::Normal: return 0;
    case TThreadPriority::Higher: return -5;
    case TThreadPriority::Highest: return -10;
    case TThreadPriority::TimeCritical: return -15;
  }
  return 0;
}

bool ApplyThreadPriority(TThreadPriority priority) {
  // PRIO_PROCESS with a thread id changes that one thread on Linux.
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  return ::setpriority(PRIO_PROCESS, tid, NiceOf(priority)) == 0;
}

void NameThisThread(const std::string& name) {
  ::pthread_setname_np(::pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace vz
