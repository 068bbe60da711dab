#include "SimState.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "SimBytes.h"

namespace vzsim {
namespace {

constexpr char kMagic[8] = {'V', 'Z', 'S', 'I', 'M', 'D', 'E', 'V'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeader = sizeof(kMagic) + 4;
constexpr size_t kBody = layout::kDevCfgSize + layout::kRfCfgSize +
                         SimState::kMaxChannels * (layout::kVideoCfgSize + layout::kAudioCfgSize);
// A state file is never larger; anything bigger is not read at all.
constexpr size_t kFileSize = kHeader + kBody;

}  // namespace

int SimState::Channels() const {
  const uint32_t raw = GetU32(cfg.data(), cfg.size(), layout::kInfoAt + layout::kInfoChannels);
  const int32_t n = static_cast<int32_t>(raw);
  if (n < 1) return 1;
  return n > kMaxChannels ? kMaxChannels : n;
}

void SimState::MirrorChannelZero() {
  std::memcpy(cfg.data() + layout::kVideoAt, video[0].data(), layout::kVideoCfgSize);
  std::memcpy(cfg.data() + layout::kAudioAt, audio[0].data(), layout::kAudioCfgSize);
}

void SimState::AdoptChannelZero() {
  std::memcpy(video[0].data(), cfg.data() + layout::kVideoAt, layout::kVideoCfgSize);
  std::memcpy(audio[0].data(), cfg.data() + layout::kAudioAt, layout::kAudioCfgSize);
}

std::vector<uint8_t> SimState::Serialize() const {
  std::vector<uint8_t> out(kFileSize, 0);
  std::memcpy(out.data(), kMagic, sizeof(kMagic));
  PutU32(out.data(), out.size(), sizeof(kMagic), kVersion);
  uint8_t* p = out.data() + kHeader;
  std::memcpy(p, cfg.data(), cfg.size());
  p += cfg.size();
  std::memcpy(p, rf.data(), rf.size());
  p += rf.size();
  for (const auto& v : video) {
    std::memcpy(p, v.data(), v.size());
    p += v.size();
  }
  for (const auto& a : audio) {
    std::memcpy(p, a.data(), a.size());
    p += a.size();
  }
  return out;
}

bool SimState::Parse(const uint8_t* data, size_t size) {
  if (data == nullptr || size != kFileSize) return false;
  if (std::memcmp(data, kMagic, sizeof(kMagic)) != 0) return false;
  if (GetU32(data, size, sizeof(kMagic)) != kVersion) return false;
  const uint8_t* p = data + kHeader;
  std::memcpy(cfg.data(), p, cfg.size());
  p += cfg.size();
  std::memcpy(rf.data(), p, rf.size());
  p += rf.size();
  for (auto& v : video) {
    std::memcpy(v.data(), p, v.size());
    p += v.size();
  }
  for (auto& a : audio) {
    std::memcpy(a.data(), p, a.size());
    p += a.size();
  }
  return true;
}

bool SimState::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<uint8_t> bytes(kFileSize + 1);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const size_t got = static_cast<size_t>(in.gcount());
  SimState parsed;
  if (!parsed.Parse(bytes.data(), got)) return false;
  *this = parsed;
  return true;
}

bool SimState::Save(const std::string& path) const {
  const std::string tmp = path + ".tmp";
  const std::vector<uint8_t> bytes = Serialize();
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

}  // namespace vzsim
