#pragma once
// The test's own reading of a stream connection: logs in with the stream
// flag, asks for the stream and cuts what arrives into units the way a
// player must (an unknown marker or an over-long length: only the head is
// taken). Offsets are written out here on purpose, apart from the
// simulator's and the SDK's tables.
#include <cstdint>
#include <string>
#include <vector>

#include "SimTestClient.h"

namespace devsimtest {

struct StreamUnit {
  uint32_t marker = 0;
  uint32_t length = 0;
  bool bodyRead = false;      // false for a skipped head
  std::vector<uint8_t> body;  // what follows the 8-byte head

  bool IsFrame() const { return bodyRead && (marker == 0xBBBBBBBBu || marker == 0xCCCCCCCCu) && body.size() >= 16; }
  uint64_t Stamp() const;
  int Channel() const { return body[8]; }
  bool Key() const { return body[9] == 1; }
  uint32_t StreamType() const;
  const uint8_t* Payload() const { return body.data() + 16; }
  size_t PayloadSize() const { return body.size() - 16; }
  uint32_t U32(size_t bodyOffset) const;  // 0 beyond the body
};

class SimStreamReader {
 public:
  static constexpr uint32_t kMaxUnit = 524288;
  static bool Accepted(uint32_t marker);

  // Connects, logs in on a stream connection and sends start-stream.
  bool Open(uint16_t port, uint32_t mainMask, uint32_t audioMask, uint32_t subMask, const std::string& user = "admin");
  bool StartStream(uint32_t mainMask, uint32_t audioMask, uint32_t subMask);
  // The next unit; false when the connection closed or nothing came in `idleMs`.
  bool Next(StreamUnit& unit, int idleMs = 10000);
  // Units until `ms` have passed (or the connection ends).
  std::vector<StreamUnit> Collect(int ms);
  SimTestClient& Client() { return client_; }
  bool Closed() const { return closed_; }
  const std::string& Error() const { return error_; }  // the step Open failed at

 private:
  std::string error_;
  SimTestClient client_;
  bool closed_ = false;
};

}  // namespace devsimtest
