#include "SimEncodeCache.h"

#include <ctime>
#include <exception>

namespace vzsim {
namespace {

int LocalSecondsOfDay() {
  const time_t now = std::time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

}  // namespace

SimEncodeCache& SimEncodeCache::Instance() {
  static SimEncodeCache cache;
  return cache;
}

std::shared_ptr<const SimLoop> SimEncodeCache::Get(const SimVideoFormat& wanted, std::string* error) {
  SimVideoFormat format = wanted;
  if (!SimEncoder::Normalize(&format)) {
    if (error) *error = "no video format: " + format.Describe();
    return nullptr;
  }
  std::shared_ptr<Entry> entry;
  std::promise<std::shared_ptr<const SimLoop>> promise;
  bool encodeHere = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<Entry>& slot = loops_[format];
    if (!slot) {
      slot = std::make_shared<Entry>();
      slot->loop = promise.get_future().share();
      encodeHere = true;
    }
    entry = slot;
  }
  if (encodeHere) {
    std::string why;
    std::shared_ptr<const SimLoop> loop;
    try {
      loop = SimEncoder::Encode(format, LocalSecondsOfDay(), &why);
    } catch (const std::exception& e) {
      why = std::string("encoding failed: ") + e.what();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      entry->error = why;
      if (loop) {
        ++encoded_;
        bytes_ += loop->bytes;
      }
    }
    promise.set_value(loop);
  }
  std::shared_ptr<const SimLoop> loop = entry->loop.get();
  if (!loop && error) {
    std::lock_guard<std::mutex> lock(mutex_);
    *error = entry->error;
  }
  return loop;
}

int SimEncodeCache::Encoded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return encoded_;
}

size_t SimEncodeCache::Bytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

}  // namespace vzsim
