// The command connection against the device simulator over loopback: every
// operation, the configuration cache, the user-level checks, the firmware
// upload and every fault the simulator can be switched to.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "DevSim.h"
#include "TestEnv.h"
#include "class_AxConn.h"
#include "vzSDK.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

uint32_t U32At(const Bytes& b, size_t off) {
  uint32_t v = 0;
  if (off + 4 <= b.size()) std::memcpy(&v, b.data() + off, 4);
  return v;
}

Bytes Slice(const void* p, size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  return Bytes(b, b + n);
}

// A record operation of TAxConn, reached through a raw buffer so one table
// drives them all.
struct RecordOp {
  const char* name;
  uint32_t getCmd;
  uint32_t setCmd;
  size_t size;
  size_t cfgOffset;
  bool perChannel;  // video and audio: the channel rides in the request
  std::function<bool(TAxConn&, void*, int32_t, bool)> get;
  std::function<bool(TAxConn&, void*, int32_t)> set;
};

template <typename R>
RecordOp Whole(const char* name, uint32_t g, uint32_t s, size_t off, bool (TAxConn::*get)(R*, bool),
               bool (TAxConn::*set)(R*)) {
  return RecordOp{name, g, s, sizeof(R), off, false,
                  [get](TAxConn& c, void* b, int32_t, bool fc) { return (c.*get)(static_cast<R*>(b), fc); },
                  [set](TAxConn& c, void* b, int32_t) { return (c.*set)(static_cast<R*>(b)); }};
}

template <typename R>
RecordOp PerChannel(const char* name, uint32_t g, uint32_t s, size_t off, bool (TAxConn::*get)(R*, int32_t, bool),
                    bool (TAxConn::*set)(R*, int32_t)) {
  return RecordOp{name, g, s, sizeof(R), off, true,
                  [get](TAxConn& c, void* b, int32_t ch, bool fc) { return (c.*get)(static_cast<R*>(b), ch, fc); },
                  [set](TAxConn& c, void* b, int32_t ch) { return (c.*set)(static_cast<R*>(b), ch); }};
}

std::vector<RecordOp> AllRecords() {
  using namespace vz;
  return {
      Whole<TNetCfg>("Net", 34, 35, 0, &TAxConn::GetNetCfg, &TAxConn::SetNetCfg),
      Whole<TWiFiCfg>("WiFi", 37, 38, 372, &TAxConn::GetWiFiCfg, &TAxConn::SetWiFiCfg),
      Whole<TDevInfo>("DevInfo", 30, 31, 572, &TAxConn::GetDevInfo, &TAxConn::SetDevInfo),
      Whole<TUserCfg>("User", 32, 33, 752, &TAxConn::GetUserCfg, &TAxConn::SetUserCfg),
      Whole<TAlmCfg>("Alm", 49, 50, 1800, &TAxConn::GetAlmCfg, &TAxConn::SetAlmCfg),
      Whole<TRs485Cfg>("Rs485", 51, 52, 2068, &TAxConn::GetRs485Cfg, &TAxConn::SetRs485Cfg),
      Whole<TDiDoCfg>("DiDo", 47, 48, 2348, &TAxConn::GetDiDoCfg, &TAxConn::SetDiDoCfg),
      PerChannel<TVideoCfg>("Video", 39, 40, 2876, &TAxConn::GetVideoCfg, &TAxConn::SetVideoCfg),
      PerChannel<TAudioCfg>("Audio", 41, 42, 3024, &TAxConn::GetAudioCfg, &TAxConn::SetAudioCfg),
      Whole<TMDCfg>("MD", 45, 46, 3072, &TAxConn::GetMDCfg, &TAxConn::SetMDCfg),
      Whole<THideAreaCfg>("HideArea", 43, 44, 3168, &TAxConn::GetHideAreaCfg, &TAxConn::SetHideAreaCfg),
      Whole<TDiskCfg>("Disk", 53, 54, 3240, &TAxConn::GetDiskCfg, &TAxConn::SetDiskCfg),
      RecordOp{"Rec", 55, 56, sizeof(TRecCfg), 4128, false,
               [](TAxConn& c, void* b, int32_t, bool fc) { return c.GetRecCfg(static_cast<TRecCfg*>(b), fc); },
               [](TAxConn& c, void* b, int32_t ch) { return c.SetRecCfg(static_cast<TRecCfg*>(b), ch); }},
      Whole<TFTPCfg>("FTP", 57, 58, 4388, &TAxConn::GetFTPCfg, &TAxConn::SetFTPCfg),
      Whole<TEmailCfg>("Email", 59, 60, 4708, &TAxConn::GetEmailCfg, &TAxConn::SetEmailCfg),
  };
}

class AxConnSim : public ::testing::Test {
 protected:
  void SetUp() override {
    vzsim::SimOptions o;
    o.stateDir = dir_.str();
    o.model = "dvr";
    o.rebootRefusalMs = 1500;
    sim_ = std::make_unique<vzsim::DevSim>(o);
    ASSERT_TRUE(sim_->Start()) << sim_->Error();
  }

  std::unique_ptr<TAxConn> Conn(const char* user = "admin", const char* password = nullptr) {
    auto c = std::make_unique<TAxConn>();
    c->SetHost("127.0.0.1");
    c->SetPort(sim_->Port(0));
    c->SetConnTimeOut(3000);
    c->UserName = user;
    c->Password = password != nullptr ? password : user;
    c->SvrAddr = "127.0.0.1";
    return c;
  }

  std::unique_ptr<TAxConn> LoggedConn(const char* user = "admin") {
    auto c = Conn(user);
    EXPECT_TRUE(c->OpenLogin()) << user;
    return c;
  }

  // Journal entries of one code, waiting up to 5 s for `count` of them
  // (commands that are not answered land there after the send returned).
  std::vector<vzsim::JournalEntry> Sent(uint32_t cmd, size_t count = 0) {
    const auto start = Clock::now();
    for (;;) {
      std::vector<vzsim::JournalEntry> out;
      for (auto& e : sim_->Journal(0)) {
        if (e.cmd == cmd) out.push_back(std::move(e));
      }
      if (out.size() >= count || MsSince(start) > 5000) return out;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  Bytes DeviceRecord(const RecordOp& op, int channel) {
    if (op.getCmd == 39) return sim_->VideoConfigBytes(0, channel);
    if (op.getCmd == 41) return sim_->AudioConfigBytes(0, channel);
    const Bytes all = sim_->ConfigBytes(0);
    return Bytes(all.begin() + static_cast<long>(op.cfgOffset),
                 all.begin() + static_cast<long>(op.cfgOffset + op.size));
  }

  static Bytes CachedRecord(const TAxConn& c, const RecordOp& op) {
    return Slice(reinterpret_cast<const uint8_t*>(&c.Cfg()) + op.cfgOffset, op.size);
  }

  vztest::TempDir dir_;
  std::unique_ptr<vzsim::DevSim> sim_;
};

// ---- login ------------------------------------------------------------------

struct LoginCase {
  const char* name;
  const char* user;
  const char* password;
  bool ok;
  int32_t level;
};

class AxConnLogin : public AxConnSim, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(AxConnLogin, LevelAndCachedDeviceInfo) {
  const LoginCase& c = GetParam();
  auto conn = Conn(c.user, c.password);
  EXPECT_EQ(conn->OpenLogin(), c.ok);
  EXPECT_EQ(conn->Logged(), c.ok);
  EXPECT_EQ(conn->LoginId() != 0, c.ok);
  if (!c.ok) {
    EXPECT_FALSE(conn->Active());  // a failed login closes at once
    return;
  }
  EXPECT_TRUE(conn->Active());
  EXPECT_EQ(conn->UserLevel(), c.level);
  const Bytes all = sim_->ConfigBytes(0);
  EXPECT_EQ(Slice(&conn->Cfg().DevInfo, 180), Bytes(all.begin() + 572, all.begin() + 752));
  // The login request: stream flag 0, the magic 1 at +912, the address at +64.
  const auto logins = Sent(1, 1);
  ASSERT_FALSE(logins.empty());
  const Bytes& req = logins.back().packet;
  EXPECT_EQ(U32At(req, 16), 0u);
  EXPECT_EQ(U32At(req, 88), 0u);
  EXPECT_EQ(U32At(req, 912), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(req.data() + 64)), "127.0.0.1");
  // Every later packet carries the login id.
  vz::TNetCfg net{};
  ASSERT_TRUE(conn->GetNetCfg(&net, false));
  EXPECT_EQ(Sent(34, 1).back().loginId, conn->LoginId());
  EXPECT_TRUE(conn->OpenLogin());  // already logged: no new login
  EXPECT_EQ(Sent(1).size(), 1u);
  EXPECT_TRUE(conn->CloseConn());
  EXPECT_FALSE(conn->Logged());
}

INSTANTIATE_TEST_SUITE_P(Levels, AxConnLogin,
                         ::testing::Values(LoginCase{"admin", "admin", "admin", true, 3},
                                           LoginCase{"operator", "operator", "operator", true, 2},
                                           LoginCase{"guest", "guest", "guest", true, 1},
                                           LoginCase{"wrong_password", "admin", "nimda", false, 0},
                                           LoginCase{"unknown_user", "nobody", "nobody", false, 0},
                                           LoginCase{"name_too_long", "admin_with_a_long_name", "admin", false, 0}),
                         [](const auto& tp) { return std::string(tp.param.name); });

// ---- records ----------------------------------------------------------------

class AxConnRecords : public AxConnSim, public ::testing::WithParamInterface<RecordOp> {};

TEST_P(AxConnRecords, GetFromDeviceThenFromCache) {
  const RecordOp& op = GetParam();
  auto conn = LoggedConn();
  const int channel = op.perChannel ? 2 : 0;
  Bytes buf(op.size + 16, 0xCD);
  ASSERT_TRUE(op.get(*conn, buf.data(), channel, false));
  EXPECT_TRUE(std::all_of(buf.begin() + static_cast<long>(op.size), buf.end(), [](uint8_t b) { return b == 0xCD; }));
  buf.resize(op.size);
  EXPECT_EQ(buf, DeviceRecord(op, channel));
  EXPECT_EQ(CachedRecord(*conn, op), buf);
  const auto gets = Sent(op.getCmd, 1);
  ASSERT_EQ(gets.size(), 1u);
  if (op.perChannel) {
    EXPECT_EQ(U32At(gets[0].packet, 24), 2u);
  }

  sim_->ClearJournal(0);
  Bytes cached(op.size, 0xEE);
  EXPECT_TRUE(op.get(*conn, cached.data(), channel, true));
  EXPECT_EQ(cached, buf);
  EXPECT_TRUE(sim_->Journal(0).empty());  // no traffic
  EXPECT_FALSE(op.get(*conn, nullptr, channel, false));
  EXPECT_FALSE(op.get(*conn, nullptr, channel, true));
}

TEST_P(AxConnRecords, SetStoresAndTheEchoReplacesBuffer) {
  const RecordOp& op = GetParam();
  auto conn = LoggedConn();
  const int channel = op.perChannel ? 1 : 0;
  Bytes rec(op.size);
  ASSERT_TRUE(op.get(*conn, rec.data(), channel, false));
  rec[op.size - 1] ^= 0x5A;
  if (op.perChannel) std::memset(rec.data(), 0x7F, 4);  // overwritten by the channel
  const int32_t setChannel = op.setCmd == 56 ? 3 : channel;
  ASSERT_TRUE(op.set(*conn, rec.data(), setChannel));
  const auto sets = Sent(op.setCmd, 1);
  ASSERT_EQ(sets.size(), 1u);
  const Bytes& req = sets[0].packet;
  if (op.perChannel) {
    EXPECT_EQ(U32At(req, 24), 1u);
  }
  if (op.setCmd == 56) {
    EXPECT_EQ(U32At(req, 32), 3u);
  }
  EXPECT_EQ(req[24 + op.size - 1], rec[op.size - 1]);
  EXPECT_EQ(rec, DeviceRecord(op, channel));  // the buffer holds the device's echo
  EXPECT_EQ(CachedRecord(*conn, op), rec);
}

TEST_P(AxConnRecords, ResultZeroFailsYetTheEchoStillReplacesBufferAndCache) {
  const RecordOp& op = GetParam();
  auto conn = LoggedConn();
  const int channel = op.perChannel ? 1 : 0;
  const Bytes stored = DeviceRecord(op, channel);
  sim_->SetFault(0, vzsim::Fault::ResultZero, 0, op.setCmd);
  Bytes rec = stored;
  rec[op.size - 1] ^= 0x5A;
  EXPECT_FALSE(op.set(*conn, rec.data(), channel));
  EXPECT_EQ(rec, stored);
  EXPECT_EQ(CachedRecord(*conn, op), stored);
}

TEST_P(AxConnRecords, SetNeedsAdministratorAndSendsNothingOtherwise) {
  const RecordOp& op = GetParam();
  for (const char* user : {"operator", "guest"}) {
    auto conn = LoggedConn(user);
    Bytes rec(op.size, 0x11);
    EXPECT_FALSE(op.set(*conn, rec.data(), 0)) << user;
    EXPECT_EQ(rec, Bytes(op.size, 0x11));
  }
  auto admin = LoggedConn();
  EXPECT_FALSE(op.set(*admin, nullptr, 0));
  EXPECT_TRUE(Sent(op.setCmd).empty());
}

TEST_P(AxConnRecords, WrongCodeLeavesBufferAndCacheUntouched) {
  const RecordOp& op = GetParam();
  auto conn = LoggedConn();
  const Bytes before = CachedRecord(*conn, op);
  sim_->SetFault(0, vzsim::Fault::WrongCode, 0, op.getCmd);
  Bytes buf(op.size, 0xCD);
  EXPECT_FALSE(op.get(*conn, buf.data(), 0, false));
  EXPECT_EQ(buf, Bytes(op.size, 0xCD));
  EXPECT_EQ(CachedRecord(*conn, op), before);
}

INSTANTIATE_TEST_SUITE_P(Each, AxConnRecords, ::testing::ValuesIn(AllRecords()),
                         [](const auto& tp) { return std::string(tp.param.name); });

TEST(AxConnCache, FreshObjectAnswersZerosFromCache) {
  TAxConn conn;
  vz::TNetCfg net;
  std::memset(&net, 0xAB, sizeof net);
  EXPECT_TRUE(conn.GetNetCfg(&net, true));
  EXPECT_EQ(Slice(&net, sizeof net), Bytes(372, 0));
  EXPECT_FALSE(conn.GetNetCfg(&net, false));  // no socket
}

// ---- other operations --------------------------------------------------------

TEST_F(AxConnSim, DeviceTimeIsTheDeviceClockAsDateTime) {
  auto conn = LoggedConn("guest");
  const double days = conn->GetDevTime();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const double expected = static_cast<double>(now + local.tm_gmtoff) / 86400.0 + 25569.0;
  EXPECT_NEAR(days, expected, 120.0 / 86400.0);
  sim_->SetFault(0, vzsim::Fault::WrongCode, 0, 16);
  EXPECT_EQ(conn->GetDevTime(), 0.0);
}

TEST_F(AxConnSim, ColoursGoOutAndUpdateTheCachedVideoRecord) {
  auto conn = LoggedConn("operator");
  ASSERT_TRUE(conn->SetColors(0, 10, 20, 30, 40, 50));
  const auto sent = Sent(24, 1);
  ASSERT_EQ(sent.size(), 1u);
  const Bytes& p = sent[0].packet;
  EXPECT_EQ(Bytes(p.begin() + 24, p.begin() + 33), (Bytes{0, 0, 0, 0, 10, 20, 30, 40, 50}));
  const auto* v = reinterpret_cast<const uint8_t*>(&conn->Cfg().Video);
  EXPECT_EQ(Bytes(v + 28, v + 32), (Bytes{10, 20, 30, 40}));
  EXPECT_EQ(v[116], 50);
  auto guest = LoggedConn("guest");
  EXPECT_FALSE(guest->SetColors(0, 1, 2, 3, 4, 5));
}

TEST_F(AxConnSim, PtzAndSerialPassThrough) {
  auto conn = LoggedConn("operator");
  ASSERT_TRUE(conn->PTZControl(7, 0x21, 5, 9, 99, 0x1234));
  Bytes serial(100);
  for (size_t i = 0; i < serial.size(); ++i) serial[i] = static_cast<uint8_t>(i + 1);
  ASSERT_TRUE(conn->SerialSend(serial.data(), 100));
  EXPECT_FALSE(conn->SerialSend(serial.data(), 101));
  const auto sent = Sent(13, 2);
  ASSERT_EQ(sent.size(), 2u);
  const Bytes& ptz = sent[0].packet;
  EXPECT_EQ(U32At(ptz, 24), 7u);
  EXPECT_EQ(U32At(ptz, 28), 0u);
  EXPECT_EQ(ptz[32], 0x21);
  EXPECT_EQ(U32At(ptz, 36), 5u);
  EXPECT_EQ(U32At(ptz, 40), 9u);
  EXPECT_EQ(U32At(ptz, 44), 0x1234u);
  const Bytes& ser = sent[1].packet;
  EXPECT_EQ(U32At(ser, 24), 0u);
  EXPECT_EQ(Bytes(ser.begin() + 28, ser.begin() + 128), serial);
  EXPECT_EQ(U32At(ser, 128), 100u);
  auto guest = LoggedConn("guest");
  EXPECT_FALSE(guest->PTZControl(7, 1, 1, 1, 0, 0));
  EXPECT_FALSE(guest->SerialSend(serial.data(), 4));
}

TEST_F(AxConnSim, AlarmClearNeedsAdministratorAndAPositiveResult) {
  auto admin = LoggedConn();
  EXPECT_TRUE(admin->ClearAlarm(1));
  const auto sent = Sent(15, 1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(U32At(sent[0].packet, 32), 1u);
  EXPECT_NE(U32At(sent[0].packet, 28), 0u);  // the PC's clock
  EXPECT_FALSE(admin->ClearAlarm(99));  // the device answers Result 0
  auto op = LoggedConn("operator");
  EXPECT_FALSE(op->ClearAlarm(1));
  EXPECT_EQ(Sent(15).size(), 2u);
}

TEST_F(AxConnSim, FactoryDefaultNeedsAdministrator) {
  auto op = LoggedConn("operator");
  EXPECT_FALSE(op->SetDefault());
  auto admin = LoggedConn();
  ASSERT_TRUE(admin->SetDefault());
  const auto sent = Sent(19, 1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(U32At(sent[0].packet, 20), 1u);
}

TEST_F(AxConnSim, RebootDropsTheDeviceForAMoment) {
  sim_->SetRebootRefusal(0, 4000);
  auto guest = LoggedConn("guest");
  EXPECT_FALSE(guest->Reboot());
  auto op = LoggedConn("operator");
  ASSERT_TRUE(op->Reboot());
  // The device closes its port shortly after the command arrived.
  const auto start = Clock::now();
  while (FastPing("127.0.0.1", sim_->Port(0), 50) != 0 && MsSince(start) < 3000) {
  }
  EXPECT_EQ(sim_->RebootCount(0), 1);
  auto again = Conn();
  again->SetConnTimeOut(200);
  EXPECT_FALSE(again->OpenLogin());  // refused while it restarts
  EXPECT_FALSE(again->Active());
  // A refused connect is only reported when its wait runs out: probe in short waits.
  const auto back = Clock::now();
  while (!again->OpenLogin() && MsSince(back) < 15000) {
  }
  EXPECT_TRUE(again->Logged());
}

TEST_F(AxConnSim, StreamConnectionFetchesTheWholeConfigurationAndStarts) {
  auto conn = Conn();
  conn->StreamFlag = 1;
  ASSERT_TRUE(conn->OpenLogin());
  EXPECT_EQ(U32At(Sent(1, 1).back().packet, 88), 1u);
  auto cfg = std::make_unique<vz::TDevCfg>();
  ASSERT_TRUE(conn->GetAllCfg(cfg.get()));
  EXPECT_EQ(Slice(cfg.get(), sizeof(vz::TDevCfg)), sim_->ConfigBytes(0));
  ASSERT_TRUE(conn->StartStream(0x3, 0x1, 0x4));
  const auto start = Sent(2, 1);
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(U32At(start[0].packet, 0), 0xAAAAAAAAu);
  EXPECT_EQ(U32At(start[0].packet, 8), 0u);  // Marker2 stays 0 on this packet only
  EXPECT_EQ(U32At(start[0].packet, 24), 0x3u);
  EXPECT_EQ(U32At(start[0].packet, 28), 0x1u);
  EXPECT_EQ(U32At(start[0].packet, 36), 0x4u);
  EXPECT_EQ(U32At(Sent(28, 1).back().packet, 8), 0xAAAAAAAAu);
  EXPECT_FALSE(conn->GetAllCfg(nullptr));
}

struct HeadsCase {
  const char* name;
  vzsim::Fault fault;
  int arg;
  bool ok;
};

class AxConnAllCfgHeads : public AxConnSim, public ::testing::WithParamInterface<HeadsCase> {};

TEST_P(AxConnAllCfgHeads, BlockFoundWithinSixHeads) {
  const HeadsCase& c = GetParam();
  auto conn = Conn();
  conn->StreamFlag = 1;
  ASSERT_TRUE(conn->OpenLogin());
  sim_->SetFault(0, c.fault, c.arg, 28);
  auto cfg = std::make_unique<vz::TDevCfg>();
  std::memset(static_cast<void*>(cfg.get()), 0xCD, sizeof(vz::TDevCfg));
  EXPECT_EQ(conn->GetAllCfg(cfg.get()), c.ok);
  if (c.ok) {
    EXPECT_EQ(Slice(cfg.get(), sizeof(vz::TDevCfg)), sim_->ConfigBytes(0));
  } else {
    EXPECT_EQ(Slice(cfg.get(), sizeof(vz::TDevCfg)), Bytes(sizeof(vz::TDevCfg), 0xCD));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, AxConnAllCfgHeads,
                         ::testing::Values(HeadsCase{"one_foreign", vzsim::Fault::ForeignHeads, 1, true},
                                           HeadsCase{"five_foreign", vzsim::Fault::ForeignHeads, 5, true},
                                           HeadsCase{"six_foreign", vzsim::Fault::ForeignHeads, 6, false},
                                           HeadsCase{"wrong_block_length", vzsim::Fault::WrongCode, 0, false},
                                           HeadsCase{"cut_mid_block", vzsim::Fault::CloseMidPacket, 0, false}),
                         [](const auto& tp) { return std::string(tp.param.name); });

// ---- firmware upload ---------------------------------------------------------

struct UploadCase {
  const char* name;
  size_t size;
  uint32_t type;
};

class AxConnUpload : public AxConnSim, public ::testing::WithParamInterface<UploadCase> {};

TEST_P(AxConnUpload, ChunksThenEndPacket) {
  const UploadCase& c = GetParam();
  std::string content(c.size, '\0');
  for (size_t i = 0; i < c.size; ++i) content[i] = static_cast<char>((i * 131 + 17) & 0xFF);
  const auto file = dir_ / "image.bin";
  vztest::WriteFileBytes(file, content);
  auto conn = LoggedConn();
  std::vector<std::pair<uint64_t, uint64_t>> progress;
  ASSERT_TRUE(conn->UploadImage(file.string(), c.type,
                                [&](uint64_t pos, uint64_t total) { progress.emplace_back(pos, total); }));
  const size_t chunks = (c.size + 8191) / 8192;
  ASSERT_EQ(Sent(8, 1).size(), 1u);
  const auto begin = Sent(7);
  ASSERT_EQ(begin.size(), 1u);
  EXPECT_EQ(U32At(begin[0].packet, 24), c.type);
  EXPECT_EQ(U32At(begin[0].packet, 28), c.size);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(begin[0].packet.data() + 296)),
            c.type == 2 ? "/img.bin" : "/img.img");
  EXPECT_EQ(Sent(vzsim::kChunkEntry).size(), chunks);
  EXPECT_EQ(progress.size(), chunks);
  if (!progress.empty()) {
    EXPECT_EQ(progress.back(), std::make_pair(static_cast<uint64_t>(c.size), static_cast<uint64_t>(c.size)));
  }
  const auto start = Clock::now();
  while (sim_->LastUploadState(0) != vzsim::UploadState::Complete && MsSince(start) < 5000) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(sim_->LastUploadState(0), vzsim::UploadState::Complete);  // size and CRC-32 matched
  EXPECT_EQ(sim_->LastUpload(0), Bytes(content.begin(), content.end()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, AxConnUpload,
                         ::testing::Values(UploadCase{"empty", 0, 2}, UploadCase{"one_byte", 1, 8},
                                           UploadCase{"two_chunks_exactly", 2 * 8192, 2},
                                           UploadCase{"two_chunks_and_a_byte", 2 * 8192 + 1, 8}),
                         [](const auto& tp) { return std::string(tp.param.name); });

TEST_F(AxConnSim, UploadRefusalsSendNothing) {
  const auto file = dir_ / "image.bin";
  vztest::WriteFileBytes(file, std::string(100, 'x'));
  auto admin = LoggedConn();
  EXPECT_FALSE(admin->UploadImage(file.string(), 5, nullptr));
  EXPECT_FALSE(admin->UploadImage((dir_ / "missing.bin").string(), 2, nullptr));
  EXPECT_FALSE(admin->UploadImage(dir_.str(), 2, nullptr));  // a folder
  const auto longName = dir_ / std::string(255 - dir_.str().size(), 'n');
  vztest::WriteFileBytes(longName, "x");
  EXPECT_FALSE(admin->UploadImage(longName.string(), 2, nullptr));  // path of 256 characters
  auto op = LoggedConn("operator");
  EXPECT_FALSE(op->UploadImage(file.string(), 2, nullptr));
  EXPECT_TRUE(Sent(7).empty());
  sim_->SetFault(0, vzsim::Fault::ResultZero, 0, 7);  // the device refuses the image
  EXPECT_FALSE(admin->UploadImage(file.string(), 2, nullptr));
  EXPECT_TRUE(Sent(vzsim::kChunkEntry).empty());
}

// ---- faults --------------------------------------------------------------------

struct FaultCase {
  const char* name;
  vzsim::Fault fault;
  int arg;
  std::function<bool(TAxConn&)> op;
};

class AxConnFaults : public AxConnSim, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(AxConnFaults, FalseWithinTheTransferTimeOut) {
  const FaultCase& c = GetParam();
  auto conn = Conn();
  const bool refuseLogin = c.fault == vzsim::Fault::RefuseLogin;
  if (refuseLogin) sim_->SetFault(0, c.fault, c.arg);
  ASSERT_EQ(conn->OpenLogin(), !refuseLogin);
  if (!refuseLogin) sim_->SetFault(0, c.fault, c.arg);
  const auto start = Clock::now();
  EXPECT_FALSE(c.op(*conn));
  // One 3000 ms transfer at most, with room for a loaded machine.
  EXPECT_LT(MsSince(start), 3000 + 7000);
}

bool GetNet(TAxConn& c) {
  vz::TNetCfg n{};
  return c.GetNetCfg(&n, false);
}
bool SetNet(TAxConn& c) {
  vz::TNetCfg n{};
  return c.SetNetCfg(&n);
}
bool GetRec(TAxConn& c) {
  vz::TRecCfg r{};
  return c.GetRecCfg(&r, false);
}
bool Clear(TAxConn& c) { return c.ClearAlarm(0); }
bool Time(TAxConn& c) { return c.GetDevTime() != 0.0; }
bool Logged(TAxConn& c) { return c.Logged(); }

INSTANTIATE_TEST_SUITE_P(
    Switches, AxConnFaults,
    ::testing::Values(FaultCase{"refuse_login", vzsim::Fault::RefuseLogin, 0, Logged},
                      FaultCase{"wrong_code_get", vzsim::Fault::WrongCode, 0, GetNet},
                      FaultCase{"wrong_code_set", vzsim::Fault::WrongCode, 0, SetNet},
                      FaultCase{"wrong_code_time", vzsim::Fault::WrongCode, 0, Time},
                      FaultCase{"result_zero_set", vzsim::Fault::ResultZero, 0, SetNet},
                      FaultCase{"result_zero_rec_get", vzsim::Fault::ResultZero, 0, GetRec},
                      FaultCase{"result_zero_clear", vzsim::Fault::ResultZero, 0, Clear},
                      FaultCase{"stall_get", vzsim::Fault::Stall, 6000, GetNet},
                      FaultCase{"stall_time", vzsim::Fault::Stall, 6000, Time},
                      FaultCase{"close_mid_packet_get", vzsim::Fault::CloseMidPacket, 0, GetNet},
                      FaultCase{"close_mid_packet_clear", vzsim::Fault::CloseMidPacket, 0, Clear}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST_F(AxConnSim, StalledReplyLeavesTheConnectionOpenButACutOneCloses) {
  auto conn = LoggedConn();
  sim_->SetFault(0, vzsim::Fault::Stall, 5000);
  EXPECT_FALSE(GetNet(*conn));
  EXPECT_TRUE(conn->Active());
  sim_->SetFault(0, vzsim::Fault::None);
  auto cut = LoggedConn();
  sim_->SetFault(0, vzsim::Fault::CloseMidPacket);
  EXPECT_FALSE(GetNet(*cut));
  EXPECT_FALSE(cut->Active());
  EXPECT_FALSE(GetNet(*cut));  // nothing is sent on a closed connection
}

TEST_F(AxConnSim, UnreachableDeviceFailsEveryOperation) {
  sim_->Stop();
  auto conn = Conn();
  conn->SetConnTimeOut(300);
  EXPECT_FALSE(conn->OpenLogin());
  EXPECT_FALSE(conn->Logged());
  EXPECT_FALSE(GetNet(*conn));
  EXPECT_FALSE(conn->Reboot());
  EXPECT_FALSE(conn->StartStream(1, 1, 0));
  EXPECT_EQ(conn->GetDevTime(), 0.0);
}

}  // namespace
