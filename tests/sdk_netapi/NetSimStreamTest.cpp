// The stream of the live-player functions against the simulated device:
// what reaches the callbacks, talk, and ending a streaming player.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "NetSimEnv.h"
#include "class_AxPlay.h"
#include "NetTestEnv.h"
#include "ReturnsWithin.h"
#include "TapRelay.h"

namespace {

using Clock = std::chrono::steady_clock;
using nettest::NewPlayer;
using nettest::Player;
using nettest::WaitFor;
using std::chrono::milliseconds;
using std::chrono::seconds;

// What the callbacks of one player saw.
struct Seen {
  struct Frame {
    uint32_t marker;
    int32_t chl, key, stream;
    std::vector<uint8_t> payload;
  };
  struct Alarm {
    int32_t type;
    int64_t time;
    int32_t chl;
  };
  std::mutex lock;
  std::vector<Frame> frames;  // guarded by lock
  std::vector<Alarm> alarms;  // guarded by lock
  std::atomic<int> video{0}, audio{0}, throws{0};
  bool throwing = false;  // set before the callbacks are installed

  static void Video(const uint8_t* buf, int32_t len, int32_t chl, int32_t key, int32_t stream, void* user) {
    static_cast<Seen*>(user)->Add(0xBBBBBBBBu, buf, len, chl, key, stream);
  }
  static void Audio(const uint8_t* buf, int32_t len, int32_t chl, int32_t key, int32_t stream, void* user) {
    static_cast<Seen*>(user)->Add(0xCCCCCCCCu, buf, len, chl, key, stream);
  }
  static void OnAlarm(int32_t type, int64_t time, int32_t chl, void* user) {
    auto* s = static_cast<Seen*>(user);
    {
      std::lock_guard<std::mutex> g(s->lock);
      s->alarms.push_back({type, time, chl});
    }
    if (s->throwing) {
      ++s->throws;
      throw std::runtime_error("alarm");
    }
  }
  void Add(uint32_t marker, const uint8_t* buf, int32_t len, int32_t chl, int32_t key, int32_t stream) {
    {
      std::lock_guard<std::mutex> g(lock);
      frames.push_back({marker, chl, key, stream, std::vector<uint8_t>(buf, buf + len)});
    }
    ++(marker == 0xBBBBBBBBu ? video : audio);
    if (throwing) {
      ++throws;
      throw std::logic_error("frame");
    }
  }
  std::vector<Frame> Frames() {
    std::lock_guard<std::mutex> g(lock);
    return frames;
  }
  std::vector<Alarm> Alarms() {
    std::lock_guard<std::mutex> g(lock);
    return alarms;
  }
};

// The ids of this process's threads.
std::set<int> Threads() {
  std::set<int> ids;
  if (DIR* d = ::opendir("/proc/self/task")) {
    while (const dirent* e = ::readdir(d)) {
      if (e->d_name[0] != '.') ids.insert(std::atoi(e->d_name));
    }
    ::closedir(d);
  }
  return ids;
}

// A DVR of four channels streaming small H.264 pictures.
class NetStream : public nettest::SimFixture {
 protected:
  void SetUp() override {
    vzsim::SimOptions o;
    o.model = "dvr";
    vzsim::SimCamera cam;
    cam.codec = 2;  // H.264
    cam.width = 352;
    cam.height = 288;
    cam.fps = 25;
    cam.kbps = 256;
    cam.keyInterval = 10;
    o.cameras.push_back(cam);
    StartSim(o);
  }
};

// Every frame the device sends reaches the video or audio callback with
// its payload, channel, key-frame flag and stream type, in the order sent;
// the masks of vzNet_Play pick the channels and streams.
TEST_F(NetStream, FramesReachTheCallbacksExactlyAsSentAndInOrder) {
  nettest::TapRelay relay(sim_->Port(0));
  ASSERT_NE(relay.Port(), 0);
  Seen seen;
  Player p = NewPlayer();
  ASSERT_EQ(vzNet_SetCallBack(p.get(), Seen::Video, Seen::Audio, Seen::OnAlarm, nullptr, &seen), 1);

  int32_t w = -7, h = -7, sw = -7, sh = -7;
  EXPECT_EQ(vzNet_GetResolution(p.get(), &w, &h, &sw, &sh), 0);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(sw, -7);
  EXPECT_EQ(sh, -7);

  ASSERT_TRUE(Connect(p.get(), "admin", relay.Port()));
  EXPECT_EQ(vzNet_IsConnect(p.get()), 1);
  EXPECT_EQ(vzNet_IsConning(p.get()), 0);
  ASSERT_EQ(vzNet_GetResolution(p.get(), &w, &h, &sw, &sh), 1);
  const vz::TDevCfg cfg = sim_->Config(0);
  EXPECT_EQ(w, cfg.Video.Width);
  EXPECT_EQ(h, cfg.Video.Height);
  EXPECT_GT(sw, 0);
  EXPECT_GT(sh, 0);

  // Main stream of channels 0 and 2, sub stream of channel 1, sound of 0.
  ASSERT_EQ(vzNet_Play(p.get(), 0x5, 0x1, 0x2), 1);
  ASSERT_TRUE(WaitFor([&] { return seen.video >= 60 && seen.audio >= 3; }))
      << seen.video << " video, " << seen.audio << " audio frames";
  EXPECT_EQ(vzNet_IsPlay(p.get()), 1);
  EXPECT_GT(vzNet_LastRecvDataTime(p.get()), 0);
  p.reset();

  const auto got = seen.Frames();
  const auto sent = relay.Frames();
  ASSERT_LE(got.size(), sent.size());
  std::set<std::tuple<uint32_t, int32_t, int32_t>> kinds;
  int keys = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    const auto& g = got[i];
    const auto& s = sent[i];
    ASSERT_EQ(g.marker, s.marker) << "frame " << i;
    ASSERT_EQ(g.chl, s.chl) << "frame " << i;
    ASSERT_EQ(g.key, s.key) << "frame " << i;
    ASSERT_EQ(g.stream, s.stream) << "frame " << i;
    ASSERT_EQ(g.payload, s.payload) << "frame " << i;
    kinds.insert({g.marker, g.chl, g.marker == 0xBBBBBBBBu ? g.stream : 0});
    keys += g.marker == 0xBBBBBBBBu && g.key == 1;
  }
  const std::set<std::tuple<uint32_t, int32_t, int32_t>> wanted = {
      {0xBBBBBBBBu, 0, 0}, {0xBBBBBBBBu, 2, 0}, {0xBBBBBBBBu, 1, 1}, {0xCCCCCCCCu, 0, 0}};
  EXPECT_EQ(kinds, wanted);
  EXPECT_GE(keys, 3);
}

TEST_F(NetStream, AlarmsReachTheAlarmCallbackAndThrowingCallbacksStayInside) {
  Seen seen;
  seen.throwing = true;
  Player p = NewPlayer();
  ASSERT_EQ(vzNet_SetCallBack(p.get(), Seen::Video, Seen::Audio, Seen::OnAlarm, nullptr, &seen), 1);
  ASSERT_TRUE(Connect(p.get()));
  ASSERT_EQ(vzNet_Play(p.get(), 1, 1, 0), 1);
  ASSERT_TRUE(WaitFor([&] { return seen.video >= 10; }));

  sim_->RaiseAlarm(0, 2, 3);
  ASSERT_TRUE(WaitFor([&] { return seen.Alarms().size() >= 1; }));
  sim_->ClearAlarm(0, 2, 3);
  ASSERT_TRUE(WaitFor([&] { return seen.Alarms().size() >= 2; }));
  const auto alarms = seen.Alarms();
  const int64_t device_now = sim_->DeviceTime(0);
  EXPECT_EQ(alarms[0].type, 3);
  EXPECT_EQ(alarms[0].chl, 2);
  EXPECT_NEAR(static_cast<double>(alarms[0].time), static_cast<double>(device_now), 30.0);
  EXPECT_EQ(alarms[1].type, 0);
  EXPECT_EQ(alarms[1].chl, 2);

  // Every callback threw, and frames keep coming on the same connection.
  const int before = seen.video;
  ASSERT_TRUE(WaitFor([&] { return seen.video >= before + 25; }));
  EXPECT_EQ(vzNet_IsConnect(p.get()), 1);
  EXPECT_EQ(seen.throws.load(), seen.video + seen.audio + static_cast<int>(seen.Alarms().size()));
}

// Players logged in with each user level get video and audio frames, all
// three streaming at once, and each is freed while its frames flow.
TEST_F(NetStream, FramesReachPlayersOfEachUserLevel) {
  const char* const users[] = {"admin", "operator", "guest"};
  Seen seen[3];
  Player p[3];
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(users[i]);
    p[i] = NewPlayer();
    ASSERT_EQ(vzNet_SetCallBack(p[i].get(), Seen::Video, Seen::Audio, nullptr, nullptr, &seen[i]), 1);
    ASSERT_TRUE(Connect(p[i].get(), users[i]));
    EXPECT_EQ(reinterpret_cast<TAxPlay*>(p[i].get())->UserLevel(), 3 - i);
    ASSERT_EQ(vzNet_Play(p[i].get(), 0xF, 0x1, 0), 1);
  }
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(users[i]);
    EXPECT_TRUE(WaitFor([&] { return seen[i].video >= 40 && seen[i].audio >= 2; }))
        << seen[i].video << " video, " << seen[i].audio << " audio frames";
  }
  // vzNet_Free runs on the GUI thread of a client: it must never hang.
  for (int i = 0; i < 3; ++i) {
    vzNetHandle h = p[i].release();
    auto freed = std::make_shared<std::atomic<vzBool>>(0);  // outlives a Free that hangs
    EXPECT_TRUE(vztest::ReturnsWithin([h, freed] { *freed = vzNet_Free(h); }, seconds(30))) << users[i];
    EXPECT_EQ(freed->load(), 1) << users[i];
  }
  EXPECT_TRUE(WaitFor([&] { return sim_->OpenConnections(0) == 0; }));
}

// vzNet_Free of a connected, streaming player disconnects first, returns
// well within the stream's own read time-out and leaves no thread behind.
TEST_F(NetStream, FreeOfAStreamingPlayerReturnsPromptlyAndLeavesNoThread) {
  const std::set<int> before = Threads();
  Seen seen;
  vzNetHandle h = nullptr;
  ASSERT_EQ(vzNet_Init(&h, devNone, 0, 0, 0, 0), 1);
  ASSERT_EQ(vzNet_SetCallBack(h, Seen::Video, Seen::Audio, nullptr, nullptr, &seen), 1);
  ASSERT_TRUE(Connect(h));
  ASSERT_EQ(vzNet_Play(h, 0xF, 0xF, 0), 1);
  ASSERT_TRUE(WaitFor([&] { return seen.video >= 20; }));

  const auto t0 = Clock::now();
  EXPECT_EQ(vzNet_Free(h), 1);
  EXPECT_LT(Clock::now() - t0, milliseconds(4000));
  const int after_free = seen.video + seen.audio;
  EXPECT_TRUE(WaitFor([&] { return sim_->OpenConnections(0) == 0; }));
  sim_->Stop();

  std::set<int> left;
  WaitFor(
      [&] {
        left.clear();
        for (int id : Threads())
          if (before.count(id) == 0) left.insert(id);
        return left.empty();
      },
      seconds(10));
  EXPECT_TRUE(left.empty()) << left.size() << " threads left";
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_EQ(seen.video + seen.audio, after_free);  // no callback after Free
}

// The microphone's bytes reach the device in talk packets of the player's
// stream connection until the talk object is pointed at no player.
TEST_F(NetStream, TalkSendsTheMicrophoneToThePlayersDevice) {
  vzTalkHandle talk = reinterpret_cast<vzTalkHandle>(&talk);
  ASSERT_EQ(vzNet_InitTalk(&talk), 1);
  ASSERT_NE(talk, nullptr);
  Player p = NewPlayer();
  ASSERT_TRUE(Connect(p.get()));
  // The test's file-backed microphone hands out its file at 16 kHz only
  // (other rates give silence), so the device is set to that rate; the
  // talk format follows the player's copy of the device's audio record.
  TAxPlay* player = reinterpret_cast<TAxPlay*>(p.get());
  vz::TAudioCfg audio = player->Cfg().Audio;
  audio.SampleRate = 16000;
  audio.AvgBytesPerSec = 16000 * 2 * audio.Channels;
  ASSERT_TRUE(player->SetAudioCfg(&audio, 0));
  ASSERT_EQ(player->Cfg().Audio.SampleRate, 16000);

  sim_->ClearTalkPackets(0);
  ASSERT_EQ(vzNet_SetTalk(talk, p.get()), 1);
  ASSERT_TRUE(WaitFor([&] { return sim_->TalkPackets(0).size() >= 3; }));
  ASSERT_EQ(vzNet_SetTalk(talk, nullptr), 1);
  // What was on its way when the talk paused arrives; then nothing more.
  size_t settled = 0;
  ASSERT_TRUE(WaitFor([&] {
    const size_t before = sim_->TalkPackets(0).size();
    std::this_thread::sleep_for(milliseconds(200));
    settled = sim_->TalkPackets(0).size();
    return settled == before;
  }));
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_EQ(sim_->TalkPackets(0).size(), settled) << "sent after the talk was paused";

  const auto packets = sim_->TalkPackets(0);
  ASSERT_LT(packets.size(), 1024u) << "the device keeps the last 1024 packets only";
  std::string samples;
  for (const auto& t : packets) {
    EXPECT_EQ(t.problem, "");
    EXPECT_EQ(t.address, "127.0.0.1");
    EXPECT_EQ(t.port, sim_->Port(0));
    samples.append(t.samples.begin(), t.samples.end());
  }
  // The file is read as fast as it goes; what follows its end is not ours
  // to check.
  const std::string mic = nettest::MicrophoneBytes();
  const size_t n = std::min(samples.size(), mic.size());
  ASSERT_GE(n, 3u * 4096u);
  EXPECT_TRUE(mic.compare(0, n, samples, 0, n) == 0) << "the device got other bytes than recorded";
  EXPECT_EQ(vzNet_FreeTalk(talk), 1);
}


// A callback may end its own player: vzNet_DisConn there closes the stream,
// vzNet_Free there destroys the player once the callback has returned, and
// no callback follows either.
TEST_F(NetStream, ACallbackMayDisconnectOrFreeItsOwnPlayer) {
  struct Ender {
    vzNetHandle h = nullptr;
    bool free = false;
    std::atomic<int> calls{0};
    std::atomic<int> ended{0};
    static void Video(const uint8_t*, int32_t, int32_t, int32_t, int32_t, void* user) {
      auto* e = static_cast<Ender*>(user);
      if (++e->calls != 5) return;
      e->ended = e->free ? vzNet_Free(e->h) : vzNet_DisConn(e->h);
    }
  };
  for (const bool free : {false, true}) {
    SCOPED_TRACE(free ? "vzNet_Free" : "vzNet_DisConn");
    Ender e;
    e.free = free;
    ASSERT_EQ(vzNet_Init(&e.h, devNone, 0, 0, 0, 0), 1);
    ASSERT_EQ(vzNet_SetAutoReConn(e.h, 0), 1);
    ASSERT_EQ(vzNet_SetCallBack(e.h, Ender::Video, nullptr, nullptr, nullptr, &e), 1);
    ASSERT_TRUE(Connect(e.h));
    ASSERT_EQ(vzNet_Play(e.h, 1, 0, 0), 1);
    ASSERT_TRUE(WaitFor([&] { return e.ended.load() != 0; }));
    EXPECT_EQ(e.ended.load(), 1);
    EXPECT_TRUE(WaitFor([&] { return sim_->OpenConnections(0) == 0; }));
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(e.calls.load(), 5);
    if (!free) {
      EXPECT_EQ(vzNet_IsConnect(e.h), 0);
      EXPECT_EQ(vzNet_Free(e.h), 1);
    }
  }
}

// A draw callback may reconnect its own player: the picture it draws on
// is held for it, not locked inside the decoder that the connect reopens.
TEST_F(NetStream, TheDrawCallbackMayReconnectItsOwnPlayer) {
  struct Reconnect {
    vzNetHandle h = nullptr;
    int port = 0;
    std::atomic<int> draws{0};
    std::atomic<int> connected{-1};
    static void Draw(void*, int32_t, void* user) {
      auto* r = static_cast<Reconnect*>(user);
      if (++r->draws != 3) return;
      r->connected = vzNet_Connect(r->h, "admin", "admin", "127.0.0.1", "127.0.0.1", r->port,
                                   nettest::kConnectTimeOutMs);
    }
  };
  Reconnect r;
  Player p = NewPlayer();
  r.h = p.get();
  r.port = sim_->Port(0);
  ASSERT_EQ(vzNet_SetCallBack(p.get(), nullptr, nullptr, nullptr, Reconnect::Draw, &r), 1);
  ASSERT_EQ(vzNet_SetDecodeStyle(p.get(), Decode_All), 1);
  ASSERT_TRUE(Connect(p.get()));
  ASSERT_EQ(vzNet_Play(p.get(), 1, 0, 0), 1);
  EXPECT_TRUE(WaitFor([&] { return r.connected.load() != -1; })) << r.draws.load() << " pictures drawn";
  EXPECT_EQ(r.connected.load(), 1);
  if (r.connected.load() == 1) {
    // Connected again, not streaming yet: Play brings the pictures back.
    EXPECT_EQ(vzNet_Play(p.get(), 1, 0, 0), 1);
    EXPECT_TRUE(WaitFor([&] { return r.draws.load() >= 10; })) << r.draws.load() << " pictures drawn";
  }
  vzNetHandle h = p.release();
  EXPECT_TRUE(vztest::ReturnsWithin([h] { vzNet_Free(h); }, seconds(30)));
}

// A callback may create and free other players, even while the application
// frees the callback's own player: freeing waits for the reading thread's
// step, so it must not hold the process-wide player lock meanwhile.
TEST_F(NetStream, ACallbackMayCreateAndFreeAnotherPlayerWhileItsOwnIsFreed) {
  struct Maker {
    std::atomic<int> entered{0};
    std::atomic<int> made{0};
    static void Video(const uint8_t*, int32_t, int32_t, int32_t, int32_t, void* user) {
      auto* m = static_cast<Maker*>(user);
      if (m->entered.exchange(1) != 0) return;
      // Long enough for the application's Free to be waiting for this step.
      std::this_thread::sleep_for(milliseconds(300));
      vzNetHandle other = nullptr;
      if (vzNet_Init(&other, devNone, 0, 0, 0, 0) == 1) {
        vzNet_Free(other);
        m->made = 1;
      }
    }
  };
  Maker m;
  vzNetHandle h = nullptr;
  ASSERT_EQ(vzNet_Init(&h, devNone, 0, 0, 0, 0), 1);
  ASSERT_EQ(vzNet_SetCallBack(h, Maker::Video, nullptr, nullptr, nullptr, &m), 1);
  ASSERT_TRUE(Connect(h));
  ASSERT_EQ(vzNet_Play(h, 1, 0, 0), 1);
  ASSERT_TRUE(WaitFor([&] { return m.entered.load() != 0; }));
  EXPECT_TRUE(vztest::ReturnsWithin([h] { vzNet_Free(h); }, seconds(30)));
  EXPECT_EQ(m.made.load(), 1);
}

}  // namespace
