// Login and record exchanges against the simulator, with packets built by
// the SDK's own protocol unit.
#include <cstring>

#include "SimFixture.h"
#include "vz_users.h"

namespace devsimtest {
namespace {

using vz::TCmdPkt;

struct LoginCase {
  const char* user;
  const char* password;
  int level;  // 0: refused
};

class LoginTest : public SimFixture, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(LoginTest, AnswersWithLevelAndExtractsOrRefusesAndCloses) {
  StartSim("dvr");
  const LoginCase& c = GetParam();
  SimTestClient client;
  ASSERT_TRUE(client.Connect(Port()));
  vz::TLoginReply reply;
  const bool ok = client.Login(c.user, c.password, 0, &reply);
  ASSERT_EQ(ok, c.level != 0);
  if (c.level == 0) {
    EXPECT_EQ(reply.LoginId, 0u);
    std::vector<uint8_t> rest;
    EXPECT_TRUE(client.ReadUntilClosed(rest));
    EXPECT_TRUE(rest.empty());
    return;
  }
  EXPECT_NE(reply.LoginId, 0u);
  EXPECT_EQ(reply.UserLevel, c.level);
  const std::vector<uint8_t> cfg = sim_->ConfigBytes(0);
  EXPECT_EQ(0, std::memcmp(&reply.DevInfo, cfg.data() + offsetof(vz::TDevCfg, DevInfo), sizeof(vz::TDevInfo)));
  for (int ch = 0; ch < vz::pkt::kLoginExtractChannels; ++ch) {
    const std::vector<uint8_t> video = sim_->VideoConfigBytes(0, ch);
    const std::vector<uint8_t> audio = sim_->AudioConfigBytes(0, ch);
    ASSERT_EQ(video.size(), sizeof(vz::TVideoCfg));
    EXPECT_EQ(0, std::memcmp(reply.VideoExtract[ch], video.data() + 12, 128)) << "channel " << ch;
    EXPECT_EQ(0, std::memcmp(reply.AudioExtract[ch], audio.data() + 8, 32)) << "channel " << ch;
  }
}

INSTANTIATE_TEST_SUITE_P(Accounts, LoginTest,
                         ::testing::Values(LoginCase{"admin", "admin", 3}, LoginCase{"operator", "operator", 2},
                                           LoginCase{"guest", "guest", 1}, LoginCase{"admin", "guest", 0},
                                           LoginCase{"nobody", "nobody", 0}, LoginCase{"", "", 0},
                                           LoginCase{"ADMIN", "admin", 0}));

TEST_F(SimFixture, CommandBeforeLoginIsJournaledAndClosesTheConnection) {
  StartSim();
  SimTestClient c;
  ASSERT_TRUE(c.Connect(Port()));
  TCmdPkt get{};
  ASSERT_TRUE(vz::BuildRecordGet(vz::TRecordKind::Net, 0, get));
  ASSERT_TRUE(c.Send(get));
  std::vector<uint8_t> rest;
  EXPECT_TRUE(c.ReadUntilClosed(rest));
  EXPECT_TRUE(rest.empty());
  const auto journal = sim_->Journal(0);
  ASSERT_EQ(journal.size(), 1u);
  EXPECT_EQ(journal[0].cmd, vz::kCmdGetNetCfg);
}

// Every record that has a get command comes back as the device stores it.
TEST_F(SimFixture, EveryRecordGetEchoesTheCodeAndCarriesTheStoredRecord) {
  StartSim();
  SimTestClient c;
  LogIn(c, "guest");
  for (int k = 0; k < vz::kRecordKinds; ++k) {
    const vz::TRecordInfo& info = vz::RecordInfo(static_cast<vz::TRecordKind>(k));
    if (info.GetCmd == 0) continue;
    SCOPED_TRACE(info.Name);
    TCmdPkt req{}, reply{};
    if (!vz::BuildRecordGet(info.Kind, 0, req)) {
      req = vz::NewPkt(info.GetCmd);  // the sensor record is fetched by its code alone
    }
    ASSERT_TRUE(c.Exchange(req, reply));
    EXPECT_TRUE(vz::ReplyEchoes(info.GetCmd, reply));
    EXPECT_NE(reply.Result, 0);
    EXPECT_EQ(reply.Head.LoginId, c.LoginId());
    EXPECT_EQ(Payload(reply, info.Size), Stored(info));
  }
}

// A recognisable record for each kind; the account table keeps a count the
// device accepts.
std::vector<uint8_t> Pattern(const vz::TRecordInfo& info, uint8_t seed) {
  std::vector<uint8_t> r(info.Size);
  for (size_t i = 0; i < r.size(); ++i) r[i] = static_cast<uint8_t>(seed + i * 7);
  if (info.Kind == vz::TRecordKind::User) {
    std::memset(r.data(), 0, 4);
    r[0] = 2;
  }
  if (info.Kind == vz::TRecordKind::DevInfo) std::memset(r.data() + 160, 0, 4);  // channel count
  return r;
}

struct SetCase {
  const char* user;
  bool stores;
};

class RecordSetTest : public SimFixture, public ::testing::WithParamInterface<SetCase> {};

TEST_P(RecordSetTest, AdministratorsStoreAndGetTheEchoOthersGetResultZeroAndTheStoredRecord) {
  StartSim();
  SimTestClient c;
  LogIn(c, GetParam().user);
  for (int k = 0; k < vz::kRecordKinds; ++k) {
    const vz::TRecordInfo& info = vz::RecordInfo(static_cast<vz::TRecordKind>(k));
    if (info.SetCmd == 0) continue;
    SCOPED_TRACE(info.Name);
    const std::vector<uint8_t> before = Stored(info);
    const std::vector<uint8_t> pattern = Pattern(info, static_cast<uint8_t>(k * 13 + 1));
    TCmdPkt req{}, reply{};
    ASSERT_TRUE(vz::BuildRecordSet(info.Kind, pattern.data(), pattern.size(), 0, req));
    std::vector<uint8_t> sent = Payload(req, info.Size);
    ASSERT_TRUE(c.Exchange(req, reply));
    EXPECT_TRUE(vz::ReplyEchoes(info.SetCmd, reply));
    if (GetParam().stores) {
      EXPECT_EQ(reply.Result, 1);
      EXPECT_EQ(Payload(reply, info.Size), sent);
      EXPECT_EQ(Stored(info), sent);
    } else {
      EXPECT_EQ(reply.Result, 0);
      EXPECT_EQ(Payload(reply, info.Size), before);
      EXPECT_EQ(Stored(info), before);
    }
    const auto journal = sim_->Journal(0);
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back().cmd, info.SetCmd);
    EXPECT_EQ(journal.back().loginId, c.LoginId());
    vz::StampPkt(req, c.LoginId());
    EXPECT_EQ(0, std::memcmp(journal.back().packet.data(), &req, sizeof req));
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, RecordSetTest,
                         ::testing::Values(SetCase{"admin", true}, SetCase{"operator", false},
                                           SetCase{"guest", false}));

struct ChannelCase {
  vz::TRecordKind kind;
  int channel;
  bool exists;
};

class ChannelRecordTest : public SimFixture, public ::testing::WithParamInterface<ChannelCase> {};

TEST_P(ChannelRecordTest, EachChannelKeepsItsOwnRecordAndChannelZeroIsTheWholeBlocks) {
  StartSim("dvr");  // four channels
  const ChannelCase& cc = GetParam();
  const vz::TRecordInfo& info = vz::RecordInfo(cc.kind);
  SimTestClient c;
  LogIn(c);
  const std::vector<uint8_t> wholeBefore = Stored(info);
  const std::vector<uint8_t> pattern = Pattern(info, 0x41);
  TCmdPkt set{}, reply{};
  ASSERT_TRUE(vz::BuildRecordSet(cc.kind, pattern.data(), pattern.size(), cc.channel, set));
  ASSERT_TRUE(c.Exchange(set, reply));
  EXPECT_EQ(reply.Result, cc.exists ? 1 : 0);
  TCmdPkt get{};
  ASSERT_TRUE(vz::BuildRecordGet(cc.kind, cc.channel, get));
  ASSERT_TRUE(c.Exchange(get, reply));
  EXPECT_TRUE(vz::ReplyEchoes(info.GetCmd, reply));
  EXPECT_EQ(reply.Result, cc.exists ? 1 : 0);
  if (!cc.exists) {
    EXPECT_EQ(Payload(reply, info.Size), std::vector<uint8_t>(info.Size, 0));
    EXPECT_EQ(Stored(info), wholeBefore);
    return;
  }
  const std::vector<uint8_t> sent = Payload(set, info.Size);
  EXPECT_EQ(Payload(reply, info.Size), sent);
  const std::vector<uint8_t> own = cc.kind == vz::TRecordKind::Video ? sim_->VideoConfigBytes(0, cc.channel)
                                                                     : sim_->AudioConfigBytes(0, cc.channel);
  EXPECT_EQ(own, sent);
  EXPECT_EQ(Stored(info), cc.channel == 0 ? sent : wholeBefore);
}

INSTANTIATE_TEST_SUITE_P(Channels, ChannelRecordTest,
                         ::testing::Values(ChannelCase{vz::TRecordKind::Video, 0, true},
                                           ChannelCase{vz::TRecordKind::Video, 3, true},
                                           ChannelCase{vz::TRecordKind::Video, 4, false},
                                           ChannelCase{vz::TRecordKind::Video, -1, false},
                                           ChannelCase{vz::TRecordKind::Audio, 2, true},
                                           ChannelCase{vz::TRecordKind::Audio, 4, false}));

TEST_F(SimFixture, AccountTableWithMoreThanTwentyUsersIsRefused) {
  StartSim();
  SimTestClient c;
  LogIn(c);
  const vz::TRecordInfo& info = vz::RecordInfo(vz::TRecordKind::User);
  vz::TUserCfg users = sim_->Config(0).User;
  const std::vector<uint8_t> before = Stored(info);
  users.Count = vz::kMaxUsers + 1;
  TCmdPkt set{}, reply{};
  ASSERT_TRUE(vz::BuildRecordSet(vz::TRecordKind::User, &users, sizeof users, 0, set));
  ASSERT_TRUE(c.Exchange(set, reply));
  EXPECT_EQ(reply.Result, 0);
  EXPECT_EQ(Stored(info), before);
}

TEST_F(SimFixture, AnAccountAddedOverTheWireCanLogIn) {
  StartSim();
  SimTestClient c;
  LogIn(c);
  vz::TUserCfg users = sim_->Config(0).User;
  ASSERT_EQ(vz::UserAdd(users, "viewer", "pw12345678901234567", 1), vz::TUserEdit::Done);
  TCmdPkt set{}, reply{};
  ASSERT_TRUE(vz::BuildRecordSet(vz::TRecordKind::User, &users, sizeof users, 0, set));
  ASSERT_TRUE(c.Exchange(set, reply));
  ASSERT_EQ(reply.Result, 1);
  SimTestClient viewer;
  ASSERT_TRUE(viewer.Connect(Port()));
  vz::TLoginReply login;
  ASSERT_TRUE(viewer.Login("viewer", "pw12345678901234567", 0, &login));
  EXPECT_EQ(login.UserLevel, 1);
}

TEST_F(SimFixture, PacketWithAnotherLoginIdIsNotCarriedOut) {
  StartSim();
  SimTestClient c;
  LogIn(c);
  const uint32_t id = c.LoginId();
  c.SetLoginId(id + 1);
  const vz::TRecordInfo& info = vz::RecordInfo(vz::TRecordKind::Net);
  const std::vector<uint8_t> before = Stored(info);
  const std::vector<uint8_t> pattern = Pattern(info, 9);
  TCmdPkt set{}, reply{};
  ASSERT_TRUE(vz::BuildRecordSet(vz::TRecordKind::Net, pattern.data(), pattern.size(), 0, set));
  ASSERT_TRUE(c.Exchange(set, reply));
  EXPECT_TRUE(vz::ReplyEchoes(vz::kCmdSetNetCfg, reply));
  EXPECT_EQ(reply.Result, 0);
  EXPECT_EQ(Stored(info), before);
  c.SetLoginId(id);
  ASSERT_TRUE(c.Exchange(set, reply));
  EXPECT_EQ(reply.Result, 1);
}

TEST_F(SimFixture, JournalNumbersConnectionsAndClears) {
  StartSim();
  SimTestClient a, b;
  LogIn(a);
  LogIn(b, "guest");
  const auto journal = sim_->Journal(0);
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0].cmd, vz::kCmdLogin);
  EXPECT_EQ(journal[0].loginId, 0u);
  EXPECT_EQ(journal[0].packet.size(), vz::kPktSize);
  EXPECT_NE(journal[0].connection, journal[1].connection);
  EXPECT_NE(a.LoginId(), b.LoginId());
  sim_->ClearJournal(0);
  EXPECT_TRUE(sim_->Journal(0).empty());
}

}  // namespace
}  // namespace devsimtest
