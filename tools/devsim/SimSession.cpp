#include "SimSession.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "FileUtils.h"
#include "SimBytes.h"

namespace vzsim {
namespace {

using namespace layout;

constexpr uint32_t kWrongCodeShift = 1000;
constexpr uint32_t kForeignMarker = kMarkOther88;

uint32_t U32(const uint8_t* p, size_t off) { return GetU32(p, kPktSize, off); }
void Put(uint8_t* p, size_t off, uint32_t v) { PutU32(p, kPktSize, off, v); }

const RecordRoute* RouteOf(uint32_t cmd, bool* isSet) {
  for (const RecordRoute& r : kRoutes) {
    if (r.get != 0 && r.get == cmd) {
      *isSet = false;
      return &r;
    }
    if (r.set == cmd) {
      *isSet = true;
      return &r;
    }
  }
  return nullptr;
}

uint8_t* RecordIn(SimState& s, const RecordRoute& r, int channel) {
  switch (r.scope) {
    case Scope::PerChannelVideo: return s.video[static_cast<size_t>(channel)].data();
    case Scope::PerChannelAudio: return s.audio[static_cast<size_t>(channel)].data();
    case Scope::Whole: break;
  }
  return s.cfg.data() + r.at;
}

}  // namespace

SimSession::SimSession(SimDevice& device, SimLink& link, uint64_t connection)
    : device_(device), link_(link), connection_(connection) {}

SimSession::~SimSession() {
  streamer_.reset();
  if (uploading_) device_.UploadEnded(std::move(upload_), UploadState::Aborted);
}

void SimSession::Run() {
  device_.Log("connection %llu opened", static_cast<unsigned long long>(connection_));
  while (Step()) {
  }
  device_.Log("connection %llu closed", static_cast<unsigned long long>(connection_));
}

bool SimSession::Step() {
  uint8_t head[kHeadSize];
  if (!link_.ReadExact(head, sizeof head, loginId_ == 0 ? kLoginWaitMs : 0)) return false;
  const uint32_t marker = GetU32(head, sizeof head, 0);
  const uint32_t length = GetU32(head, sizeof head, 4);
  if (marker == kMarkChunk) return HandleChunk(length);
  if (marker == kMarkTalk && loginId_ != 0) return HandleTalk(length);
  if (marker != kMarkPacket || length != kPktLength) {
    device_.Log("unit %08X of %u bytes is no command: closing", marker, length);
    return false;
  }
  Packet in{};
  std::memcpy(in.data(), head, sizeof head);
  if (!link_.ReadExact(in.data() + kHeadSize, kPktLength, SocketLink::kTransferTimeoutMs)) return false;
  return HandlePacket(in);
}

bool SimSession::HandleChunk(uint32_t length) {
  if (length > kMaxChunk) {
    device_.Log("firmware chunk of %u bytes is too long: closing", length);
    return false;
  }
  JournalEntry entry{kChunkEntry, loginId_, {}, connection_};
  entry.packet.resize(kHeadSize);
  PutU32(entry.packet.data(), kHeadSize, 0, kMarkChunk);
  PutU32(entry.packet.data(), kHeadSize, 4, length);
  device_.Record(std::move(entry));
  std::vector<uint8_t> body(length);
  if (length > 0 && !link_.ReadExact(body.data(), length, SocketLink::kTransferTimeoutMs)) return false;
  if (!uploading_) return true;  // a stray chunk is read and dropped
  const uint64_t room = uploadReceived_ < uploadSize_ ? uploadSize_ - uploadReceived_ : 0;
  const size_t keep = static_cast<size_t>(std::min<uint64_t>(room, length));
  upload_.insert(upload_.end(), body.begin(), body.begin() + static_cast<std::ptrdiff_t>(keep));
  uploadReceived_ += length;
  return true;
}

bool SimSession::HandleTalk(uint32_t length) {
  if (length > kMaxUnit) {
    device_.Log("talk packet of %u bytes is too long: closing", length);
    return false;
  }
  std::vector<uint8_t> body(length);
  if (length > 0 && !link_.ReadExact(body.data(), length, SocketLink::kTransferTimeoutMs)) return false;
  TalkPacket talk;
  talk.connection = connection_;
  std::string problem;
  if (length < kTalkLenExtra) {
    problem = "shorter than its address and port";
  } else {
    const uint8_t* address = body.data() + (kTalkAddress - kHeadSize);
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(address, 0, kTalkAddressField));
    talk.address.assign(reinterpret_cast<const char*>(address),
                        end ? static_cast<size_t>(end - address) : kTalkAddressField);
    talk.port = GetU32(body.data(), body.size(), kTalkPort - kHeadSize);
    const size_t n = length - kTalkLenExtra;
    const size_t keep = std::min<size_t>(n, kTalkMaxSamples);
    talk.samples.assign(body.begin() + (kTalkSamples - kHeadSize),
                        body.begin() + static_cast<std::ptrdiff_t>(kTalkSamples - kHeadSize + keep));
    uint32_t align = 2;
    device_.Read([&](const SimState& s) {
      const uint32_t channels = GetU32(s.audio[0].data(), kAudioCfgSize, kAudioChannels);
      const uint32_t bits = GetU32(s.audio[0].data(), kAudioCfgSize, kAudioBits);
      if ((channels == 1 || channels == 2) && (bits == 8 || bits == 16)) align = channels * bits / 8;
    });
    if (!stream_) {
      problem = "not on a stream connection";
    } else if (end == nullptr) {
      problem = "address field without a terminator";
    } else if (n > kTalkMaxSamples) {
      problem = std::to_string(n) + " sample bytes, more than " + std::to_string(kTalkMaxSamples);
    } else if (n % align != 0) {
      problem = std::to_string(n) + " bytes are no whole number of " + std::to_string(align) + "-byte samples";
    } else if (talk.port != device_.Port()) {
      problem = "port " + std::to_string(talk.port) + " is not the device's " + std::to_string(device_.Port());
    }
  }
  talk.problem = problem;
  if (!problem.empty()) device_.Log("talk packet refused: %s", problem.c_str());
  device_.AddTalk(std::move(talk));
  return true;
}

void SimSession::StartStream(const Packet& in) {
  SimStreamMasks masks;
  masks.main = U32(in.data(), kStreamMain);
  masks.audio = U32(in.data(), kStreamAudio);
  masks.sub = U32(in.data(), kStreamSub);
  device_.SetStreamMasks(masks.main, masks.audio, masks.sub);
  // A memory link (fuzzing) has no second writer: the request is only kept.
  if (!link_.CanStream()) return;
  if (!streamer_) streamer_ = std::make_unique<SimStreamer>(device_, link_, loginId_, connection_);
  streamer_->Start(masks);
}

bool SimSession::HandlePacket(Packet& in) {
  const uint32_t cmd = U32(in.data(), kCmd);
  const uint32_t id = U32(in.data(), kLoginId);
  device_.Record(JournalEntry{cmd, id, std::vector<uint8_t>(in.begin(), in.end()), connection_});
  device_.Log("connection %llu: command %u, login id %u", static_cast<unsigned long long>(connection_), cmd, id);
  if (cmd == kLogin) return Login(in);
  if (loginId_ == 0) {
    device_.Log("command %u before a login: closing", cmd);
    return false;
  }
  if (cmd != kStartStream && U32(in.data(), kMarker2) != kMarkPacket) {
    device_.Log("command %u without its second marker: ignored", cmd);
    return true;
  }
  return Command(in, device_.FaultFor(cmd));
}

bool SimSession::Login(const Packet& in) {
  const FaultSpec fault = device_.FaultFor(kLogin);
  const std::string user = GetText(in.data(), kPktSize, kLoginUser, kLoginTextField);
  const std::string password = GetText(in.data(), kPktSize, kLoginPassword, kLoginTextField);
  stream_ = U32(in.data(), kLoginStreamFlag) == 1;
  const int level = fault.kind == Fault::RefuseLogin ? 0 : device_.Authenticate(user, password);
  Packet reply{};
  Put(reply.data(), kCmd, kLogin);
  if (level == 0) {
    device_.Log("login of \"%s\" refused", user.c_str());
    loginId_ = 0;
    level_ = 0;
    Answer(reply, kLogin, fault);
    return false;
  }
  loginId_ = device_.NextLoginId();
  level_ = level;
  device_.Log("\"%s\" logged in at level %d (%s connection)", user.c_str(), level, stream_ ? "stream" : "command");
  Put(reply.data(), kResult, 1);
  Put(reply.data(), kLoginId, loginId_);
  Put(reply.data(), kReplyLevel, static_cast<uint32_t>(level));
  device_.Read([&](const SimState& s) {
    std::memcpy(reply.data() + kReplyDevInfo, s.cfg.data() + kInfoAt, kInfoSize);
    const int channels = s.Channels();
    for (int i = 0; i < kLoginExtracts && i < channels; ++i) {
      const size_t ch = static_cast<size_t>(i);
      std::memcpy(reply.data() + kReplyVideoExtract + kVideoExtractSize * ch,
                  s.video[ch].data() + kVideoExtractFrom, kVideoExtractSize);
      std::memcpy(reply.data() + kReplyAudioExtract + kAudioExtractSize * ch,
                  s.audio[ch].data() + kAudioExtractFrom, kAudioExtractSize);
    }
  });
  if (!Answer(reply, kLogin, fault)) return false;
  if (fault.kind == Fault::ResultZero || fault.kind == Fault::WrongCode) {
    loginId_ = 0;  // the peer was told no; it is not logged in
    return false;
  }
  return true;
}

bool SimSession::Answer(Packet& reply, uint32_t cmd, const FaultSpec& fault) {
  Put(reply.data(), kMarker1, kMarkPacket);
  Put(reply.data(), kLength, kPktLength);
  Put(reply.data(), kMarker2, kMarkPacket);
  if (U32(reply.data(), kCmd) == 0) Put(reply.data(), kCmd, cmd);
  if (cmd != kLogin || U32(reply.data(), kLoginId) == 0) Put(reply.data(), kLoginId, loginId_);
  if (fault.kind == Fault::WrongCode) Put(reply.data(), kCmd, cmd + kWrongCodeShift);
  if (fault.kind == Fault::ResultZero) Put(reply.data(), kResult, 0);
  if (fault.kind == Fault::Stall && !link_.Pause(fault.arg)) return false;
  if (fault.kind == Fault::CloseMidPacket) {
    link_.WriteAll(reply.data(), kPktSize / 2);
    return false;
  }
  return link_.WriteAll(reply.data(), kPktSize);
}

void SimSession::Refuse(Packet& reply) {
  std::fill(reply.begin() + kPayload, reply.end(), 0);
  Put(reply.data(), kResult, 0);
}

bool SimSession::Command(Packet& in, const FaultSpec& fault) {
  const uint32_t cmd = U32(in.data(), kCmd);
  const bool sameLogin = U32(in.data(), kLoginId) == loginId_;
  Packet reply{};
  Put(reply.data(), kCmd, cmd);
  if (!sameLogin) {
    // Not this connection's login: nothing is done; commands that answer say no.
    device_.Log("command %u carries login id %u, not %u", cmd, U32(in.data(), kLoginId), loginId_);
    bool isSet = false;
    const bool answers = RouteOf(cmd, &isSet) != nullptr || cmd == kUploadBegin || cmd == kAlarmClear ||
                         cmd == kGetTime || cmd == kWifiSurvey || cmd == kGetRf || cmd == kSetRf ||
                         cmd == kLight || cmd == kPanic;
    if (!answers) return true;
    Refuse(reply);
    return Answer(reply, cmd, fault);
  }
  bool handled = false;
  if (!Records(in, reply, fault, &handled)) return false;
  if (handled) return true;
  const bool admin = level_ >= 3, operatorOrMore = level_ >= 2;
  switch (cmd) {
    case kStartStream:
      StartStream(in);
      return true;
    case kPtz:
      if (operatorOrMore) Ptz(in);
      return true;
    case kSetColors:
      if (operatorOrMore) Colors(in);
      return true;
    case kSetTime:
      device_.SetDeviceTime(static_cast<int32_t>(U32(in.data(), kResult)));
      return true;
    case kGetTime:
      Put(reply.data(), kResult, static_cast<uint32_t>(device_.DeviceTime()));
      return Answer(reply, cmd, fault);
    case kAlarmClear: {
      int channels = 0;
      device_.Read([&](const SimState& s) { channels = s.Channels(); });
      const int32_t ch = static_cast<int32_t>(U32(in.data(), 32));
      Put(reply.data(), kResult, admin && ch >= 0 && ch < channels ? 1 : 0);
      return Answer(reply, cmd, fault);
    }
    case kReboot:
      if (!operatorOrMore) return true;
      device_.Reboot();
      return false;
    case kFactoryDefault:
      if (admin) device_.FactoryDefault();
      return true;
    case kWifiSurvey:
      Survey(reply);
      return Answer(reply, cmd, fault);
    case kGetRf:
      device_.Read([&](const SimState& s) { std::memcpy(reply.data() + kPayload, s.rf.data(), kRfCfgSize); });
      Put(reply.data(), kResult, 1);
      return Answer(reply, cmd, fault);
    case kSetRf: {
      const bool store = admin && fault.kind != Fault::ResultZero;
      device_.Modify([&](SimState& s) {
        if (store) std::memcpy(s.rf.data(), in.data() + kPayload, kRfCfgSize);
        std::memcpy(reply.data() + kPayload, s.rf.data(), kRfCfgSize);
        return store;
      });
      Put(reply.data(), kResult, store ? 1 : 0);
      return Answer(reply, cmd, fault);
    }
    case kLight: {
      const int32_t light = static_cast<int32_t>(U32(in.data(), 24));
      Put(reply.data(), kResult, light >= 0 && light <= 2 ? 1 : 0);
      return Answer(reply, cmd, fault);
    }
    case kPanic:
      Put(reply.data(), kResult, 1);
      return Answer(reply, cmd, fault);
    case kUploadBegin:
      if (!UploadBegin(in, reply)) Refuse(reply);
      return Answer(reply, cmd, fault);
    case kUploadEnd:
      UploadEnd();
      return true;
    case kGetAll: {
      uint8_t head[kHeadSize];
      std::vector<uint8_t> out;
      const int foreign = fault.kind == Fault::ForeignHeads ? std::max(fault.arg, 1) : 0;
      for (int i = 0; i < foreign; ++i) {
        PutU32(head, kHeadSize, 0, kForeignMarker);
        PutU32(head, kHeadSize, 4, 0);
        out.insert(out.end(), head, head + kHeadSize);
      }
      PutU32(head, kHeadSize, 0, kMarkConfig);
      PutU32(head, kHeadSize, 4, static_cast<uint32_t>(fault.kind == Fault::WrongCode ? kDevCfgSize - 8 : kDevCfgSize));
      out.insert(out.end(), head, head + kHeadSize);
      device_.Read([&](const SimState& s) { out.insert(out.end(), s.cfg.begin(), s.cfg.end()); });
      if (fault.kind == Fault::Stall && !link_.Pause(fault.arg)) return false;
      if (fault.kind == Fault::CloseMidPacket) {
        link_.WriteAll(out.data(), out.size() / 2);
        return false;
      }
      return link_.WriteAll(out.data(), out.size());
    }
    default:
      // Remote recording and unknown commands: journaled, not answered.
      return true;
  }
}

bool SimSession::Records(Packet& in, Packet& reply, const FaultSpec& fault, bool* handled) {
  bool isSet = false;
  const uint32_t cmd = U32(in.data(), kCmd);
  const RecordRoute* route = RouteOf(cmd, &isSet);
  if (route == nullptr) return true;
  *handled = true;
  const bool perChannel = route->scope != Scope::Whole;
  int32_t channel = perChannel ? static_cast<int32_t>(U32(in.data(), kPayload)) : 0;
  bool ok = true;
  device_.Modify([&](SimState& s) {
    if (perChannel && (channel < 0 || channel >= s.Channels())) {
      ok = false;
      return false;
    }
    uint8_t* record = RecordIn(s, *route, channel);
    bool store = false;
    if (isSet) {
      store = level_ >= 3 && fault.kind != Fault::ResultZero;
      if (cmd == kSetUsers && GetU32(in.data() + kPayload, route->size, kUserCount) > kMaxUsers) store = false;
      if (store) {
        std::memcpy(record, in.data() + kPayload, route->size);
        if (route->scope != Scope::Whole && channel == 0) s.MirrorChannelZero();
      }
      ok = store;
    }
    std::memcpy(reply.data() + kPayload, record, route->size);
    return store;
  });
  if (!ok && !isSet) Refuse(reply);
  Put(reply.data(), kResult, ok ? 1 : 0);
  return Answer(reply, cmd, fault);
}

void SimSession::Colors(const Packet& in) {
  const int32_t channel = static_cast<int32_t>(U32(in.data(), 24));
  device_.Modify([&](SimState& s) {
    if (channel < 0 || channel >= s.Channels()) return false;
    uint8_t* v = s.video[static_cast<size_t>(channel)].data();
    std::memcpy(v + kVideoBrightness, in.data() + 28, 4);
    v[kVideoSharpness] = in[32];
    if (channel == 0) s.MirrorChannelZero();
    return true;
  });
}

void SimSession::Ptz(const Packet& in) {
  if (U32(in.data(), 24) != 0) {
    device_.Log("PTZ command %u address %u speed %u point %u extra %u", U32(in.data(), 24), in[32],
                U32(in.data(), 36), U32(in.data(), 40), U32(in.data(), 44));
    return;
  }
  const int32_t raw = static_cast<int32_t>(U32(in.data(), kSerialLength));
  const size_t n = raw < 0 ? 0 : std::min<size_t>(static_cast<size_t>(raw), kSerialMax);
  std::string hex;
  for (size_t i = 0; i < n; ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%02X ", in[kSerialData + i]);
    hex += b;
  }
  device_.Log("serial pass-through of %zu bytes: %s", n, hex.c_str());
}

bool SimSession::UploadBegin(const Packet& in, Packet& reply) {
  const uint32_t type = U32(in.data(), kUploadType);
  const uint32_t size = U32(in.data(), kUploadSize);
  if (level_ < 3 || (type != 2 && type != 8) || size > kMaxImage) return false;
  std::memcpy(reply.data() + kPayload, in.data() + kPayload, kPktSize - kPayload);
  Put(reply.data(), kResult, 1);
  if (uploading_) device_.UploadEnded(std::move(upload_), UploadState::Aborted);
  uploading_ = true;
  uploadSize_ = size;
  uploadCrc_ = U32(in.data(), kUploadCrc);
  uploadReceived_ = 0;
  upload_.clear();
  device_.UploadBegun();
  device_.Log("firmware upload of %u bytes (type %u) begins", size, type);
  return true;
}

void SimSession::UploadEnd() {
  if (!uploading_) return;
  uploading_ = false;
  UploadState state = UploadState::Complete;
  if (uploadReceived_ != uploadSize_) {
    state = UploadState::SizeMismatch;
  } else if (vz::Crc32(upload_.data(), upload_.size()) != uploadCrc_) {
    state = UploadState::CrcMismatch;
  }
  device_.Log("firmware upload ends: %llu of %u bytes, %s", static_cast<unsigned long long>(uploadReceived_),
              uploadSize_, state == UploadState::Complete ? "accepted" : "rejected");
  device_.UploadEnded(std::move(upload_), state);
  upload_.clear();
}

void SimSession::Survey(Packet& reply) {
  struct Site {
    const char* ssid;
    uint8_t signal, channel, encryption, network, auth, cipher;
  };
  const Site sites[] = {
      {"vzsim-office", 88, 6, 2, 0, 2, 2},
      {"vzsim-lab", 61, 11, 1, 0, 1, 0},
      {"vzsim-guest", 40, 1, 0, 0, 0, 0},
  };
  size_t e = kPayload;
  for (const Site& s : sites) {
    PutText(reply.data(), kPktSize, e, 32, s.ssid);
    const uint8_t fields[] = {s.signal, s.channel, s.encryption, s.network, s.auth, s.cipher};
    std::memcpy(reply.data() + e + 32, fields, sizeof fields);
    e += kSurveyEntrySize;
  }
  Put(reply.data(), kResult, 1);
}

}  // namespace vzsim
