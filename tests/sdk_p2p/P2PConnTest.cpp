// The tunnel path against the double of the two tunnel libraries.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AVFrameHead.h"
#include "P2PDouble.h"
#include "TestEnv.h"
#include "class_FrameHandler.h"
#include "class_P2PConn.h"
#include "class_P2PLib.h"
#include "vz_values.h"

namespace {

using vz::TP2PConn;
using vz::TP2PLib;

bool Eventually(const std::function<bool()>& done, int ms = 10000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

std::string LastText(const char* which) {
  char buf[256];
  return P2PDouble_LastText(which, buf, sizeof buf) < 0 ? std::string("(never)") : std::string(buf);
}

struct TSentMsg {
  unsigned type = 0;
  int channel = 0;
  std::vector<uint8_t> payload;
};

std::vector<TSentMsg> SentMessages() {
  std::vector<TSentMsg> out;
  for (int i = 0; i < P2PDouble_SentCount(); ++i) {
    TSentMsg m;
    uint8_t payload[64] = {0};
    const int n = P2PDouble_Sent(i, &m.channel, &m.type, payload, sizeof payload);
    m.payload.assign(payload, payload + std::min(n, 64));
    out.push_back(m);
  }
  return out;
}

int64_t LocalNowSeconds() {
  const time_t now = std::time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return static_cast<int64_t>(now) + local.tm_gmtoff;
}

// The player's side, as the tunnel sees it.
class FakeHost : public vz::IP2PHost {
 public:
  void TunnelConnecting() override { Note("connecting"); }
  void TunnelUserName(const std::string& user) override { Note(("user " + user).c_str()); }
  void TunnelConfigure(const std::string& title) override {
    Note("configure");
    std::lock_guard<std::mutex> lock(m_);
    title_ = title;
  }
  void TunnelConnected() override { Note("connected"); }
  void TunnelFrame(const uint8_t* frame, uint32_t total) override {
    std::function<void(const uint8_t*, uint32_t)> hook;
    {
      std::lock_guard<std::mutex> lock(m_);
      frames_.emplace_back(frame, frame + total);
      hook = onFrame;
    }
    cv_.notify_all();
    if (hook) hook(frame, total);
  }

  bool WaitFrames(size_t n) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, std::chrono::seconds(20), [&] { return frames_.size() >= n; });
  }
  std::vector<std::vector<uint8_t>> Frames() {
    std::lock_guard<std::mutex> lock(m_);
    return frames_;
  }
  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> lock(m_);
    return events_;
  }
  std::string Title() {
    std::lock_guard<std::mutex> lock(m_);
    return title_;
  }

  std::function<void(const uint8_t*, uint32_t)> onFrame;  // set before Connect

 private:
  void Note(const char* e) {
    std::lock_guard<std::mutex> lock(m_);
    events_.emplace_back(e);
  }
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<std::vector<uint8_t>> frames_;
  std::vector<std::string> events_;
  std::string title_;
};

class P2PDoubleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    P2PDouble_Reset();
    P2PDouble_AddDevice("ABCD1234", "Garden Cam");
    lib_ = std::make_unique<TP2PLib>(P2P_DOUBLE_TUNNEL, P2P_DOUBLE_CHANNEL);
    ASSERT_TRUE(lib_->Usable()) << lib_->Error();
    conn_ = std::make_unique<TP2PConn>(*lib_, host_);
  }
  void TearDown() override {
    conn_.reset();
    lib_.reset();
  }

  FakeHost host_;
  std::unique_ptr<TP2PLib> lib_;
  std::unique_ptr<TP2PConn> conn_;
};

TEST_F(P2PDoubleTest, AUidWithDashesIsConnectedWithoutThemAsAdminOnChannelZero) {
  P2PDouble_SetNameAnswerTry(0);
  ASSERT_TRUE(conn_->Connect("AB-CD-1234", "secret"));
  EXPECT_EQ(LastText("uid"), "ABCD1234");
  EXPECT_EQ(LastText("user"), "admin");
  EXPECT_EQ(LastText("password"), "secret");
  EXPECT_EQ(LastText("timeout_s"), "20");
  EXPECT_EQ(LastText("channel"), "0");
  EXPECT_EQ(LastText("max_channels"), "10");
  EXPECT_EQ(LastText("udp_port"), "0");
  EXPECT_EQ(host_.Title(), "AB-CD-1234");  // no name answer: the address, dashes kept
  EXPECT_EQ(host_.Events(), (std::vector<std::string>{"connecting", "user admin", "configure", "connected"}));
  EXPECT_GE(conn_->Sid(), 0);
  EXPECT_GE(conn_->Channel(), 0);
  const std::vector<TSentMsg> sent = SentMessages();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].type, 0x330u);
  EXPECT_EQ(sent[0].payload, std::vector<uint8_t>(4, 0));
  EXPECT_EQ(sent[1].type, 0x1FFu);
  EXPECT_EQ(sent[1].payload, std::vector<uint8_t>(8, 0));
  EXPECT_EQ(sent[1].channel, conn_->Channel());
  EXPECT_TRUE(conn_->Play());
  EXPECT_EQ(P2PDouble_SentCount(), 2);  // play sends nothing
}

TEST_F(P2PDoubleTest, TheNameAnswerCountsOnAnyOfFourTries) {
  struct Case {
    int answerOn;
    const char* title;
    int tries;
  };
  const Case cases[] = {{1, "Garden Cam", 1}, {4, "Garden Cam", 4}, {5, "AB-CD-1234", 4}, {0, "AB-CD-1234", 4}};
  for (const Case& c : cases) {
    P2PDouble_Reset();
    P2PDouble_AddDevice("ABCD1234", "Garden Cam");
    P2PDouble_SetNameAnswerTry(c.answerOn);
    ASSERT_TRUE(conn_->Connect("AB-CD-1234", "pw")) << c.answerOn;
    EXPECT_EQ(host_.Title(), c.title) << c.answerOn;
    EXPECT_EQ(P2PDouble_Calls("avRecvIOCtrl"), c.tries) << c.answerOn;
    EXPECT_TRUE(conn_->DisConn());
  }
}

TEST_F(P2PDoubleTest, ANameOfSixteenCharactersWithoutTerminatorIsCutAtSixteen) {
  P2PDouble_AddDevice("SIXTEEN1", "0123456789ABCDEFGHIJ");  // the answer holds only 16
  ASSERT_TRUE(conn_->Connect("SIXTEEN1", "pw"));
  EXPECT_EQ(host_.Title(), "0123456789ABCDEF");
}

TEST_F(P2PDoubleTest, FailedConnectsLeaveNoTunnelOpen) {
  struct Case {
    const char* what;
    const char* addr;
    int clientStartFailures;
    bool connects;
    int clientStarts;
  };
  const Case cases[] = {
      {"unknown UID", "ZZ-ZZ-0000", 0, false, 0},
      {"channel refused once", "AB-CD-1234", 1, true, 2},
      {"channel refused twice", "AB-CD-1234", 2, false, 2},
  };
  for (const Case& c : cases) {
    P2PDouble_Reset();
    P2PDouble_AddDevice("ABCD1234", "Garden Cam");
    if (c.clientStartFailures) P2PDouble_Fail("avClientStart", -20009, c.clientStartFailures);
    EXPECT_EQ(conn_->Connect(c.addr, "pw"), c.connects) << c.what;
    EXPECT_EQ(P2PDouble_Calls("avClientStart"), c.clientStarts) << c.what;
    if (!c.connects) {
      EXPECT_EQ(conn_->Sid(), -1) << c.what;
      EXPECT_EQ(conn_->Channel(), -1) << c.what;
      EXPECT_FALSE(conn_->ReaderRunning()) << c.what;
      EXPECT_EQ(P2PDouble_OpenSessions(), 0) << c.what;
      EXPECT_EQ(P2PDouble_SentCount(), 0) << c.what;
      EXPECT_NE(host_.Events().back(), "connected") << c.what;
    }
    conn_->DisConn();
  }
}

TEST(P2PBinding, MissingLibrariesOrEntryPointsMakeTheTunnelAnswerFalseWithoutCalls) {
  struct Case {
    const char* what;
    std::string tunnel, channel;
    bool tunnelLoaded;
  };
  const Case cases[] = {
      {"no tunnel library", "/nonexistent/libIOTCAPIs.so", P2P_DOUBLE_CHANNEL, false},
      {"no channel library", P2P_DOUBLE_TUNNEL, "/nonexistent/libAVApis.so", true},
      // The tunnel library lacks every channel entry point.
      {"channel entry points missing", P2P_DOUBLE_TUNNEL, P2P_DOUBLE_TUNNEL, true},
  };
  for (const Case& c : cases) {
    P2PDouble_Reset();
    P2PDouble_AddDevice("ABCD1234", "Garden Cam");
    FakeHost host;
    {
      TP2PLib lib(c.tunnel, c.channel);
      EXPECT_FALSE(lib.Usable()) << c.what;
      EXPECT_FALSE(lib.Error().empty()) << c.what;
      EXPECT_EQ(lib.TunnelLoaded(), c.tunnelLoaded) << c.what;
      TP2PConn conn(lib, host);
      EXPECT_FALSE(conn.Connect("AB-CD-1234", "pw")) << c.what;
      EXPECT_TRUE(conn.PTZControl(1)) << c.what;
      EXPECT_TRUE(conn.DisConn()) << c.what;
      EXPECT_FALSE(lib.ServiceStarted()) << c.what;
    }
    for (const char* f : {"avInitialize", "IOTC_Initialize", "IOTC_Connect_ByUID", "avSendIOCtrl", "IOTC_DeInitialize"}) {
      EXPECT_EQ(P2PDouble_Calls(f), 0) << c.what << ": " << f;
    }
    EXPECT_TRUE(host.Events().empty()) << c.what;
  }
}

TEST(P2PBinding, TheServiceStartsOnceAndEndsWithTheBinding) {
  P2PDouble_Reset();
  P2PDouble_AddDevice("ABCD1234", "Garden Cam");
  FakeHost host;
  {
    TP2PLib lib(P2P_DOUBLE_TUNNEL, P2P_DOUBLE_CHANNEL);
    TP2PConn a(lib, host), b(lib, host);
    EXPECT_FALSE(lib.ServiceStarted());
    P2PDouble_Fail("avInitialize", -1, 1);  // a failed start still counts as started
    EXPECT_TRUE(a.Connect("ABCD1234", "pw"));
    EXPECT_TRUE(b.Connect("ABCD1234", "pw"));
    EXPECT_TRUE(lib.ServiceStarted());
    EXPECT_EQ(P2PDouble_Calls("avInitialize"), 1);
    EXPECT_EQ(P2PDouble_Calls("IOTC_Initialize"), 1);
    EXPECT_EQ(LastText("master1"), "127.0.0.1");
    EXPECT_EQ(LastText("master3"), "localhost");
  }
  EXPECT_EQ(P2PDouble_Calls("IOTC_DeInitialize"), 1);
  for (const char* never : {"IOTC_Get_Version", "IOTC_Device_Login", "IOTC_Connect_Stop", "avSendIOCtrlExit",
                            "avRecvFrameData2", "avRecvAudioData"}) {
    EXPECT_EQ(P2PDouble_Calls(never), 0) << never;
  }
}

TEST_F(P2PDoubleTest, ATunnelFrameGetsTheFrameHeadInFrontAndReachesDecoderAndRecorders) {
  struct Case {
    int flag;
    uint8_t key;
  };
  for (const Case c : {Case{1, 1}, Case{0, 0}, Case{2, 0}}) {
    std::vector<uint8_t> payload(1000);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 13 + c.flag);
    P2PDouble_QueueFrame(payload.data(), static_cast<int>(payload.size()), c.flag);
  }
  const int64_t before = LocalNowSeconds();
  ASSERT_TRUE(conn_->Connect("AB-CD-1234", "pw"));
  ASSERT_TRUE(host_.WaitFrames(3));
  conn_->DisConn();
  const int64_t after = LocalNowSeconds();
  const std::vector<std::vector<uint8_t>> frames = host_.Frames();
  const uint8_t keys[] = {1, 0, 0};
  for (size_t i = 0; i < 3; ++i) {
    const std::vector<uint8_t>& f = frames[i];
    ASSERT_EQ(f.size(), 1024u);
    vz::TAVFrameHead h;
    std::memcpy(&h, f.data(), sizeof h);
    EXPECT_EQ(h.Magic, 0xBBBBBBBBu);
    EXPECT_EQ(h.Len, 1016u);
    EXPECT_EQ(h.Chl, 0);
    EXPECT_EQ(h.IsIFrame, keys[i]) << i;
    EXPECT_EQ(h.Reserved, 0);
    EXPECT_EQ(h.StreamType, 1);
    EXPECT_GE(static_cast<int64_t>(h.TimeStamp / 1000000), before);
    EXPECT_LE(static_cast<int64_t>(h.TimeStamp / 1000000), after);
    EXPECT_EQ(f[24], static_cast<uint8_t>(0 * 13 + (i == 0 ? 1 : i == 1 ? 0 : 2)));
  }

  // The frame path lets tunnel frames (stream index 1 on a device without a
  // sub stream) through to the recorders and the decoder.
  struct Counter : vz::IFrameRecorder, vz::IFrameVideo {
    int written = 0, decoded = 0;
    void WriteFrame(const vz::TFrameView&) override { ++written; }
    void ReopenForStream(int32_t) override {}
    void DecodeFrame(const vz::TFrameView&) override { ++decoded; }
  };
  for (const auto source : {vz::TStreamSource::Tunnel, vz::TStreamSource::SingleStream}) {
    Counter alarm, normal, video;
    vz::TFrameSeams seams;
    seams.AlarmRecorder = &alarm;
    seams.NormalRecorder = &normal;
    seams.Video = &video;
    vz::TFrameHandler handler(seams);
    handler.SetStreamSource(source);
    handler.Gate().SetDecodeStyle(vz::Decode_All);
    handler.Handle(frames[0].data(), static_cast<uint32_t>(frames[0].size()));
    const int expected = source == vz::TStreamSource::Tunnel ? 1 : 0;
    EXPECT_EQ(alarm.written, expected);
    EXPECT_EQ(normal.written, expected);
    EXPECT_EQ(video.decoded, expected);
  }
}

TEST_F(P2PDoubleTest, UnknownPtzCommandsSendControlCodeZero) {
  // Command -> control code; every command not listed sends 0.
  const std::pair<int, int> listed[] = {{1, 1},   {3, 2},   {5, 3},   {7, 6},   {9, 4},   {11, 7},
                                        {13, 5},  {15, 8},  {17, 22}, {19, 21}, {21, 23}, {23, 24},
                                        {25, 25}, {27, 26}, {33, 9},  {39, 11}, {40, 10}, {41, 12}};
  ASSERT_TRUE(conn_->Connect("AB-CD-1234", "pw"));
  const int before = P2PDouble_SentCount();
  for (int cmd = -1; cmd <= 50; ++cmd) EXPECT_TRUE(conn_->PTZControl(cmd));
  const std::vector<TSentMsg> sent = SentMessages();
  ASSERT_EQ(sent.size(), static_cast<size_t>(before + 52));
  for (int cmd = -1; cmd <= 50; ++cmd) {
    int code = 0;
    for (const auto& [c, k] : listed) {
      if (c == cmd) code = k;
    }
    const TSentMsg& m = sent[static_cast<size_t>(before + cmd + 1)];
    EXPECT_EQ(m.type, 0x1001u) << cmd;
    std::vector<uint8_t> want(8, 0);
    want[0] = static_cast<uint8_t>(code);
    EXPECT_EQ(m.payload, want) << "command " << cmd;
  }
  EXPECT_EQ(TP2PConn::PtzCode(17), 22);
  for (const int cmd : {0, 2, 30, 42}) EXPECT_EQ(TP2PConn::PtzCode(cmd), 0) << cmd;
}

TEST_F(P2PDoubleTest, DisConnLeavesNoReaderAndClosesChannelAndTunnel) {
  P2PDouble_SetVideo(1);
  ASSERT_TRUE(conn_->Connect("AB-CD-1234", "pw"));
  ASSERT_TRUE(host_.WaitFrames(2));
  EXPECT_EQ(vztest::ThreadsNamed("vzSDK p2p"), 1);
  EXPECT_TRUE(conn_->DisConn());
  EXPECT_FALSE(conn_->ReaderRunning());
  EXPECT_EQ(P2PDouble_ReadersInside(), 0);
  EXPECT_EQ(vztest::ThreadsNamed("vzSDK p2p"), 0);
  const int reads = P2PDouble_Calls("avRecvFrameData");
  const size_t frames = host_.Frames().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(P2PDouble_Calls("avRecvFrameData"), reads);
  EXPECT_EQ(host_.Frames().size(), frames);
  EXPECT_EQ(P2PDouble_OpenSessions(), 0);
  EXPECT_EQ(P2PDouble_OpenChannels(), 0);
  EXPECT_EQ(P2PDouble_Calls("avClientStop"), 1);
  EXPECT_EQ(P2PDouble_Calls("IOTC_Session_Close"), 1);
  const std::vector<TSentMsg> sent = SentMessages();
  EXPECT_EQ(sent.back().type, 0x2FFu);
  EXPECT_EQ(sent.back().payload, std::vector<uint8_t>(8, 0));
  EXPECT_EQ(conn_->Sid(), -1);
  EXPECT_EQ(conn_->Channel(), -1);
}

TEST_F(P2PDoubleTest, AConnectOnAnOpenTunnelReplacesItWithOneReader) {
  P2PDouble_SetVideo(1);
  ASSERT_TRUE(conn_->Connect("AB-CD-1234", "pw"));
  ASSERT_TRUE(host_.WaitFrames(1));
  ASSERT_TRUE(conn_->Connect("AB-CD-1234", "pw"));
  ASSERT_TRUE(host_.WaitFrames(3));  // the new reader runs and has named itself
  EXPECT_EQ(vztest::ThreadsNamed("vzSDK p2p"), 1);
  EXPECT_EQ(P2PDouble_OpenSessions(), 1);
  EXPECT_EQ(P2PDouble_OpenChannels(), 1);
  conn_.reset();  // the destructor disconnects
  EXPECT_EQ(vztest::ThreadsNamed("vzSDK p2p"), 0);
  EXPECT_EQ(P2PDouble_OpenSessions(), 0);
}

TEST_F(P2PDoubleTest, DisConnFromAFrameHookOnTheReaderEndsTheReaderAfterTheHook) {
  P2PDouble_SetVideo(1);
  TP2PConn* conn = conn_.get();
  std::atomic<int> calls{0};
  host_.onFrame = [&](const uint8_t*, uint32_t) {
    if (calls++ == 0) conn->DisConn();
  };
  ASSERT_TRUE(conn_->Connect("AB-CD-1234", "pw"));
  ASSERT_TRUE(host_.WaitFrames(1));
  EXPECT_TRUE(Eventually([&] { return vztest::ThreadsNamed("vzSDK p2p") == 0; }));
  EXPECT_FALSE(conn_->ReaderRunning());
  EXPECT_EQ(calls.load(), 1);
  EXPECT_EQ(P2PDouble_OpenSessions(), 0);
}

TEST_F(P2PDoubleTest, ReadStatusCodesEitherRetryOrEndTheReader) {
  struct Case {
    int code;
    bool ends;
  };
  const Case cases[] = {{-11, true}, {-13, true}, {-22, true}, {-23, true},
                        {-18, false}, {-19, false}, {-2, false}, {0, false}, {-20, false}, {-1, false}};
  for (const Case& c : cases) {
    P2PDouble_SetIdleCode(c.code);
    ASSERT_TRUE(conn_->Connect("AB-CD-1234", "pw")) << c.code;
    if (c.ends) {
      EXPECT_TRUE(Eventually([&] { return !conn_->ReaderRunning(); })) << c.code;
      EXPECT_EQ(P2PDouble_Calls("avRecvFrameData"), 1) << c.code;
    } else {
      EXPECT_TRUE(Eventually([&] { return P2PDouble_Calls("avRecvFrameData") >= 3; })) << c.code;
      EXPECT_TRUE(conn_->ReaderRunning()) << c.code;
    }
    EXPECT_TRUE(host_.Frames().empty());
    conn_->DisConn();
    P2PDouble_Reset();
    P2PDouble_AddDevice("ABCD1234", "Garden Cam");
  }
}

TEST_F(P2PDoubleTest, TheDoublesVideoDecodesTo640x480) {
  if (P2PDouble_SetVideo(1) == 0) GTEST_SKIP() << "no H.264 encoder in this libavcodec";
  ASSERT_TRUE(conn_->Connect("AB-CD-1234", "pw"));
  ASSERT_TRUE(host_.WaitFrames(3));
  conn_->DisConn();
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  ASSERT_NE(codec, nullptr);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->thread_count = 1;
  ASSERT_EQ(avcodec_open2(ctx, codec, nullptr), 0);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* pic = av_frame_alloc();
  int pictures = 0;
  const std::vector<std::vector<uint8_t>> frames = host_.Frames();
  vz::TAVFrameHead first;
  std::memcpy(&first, frames[0].data(), sizeof first);
  EXPECT_EQ(first.IsIFrame, 1);
  for (const std::vector<uint8_t>& f : frames) {
    std::vector<uint8_t> data(f.begin() + 24, f.end());
    data.resize(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    pkt->data = data.data();
    pkt->size = static_cast<int>(f.size() - 24);
    ASSERT_EQ(avcodec_send_packet(ctx, pkt), 0);
    while (avcodec_receive_frame(ctx, pic) == 0) {
      EXPECT_EQ(pic->width, 640);
      EXPECT_EQ(pic->height, 480);
      ++pictures;
    }
  }
  EXPECT_GE(pictures, 1);
  av_frame_free(&pic);
  av_packet_free(&pkt);
  avcodec_free_context(&ctx);
}

TEST(P2PConfig, TheFixedConfigurationDescribesOneH264ChannelOf640x480) {
  vz::TDevCfg cfg{};
  std::memset(&cfg, 0x5A, sizeof cfg);
  TP2PConn::ApplyTunnelConfig(cfg, "AB-CD-1234");
  EXPECT_EQ(cfg.DevInfo.DevType, 11);
  EXPECT_EQ(cfg.DevInfo.VideoChannels, 1);
  const auto* info = reinterpret_cast<const uint8_t*>(&cfg.DevInfo);
  for (int i = 164; i <= 167; ++i) EXPECT_EQ(info[i], 1) << i;
  EXPECT_EQ(info[171], 0x5A);  // the sub-stream flag is left alone
  EXPECT_EQ(cfg.Video.Width, 640);
  EXPECT_EQ(cfg.Video.Height, 480);
  EXPECT_EQ(cfg.Video.Codec, vz::H264);
  EXPECT_EQ(cfg.Video.FrameRate, 30);
  EXPECT_EQ(cfg.Video.BitRate, 262144);
  EXPECT_EQ(cfg.Video.SubCodec, 2);
  EXPECT_EQ(cfg.Video.SubResolution, 15);
  EXPECT_EQ(cfg.Video.SubFrameRate, 30);
  EXPECT_EQ(cfg.Video.SubBitRate, 262144);
  EXPECT_STREQ(cfg.Video.OsdTitle, "AB-CD-1234");
}

}  // namespace
