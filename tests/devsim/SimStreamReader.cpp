#include "SimStreamReader.h"

#include <chrono>
#include <cerrno>
#include <cstring>

namespace devsimtest {
namespace {

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

uint64_t StreamUnit::Stamp() const { return static_cast<uint64_t>(U32(0)) | static_cast<uint64_t>(U32(4)) << 32; }

uint32_t StreamUnit::StreamType() const { return U32(12); }

uint32_t StreamUnit::U32(size_t off) const { return off + 4 <= body.size() ? Le32(body.data() + off) : 0; }

bool SimStreamReader::Accepted(uint32_t m) {
  return m == 0xAAAAAAAAu || m == 0xBBBBBBBBu || m == 0xCCCCCCCCu || m == 0x77777777u || m == 0x88888888u ||
         m == 0x99999999u || m == 0xEEEEEEEEu || m == 0xFFFFFFFFu || m == 0xDDDDDDDDu;
}

bool SimStreamReader::Open(uint16_t port, uint32_t mainMask, uint32_t audioMask, uint32_t subMask,
                           const std::string& user) {
  closed_ = false;
  if (!client_.Connect(port)) {
    error_ = "connect: " + std::string(std::strerror(errno));
    return false;
  }
  if (!client_.Login(user, user, 1)) {
    error_ = "login: " + std::string(std::strerror(errno));
    return false;
  }
  if (!StartStream(mainMask, audioMask, subMask)) {
    error_ = "start-stream: " + std::string(std::strerror(errno));
    return false;
  }
  return true;
}

bool SimStreamReader::StartStream(uint32_t mainMask, uint32_t audioMask, uint32_t subMask) {
  uint8_t pkt[1460] = {};
  PutLe32(pkt + 0, 0xAAAAAAAAu);
  PutLe32(pkt + 4, 1452);
  PutLe32(pkt + 12, 2);  // the second marker stays 0 on this one request
  PutLe32(pkt + 16, client_.LoginId());
  PutLe32(pkt + 24, mainMask);
  PutLe32(pkt + 28, audioMask);
  PutLe32(pkt + 36, subMask);
  return client_.SendRaw(pkt, sizeof pkt);
}

bool SimStreamReader::Next(StreamUnit& unit, int idleMs) {
  if (closed_ || !client_.WaitReadable(idleMs)) return false;
  std::vector<uint8_t> head;
  if (!client_.RecvBytes(head, 8)) {
    closed_ = true;
    return false;
  }
  unit = StreamUnit{};
  unit.marker = Le32(head.data());
  unit.length = Le32(head.data() + 4);
  if (!Accepted(unit.marker) || unit.length > kMaxUnit) return true;
  unit.bodyRead = true;
  if (unit.length == 0) return true;
  if (!client_.RecvBytes(unit.body, unit.length)) {
    closed_ = true;
    unit.bodyRead = false;
    return false;
  }
  return true;
}

std::vector<StreamUnit> SimStreamReader::Collect(int ms) {
  std::vector<StreamUnit> units;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    StreamUnit u;
    if (!Next(u, static_cast<int>(left.count()))) {
      if (closed_) break;
      continue;
    }
    units.push_back(std::move(u));
  }
  return units;
}

}  // namespace devsimtest
