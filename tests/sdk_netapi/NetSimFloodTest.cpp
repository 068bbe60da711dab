// A stream that arrives faster than it can be drawn: the colour conversion
// of one picture then overlaps the decoding of the next. Every picture must
// still be drawn, in order, on the reading thread, and the last one must not
// wait for a frame that never comes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "NetSimEnv.h"

namespace {

using nettest::NewPlayer;
using nettest::Player;
using nettest::WaitFor;

// One D1 camera whose frames go out unpaced.
class NetFlood : public nettest::SimFixture {
 protected:
  void SetUp() override {
    vzsim::SimOptions o;
    vzsim::SimCamera cam;
    std::string error;
    ASSERT_TRUE(vzsim::ParseCamera("h264:d1:25:1024:25", &cam, &error)) << error;
    o.cameras.push_back(cam);
    StartSim(o);
    sim_->SetFault(0, vzsim::Fault::StreamFlood);
  }
};

// What the callbacks saw: 'V' per video frame from the first key frame on,
// 'D' per drawing.
struct Events {
  std::mutex lock;
  std::string seq;               // guarded by lock
  std::thread::id reader;        // guarded by lock
  bool drawn_elsewhere = false;  // guarded by lock

  static void Video(const uint8_t*, int32_t, int32_t, int32_t key, int32_t, void* user) {
    auto* e = static_cast<Events*>(user);
    std::lock_guard<std::mutex> g(e->lock);
    if (e->seq.empty() && key == 0) return;  // the decoder waits for a key frame too
    e->seq += 'V';
    e->reader = std::this_thread::get_id();
  }
  static void Draw(void*, int32_t, void* user) {
    auto* e = static_cast<Events*>(user);
    std::lock_guard<std::mutex> g(e->lock);
    e->seq += 'D';
    if (std::this_thread::get_id() != e->reader) e->drawn_elsewhere = true;
  }
  size_t Count(char c) {
    std::lock_guard<std::mutex> g(lock);
    return static_cast<size_t>(std::count(seq.begin(), seq.end(), c));
  }
};

TEST_F(NetFlood, EveryPictureIsDrawnOnTheReadingThreadAndTheLastIsNotLeftBehind) {
  Events e;
  Player p = NewPlayer();
  ASSERT_EQ(vzNet_SetAutoReConn(p.get(), 0), 1);  // after DisConn no frame comes again
  ASSERT_EQ(vzNet_SetCallBack(p.get(), Events::Video, nullptr, nullptr, Events::Draw, &e), 1);
  ASSERT_EQ(vzNet_SetDecodeStyle(p.get(), Decode_All), 1);
  ASSERT_TRUE(Connect(p.get()));
  ASSERT_EQ(vzNet_Play(p.get(), 1, 0, 0), 1);
  // The simulator encodes its loop first.
  ASSERT_TRUE(WaitFor([&] { return e.Count('D') >= 200; }, std::chrono::seconds(120))) << e.Count('D');
  ASSERT_EQ(vzNet_DisConn(p.get()), 1);
  const size_t frames = e.Count('V');
  EXPECT_TRUE(WaitFor([&] { return e.Count('D') == e.Count('V'); }))
      << e.Count('V') << " frames, " << e.Count('D') << " drawn";
  EXPECT_EQ(e.Count('V'), frames) << "frames came after DisConn";
  std::lock_guard<std::mutex> g(e.lock);
  EXPECT_FALSE(e.drawn_elsewhere);
  // The next frame's callback came before a picture was drawn: the
  // overlapped path was taken, not only the one-by-one path.
  EXPECT_NE(e.seq.find("VV"), std::string::npos) << e.seq.substr(0, 80);
  // Never more than one picture waits to be drawn.
  EXPECT_EQ(e.seq.find("VVV"), std::string::npos);
}

}  // namespace
