#pragma once
// TConvertPool: one helper thread, shared by every renderer of the process,
// that takes the second half of a large picture's colour conversion while
// the decoding thread converts the first. The decoding thread never waits
// for a queue: if the helper has not started its half by the time the
// decoding thread is done with its own, the decoding thread runs it too.
// So a busy helper (many players converting at once) costs nothing but the
// hand-over, and an idle one halves the conversion on a spare processor.
//
// Threads: Run may be called from any number of threads at once. The
// helper ("vzSDK convert") starts with the first Run and lives as long as
// the process.
#include <functional>

namespace vz {

class TConvertPool {
 public:
  // Runs `mine` on this thread and `other` on the helper or, failing that,
  // on this thread afterwards; returns when both have run. Both must be
  // safe to run at the same time.
  static void Run(const std::function<void()>& mine, const std::function<void()>& other);
};

}  // namespace vz
