#pragma once
// The process-wide store of encoded loops: each (codec, size, rate, key
// interval, bit rate) is encoded once, however many devices, channels and
// connections stream it; later callers of the same format wait for the one
// encoding in progress instead of starting their own.
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

  // The loop of `format` (normalized first); null when it cannot be encoded
  // (the failure is remembered too, so it is not retried on every request).
  std::shared_ptr<const SimLoop> Get(const SimVideoFormat& format, std::string* error = nullptr);

  // How many loops were encoded so far, and their bytes; for benchmarks.
  int Encoded() const;
  size_t Bytes() const;

 private:
  struct Entry {
    std::shared_future<std::shared_ptr<const SimLoop>> loop;
    std::string error;  // guarded by mutex_; set once the future is ready
  };

  mutable std::mutex mutex_;
  std::map<SimVideoFormat, std::shared_ptr<Entry>> loops_;  // guarded by mutex_
  int encoded_ = 0;                                        // guarded by mutex_
  size_t bytes_ = 0;                                       // guarded by mutex_
};

}  // namespace vzsim
