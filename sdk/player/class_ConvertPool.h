#pragma once
// TConvertPool: one helper thread, shared by every renderer of the process,
// that takes colour conversion work off the decoding threads. Two uses:
// - Run: the second half of a large picture's conversion while the decoding
//   thread converts the first.
// - Start: a whole conversion while the decoding thread goes on with the
//   next frame; the job's Finish collects it.
// The decoding thread never waits for a queue: if the helper has not started
// a piece of work by the time the decoding thread needs it done, the
// decoding thread runs it itself. So a busy helper (many players converting
// at once) costs nothing but the hand-over, and an idle one lends a spare
// processor.
//
// Threads: Run and Start may be called from any number of threads at once;
// a TConvertJob belongs to the thread that started it. The helper ("vzSDK
// convert") starts with the first use and lives as long as the process. It
// runs as a batch thread (SCHED_BATCH): waking, it never takes a decoding
// thread's processor, it waits for a free one.
#include <functional>
#include <memory>

namespace vz {

struct TConvertTask;

// Work handed to the helper by TConvertPool::Start. Finish (or the
// destructor) returns only when the work has run, here or on the helper, so
// whatever the work touches must outlive the job or its Finish.
class TConvertJob {
 public:
  TConvertJob() = default;
  ~TConvertJob();
  TConvertJob(TConvertJob&& other) noexcept = default;
  TConvertJob& operator=(TConvertJob&& other) noexcept;
  TConvertJob(const TConvertJob&) = delete;
  TConvertJob& operator=(const TConvertJob&) = delete;

  // Work started and not yet finished.
  bool Active() const { return task_ != nullptr; }
  void Finish();

 private:
  friend class TConvertPool;
  std::shared_ptr<TConvertTask> task_;
};

class TConvertPool {
 public:
  // Runs `mine` on this thread and `other` on the helper or, failing that,
  // on this thread afterwards; returns when both have run. Both must be
  // safe to run at the same time.
  static void Run(const std::function<void()>& mine, const std::function<void()>& other);
  // Offers `work` to the helper and returns at once.
  static TConvertJob Start(std::function<void()> work);
};

}  // namespace vz
