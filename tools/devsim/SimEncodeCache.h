#pragma once
// The process-wide store of encoded loops: each (codec, size, rate, key
// interval, bit rate, channel mark) is encoded once, however many devices
// and connections stream it (a DVR's channels each have a picture of their
// own, so each is one loop; single-channel cameras all share theirs); later callers of the same format wait for the one
// encoding in progress instead of starting their own. Loops are also kept on
// disk (SimLoopFile), so a later process finds them made.
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "SimEncoder.h"

namespace vzsim {

class SimEncodeCache {
 public:
  static SimEncodeCache& Instance();

  using Pending = std::shared_future<std::shared_ptr<const SimLoop>>;

  // The loop of `format` (normalized first); null when it cannot be encoded
  // (the failure is remembered too, so it is not retried on every request).
  std::shared_ptr<const SimLoop> Get(const SimVideoFormat& format, std::string* error = nullptr);
  // The same without waiting: the encoding runs on a thread of its own, so a
  // caller that is told to stop meanwhile can walk away from it.
  Pending Request(const SimVideoFormat& format);
  // Why the loop of `format` could not be made (empty while it is being made or when it was).
  std::string Error(const SimVideoFormat& format) const;

  // How many loops were encoded so far, and their bytes; for benchmarks.
  int Encoded() const;
  size_t Bytes() const;

 private:
  struct Entry {
    Pending loop;
    std::string error;  // guarded by mutex_; set once the future is ready
  };
  std::shared_ptr<const SimLoop> Make(const SimVideoFormat& format);

  mutable std::mutex mutex_;
  std::map<SimVideoFormat, std::shared_ptr<Entry>> loops_;  // guarded by mutex_
  int encoded_ = 0;                                        // guarded by mutex_
  size_t bytes_ = 0;                                       // guarded by mutex_
};

}  // namespace vzsim
