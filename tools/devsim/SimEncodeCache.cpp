#include "SimEncodeCache.h"

#include <ctime>
#include <exception>

#include "SimLoopFile.h"

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

SimEncodeCache::Pending SimEncodeCache::Request(const SimVideoFormat& wanted) {
  SimVideoFormat format = wanted;
  if (!SimEncoder::Normalize(&format)) {
    std::promise<std::shared_ptr<const SimLoop>> none;
    none.set_value(nullptr);
    return none.get_future().share();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<Entry>& slot = loops_[format];
  if (!slot) {
    slot = std::make_shared<Entry>();
    // The task must not own its entry: the entry owns the task's future.
    slot->loop = std::async(std::launch::async, [this, format] { return Make(format); }).share();
  }
  return slot->loop;
}

std::shared_ptr<const SimLoop> SimEncodeCache::Make(const SimVideoFormat& format) {
  std::string why;
  std::shared_ptr<const SimLoop> loop;
  try {
    const std::string folder = SimLoopFile::Folder();
    const std::string path = folder.empty() ? std::string() : SimLoopFile::PathFor(folder, format);
    if (!path.empty()) loop = SimLoopFile::Load(path, format);
    if (!loop) {
      loop = SimEncoder::Encode(format, LocalSecondsOfDay(), &why);
      if (loop && !path.empty()) SimLoopFile::Save(path, *loop);
    }
  } catch (const std::exception& e) {
    why = std::string("encoding failed: ") + e.what();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = loops_.find(format);
  if (it != loops_.end()) it->second->error = why;
  if (loop) {
    ++encoded_;
    bytes_ += loop->bytes;
  }
  return loop;
}

std::shared_ptr<const SimLoop> SimEncodeCache::Get(const SimVideoFormat& format, std::string* error) {
  std::shared_ptr<const SimLoop> loop = Request(format).get();
  if (!loop && error) *error = Error(format);
  return loop;
}

std::string SimEncodeCache::Error(const SimVideoFormat& wanted) const {
  SimVideoFormat format = wanted;
  if (!SimEncoder::Normalize(&format)) return "no video format: " + format.Describe();
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = loops_.find(format);
  return it == loops_.end() ? std::string() : it->second->error;
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
