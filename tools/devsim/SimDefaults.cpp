#include "SimDefaults.h"

#include <cstdio>
#include <string>

#include "SimBytes.h"

namespace vzsim {
namespace {

using namespace layout;

// Resolution codes (bit numbers in the supported-resolution masks).
constexpr int kRes704x576 = 3, kRes352x288 = 5, kRes176x144 = 6, kRes320x240 = 14;
constexpr int kRes640x480 = 15, kRes1280x720 = 18, kRes1920x1080 = 25;
constexpr uint32_t kCodecH264 = 2;

template <size_t N>
struct Block {
  uint8_t* p;
  void U32(size_t off, uint32_t v) { PutU32(p, N, off, v); }
  void U8(size_t off, uint8_t v) { PutU8(p, N, off, v); }
  void U64(size_t off, uint64_t v) { PutU64(p, N, off, v); }
  void Text(size_t off, size_t field, const std::string& s) { PutText(p, N, off, field, s); }
};

std::string Numbered(const char* prefix, int value) { return prefix + std::to_string(value); }

std::string MacText(int device) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "02:56:5A:00:%02X:%02X", (device >> 8) & 0xFF, device & 0xFF);
  return buf;
}

void FillNet(Block<kDevCfgSize> b, int device, uint16_t port) {
  const size_t o = kNetAt;
  b.U32(o + 0, port);
  b.U32(o + 4, 554);
  b.U32(o + 8, 80);
  b.U32(o + 12, 0);
  b.Text(o + 16, 20, "127.0.0.1");
  b.Text(o + 36, 20, MacText(device));
  b.Text(o + 56, 20, "255.0.0.0");
  b.Text(o + 76, 20, "127.0.0.1");
  b.Text(o + 96, 20, "127.0.0.1");
}

void FillInfo(Block<kDevCfgSize> b, SimModel model, int device, int channels) {
  const size_t o = kInfoAt;
  const bool ipc = model == SimModel::Ipc;
  b.Text(o + 0, 12, ipc ? "IPC-C100" : "DVR-D404");
  b.U32(o + 12, 0x5A100000u + static_cast<uint32_t>(device));
  b.U32(o + 16, ipc ? 1 : 2);
  b.Text(o + 20, 20, "V2.118");
  b.Text(o + 40, 20, "V2.118.0001");
  b.Text(o + 60, 20, Numbered("vzDevSim-", device));
  b.U8(o + 123, ipc ? 3 : 0);
  b.U32(o + 124, (1u << 0) | (1u << 1) | (1u << 2));
  const uint64_t main = ipc ? (1ull << kRes1280x720) | (1ull << kRes1920x1080) | (1ull << kRes640x480)
                            : (1ull << kRes704x576) | (1ull << kRes352x288);
  b.U64(o + 128, main);
  b.U64(o + 144, (1ull << kRes352x288) | (1ull << kRes320x240) | (1ull << kRes176x144));
  b.U32(o + 160, static_cast<uint32_t>(channels));
  b.U8(o + 164, static_cast<uint8_t>(channels));
  b.U8(o + 166, 1);
  b.U8(o + 171, 1);
}

void FillUsers(Block<kDevCfgSize> b) {
  struct Account {
    const char* name;
    uint32_t group;
  };
  const Account accounts[] = {{"admin", 3}, {"operator", 2}, {"guest", 1}};
  b.U32(kUserAt + kUserCount, 3);
  size_t e = kUserAt + kUserEntries;
  for (const Account& a : accounts) {
    b.U32(e + 0, a.group);
    b.U32(e + 4, a.group);
    b.Text(e + kUserName, kUserTextField, a.name);
    b.Text(e + kUserPassword, kUserTextField, a.name);
    e += kUserEntrySize;
  }
}

void FillAlarm(Block<kDevCfgSize> b) {
  b.U32(kAlmAt + 0, 5);
  const uint8_t kinds[] = {1, 2, 3};  // motion, digital input, sound
  for (size_t k = 0; k < 3; ++k) {
    b.U8(kAlmAt + 12 + 8 * k, kinds[k]);
    b.U8(kAlmAt + 140 + 8 * k + 0, 11);  // every day
    b.U8(kAlmAt + 140 + 8 * k + 6, 23);
    b.U8(kAlmAt + 140 + 8 * k + 7, 59);
  }
}

void FillRs485(Block<kDevCfgSize> b) {
  const size_t o = kRs485At;
  b.U32(o + 4, 2400);
  b.U32(o + 8, 8);
  for (size_t c = 0; c < 32; ++c) {
    b.U8(o + 20 + 4 * c + 0, 1);
    b.U8(o + 20 + 4 * c + 2, 32);
  }
  b.U32(o + 148, 2);
  b.Text(o + 152, 20, "PTZ-A");
  b.Text(o + 172, 20, "PTZ-B");
}

void FillOthers(Block<kDevCfgSize> b, SimModel model, int device) {
  // Motion detection: off, middle sensitivity, every day, the whole day.
  b.U8(kMdAt + 10, 255 - 128);
  b.U32(kMdAt + 68, 11);
  b.U8(kMdAt + 74, 23);
  b.U8(kMdAt + 75, 59);
  b.U32(kMdAt + 92, model == SimModel::Ipc ? kRes1280x720 : kRes704x576);
  b.U32(kHideAt + 68, model == SimModel::Ipc ? kRes1280x720 : kRes704x576);
  if (model == SimModel::Dvr) {
    b.Text(kDiskAt + 24, 20, "HDD1");
    b.U32(kDiskAt + 48, 953869);
    b.U32(kDiskAt + 52, 512000);
    b.U32(kDiskAt + 56, 2048);
  }
  b.U8(kRecAt + 15, 1);
  b.U32(kRecAt + 16, 5);
  b.U32(kRecAt + 20, 30);
  b.U32(kRecAt + 24, 1800);
  b.U32(kFtpAt + 104, 21);
  b.Text(kP2PAt + 0, 40, Numbered("VZSIM-", device));
}

void FillVideo(Block<kVideoCfgSize> b, SimModel model, int channel) {
  const bool ipc = model == SimModel::Ipc;
  b.U32(0, static_cast<uint32_t>(channel));
  b.U32(12, 1);  // 50 Hz
  b.U32(16, ipc ? 1280 : 704);
  b.U32(20, ipc ? 720 : 576);
  b.U32(24, kCodecH264);
  for (size_t c = 28; c <= 31; ++c) b.U8(c, 128);
  b.U32(32, 25);
  b.U32(36, 120);
  b.U32(44, 2048 * 1024);
  b.Text(56, 40, Numbered("CH", channel + 1));
  // OSD items: title and time shown, rate item hidden.
  b.U8(96 + 0, 16);
  b.U8(96 + 2, 1);
  b.U32(96 + 4, 16 | (16u << 16));
  b.U8(104 + 0, 16);
  b.U8(104 + 2, 1);
  b.U32(104 + 4, 16 | (48u << 16));
  b.U8(116, 128);
  b.U8(128, kCodecH264);
  b.U8(129, kRes352x288);
  b.U8(130, 15);
  b.U32(132, 256 * 1024);
}

void FillAudio(Block<kAudioCfgSize> b, int channel) {
  b.U32(0, static_cast<uint32_t>(channel));
  b.U32(4, 1);
  b.U32(8, 1);  // PCM, as a wave format tag
  b.U32(12, 1);
  b.U32(16, 8000);
  b.U32(20, 16000);
  b.U32(24, 2);
  b.U32(28, 16);
  b.U8(42, 128);
  b.U8(43, 128);
  b.U8(45, 128);
}

void FillRf(Block<kRfCfgSize> b) {
  b.U32(0, 83);  // disarmed
  for (size_t k = 0; k < 16; ++k) {
    const size_t e = 4 + 40 * k;
    b.Text(e + 0, 20, Numbered("Sensor", static_cast<int>(k) + 1));
    b.U8(e + 20, 11);
    b.U8(e + 26, 23);
    b.U8(e + 27, 59);
  }
}

}  // namespace

SimState SimDefaults::Build(SimModel model, int device, uint16_t port) {
  SimState s;
  const int channels = model == SimModel::Ipc ? 1 : 4;
  Block<kDevCfgSize> whole{s.cfg.data()};
  FillNet(whole, device, port);
  FillInfo(whole, model, device, channels);
  FillUsers(whole);
  FillAlarm(whole);
  FillRs485(whole);
  FillOthers(whole, model, device);
  for (int c = 0; c < SimState::kMaxChannels; ++c) {
    FillVideo(Block<kVideoCfgSize>{s.video[static_cast<size_t>(c)].data()}, model, c);
    FillAudio(Block<kAudioCfgSize>{s.audio[static_cast<size_t>(c)].data()}, c);
  }
  FillRf(Block<kRfCfgSize>{s.rf.data()});
  s.MirrorChannelZero();
  return s;
}

}  // namespace vzsim
