#include "SimLoopFile.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "SimBytes.h"

namespace vzsim {
namespace {

constexpr char kMagic[8] = {'V', 'Z', 'S', 'I', 'M', 'L', 'P', '1'};
constexpr size_t kHead = sizeof kMagic + 8 * 4 + 4;  // magic, format with channel and scene, frame count
constexpr size_t kFrameHead = 5;                     // size, key flag
constexpr uint64_t kMaxFile = 256ull << 20;

void Append32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AppendFormat(std::vector<uint8_t>& b, const SimVideoFormat& f) {
  for (int v : {f.codec, f.width, f.height, f.fps, f.keyInterval, f.bitRate, f.channel, f.busy ? 1 : 0}) {
    Append32(b, static_cast<uint32_t>(v));
  }
}

}  // namespace

std::string SimLoopFile::Folder() {
  const char* env = std::getenv("VZ_DEVSIM_LOOPS");
  if (env != nullptr && env[0] != '\0') return std::strcmp(env, "off") == 0 ? std::string() : std::string(env);
  std::error_code ec;
  const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
  if (ec) return {};
  return (tmp / ("vzDevSim-loops-" + std::to_string(::getuid()))).string();
}

std::string SimLoopFile::PathFor(const std::string& folder, const SimVideoFormat& f) {
  // "f4": the channel and the scene are part of the picture and of the
  // file's head (and loops of two-field widths hold stacked fields); files
  // of older layouts keep their old names and are never read.
  char channel[24] = "";
  if (f.channel >= 0) std::snprintf(channel, sizeof channel, "_ch%d", f.channel);
  char name[160];
  std::snprintf(name, sizeof name, "f4_c%d_%dx%d_%dfps_k%d_%db%s%s.loop", f.codec, f.width, f.height, f.fps,
                f.keyInterval, f.bitRate, channel, f.busy ? "_busy" : "");
  return (std::filesystem::path(folder) / name).string();
}

std::shared_ptr<const SimLoop> SimLoopFile::Load(const std::string& path, const SimVideoFormat& format) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size < kHead || size > kMaxFile) return nullptr;
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> b(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()))) return nullptr;
  return Parse(b.data(), b.size(), format);
}

std::shared_ptr<const SimLoop> SimLoopFile::Parse(const uint8_t* data, size_t size, const SimVideoFormat& format) {
  if (data == nullptr || size < kHead || size > kMaxFile) return nullptr;
  std::vector<uint8_t> want(kMagic, kMagic + sizeof kMagic);
  AppendFormat(want, format);
  if (!std::equal(want.begin(), want.end(), data)) return nullptr;
  const uint32_t count = GetU32(data, size, kHead - 4);
  if (count == 0 || count > static_cast<uint32_t>(SimEncoder::kMaxLoopFrames)) return nullptr;
  auto loop = std::make_shared<SimLoop>();
  loop->format = format;
  size_t at = kHead;
  for (uint32_t i = 0; i < count; ++i) {
    if (size - at < kFrameHead) return nullptr;
    const uint32_t n = GetU32(data, size, at);
    const bool key = data[at + 4] != 0;
    at += kFrameHead;
    if (n == 0 || n > SimEncoder::kMaxFrameBytes || size - at < n) return nullptr;
    SimEncodedFrame frame;
    frame.bytes.assign(data + at, data + at + n);
    frame.key = key;
    loop->bytes += n;
    loop->frames.push_back(std::move(frame));
    at += n;
  }
  if (at != size || !loop->frames.front().key) return nullptr;
  return loop;
}

std::vector<uint8_t> SimLoopFile::Serialize(const SimLoop& loop) {
  std::vector<uint8_t> b(kMagic, kMagic + sizeof kMagic);
  AppendFormat(b, loop.format);
  Append32(b, static_cast<uint32_t>(loop.frames.size()));
  for (const SimEncodedFrame& f : loop.frames) {
    Append32(b, static_cast<uint32_t>(f.bytes.size()));
    b.push_back(f.key ? 1 : 0);
    b.insert(b.end(), f.bytes.begin(), f.bytes.end());
  }
  return b;
}

bool SimLoopFile::Save(const std::string& path, const SimLoop& loop) {
  const std::vector<uint8_t> b = Serialize(loop);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  // A name of its own per process and thread, so writers never share a temporary file.
  const std::string tmp = path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(::gettid());
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()))) {
      out.close();
      std::filesystem::remove(tmp, ec);
      return false;
    }
  }
  std::filesystem::rename(tmp, path, ec);
  if (ec) std::filesystem::remove(tmp, ec);
  return !ec;
}

}  // namespace vzsim
