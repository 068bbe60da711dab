// The adapters between a player's hooks and the application's C callbacks:
// the arguments each callback gets, what is dropped, and that nothing a
// callback throws comes back.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "AVFrameHead.h"
#include "SdkTime.h"
#include "class_NetCallbacks.h"

namespace {

struct Got {
  int kind;  // 'V' or 'A'
  const uint8_t* buf;
  int32_t len, chl, key, stream;
  void* user;
};

std::vector<Got> g_got;

void OnVideo(const uint8_t* b, int32_t len, int32_t chl, int32_t key, int32_t st, void* u) {
  g_got.push_back({'V', b, len, chl, key, st, u});
}
void OnAudio(const uint8_t* b, int32_t len, int32_t chl, int32_t key, int32_t st, void* u) {
  g_got.push_back({'A', b, len, chl, key, st, u});
}

std::vector<uint8_t> Frame(uint32_t magic, uint32_t payload, uint8_t chl, uint8_t key, int32_t stream) {
  std::vector<uint8_t> f(vz::kFrameHeadSize + payload);
  vz::TAVFrameHead h{};
  h.Magic = magic;
  h.Len = payload + vz::kFrameLenOverhead;
  h.TimeStamp = 1700000000ull * 1000000ull;
  h.Chl = chl;
  h.IsIFrame = key;
  h.StreamType = stream;
  std::memcpy(f.data(), &h, sizeof h);
  for (uint32_t i = 0; i < payload; ++i) f[vz::kFrameHeadSize + i] = static_cast<uint8_t>(i);
  return f;
}

TEST(NetCallbacks, FramesReachTheirCallbackWithPayloadAndHeadFields) {
  int user = 0;
  vz::TNetCallbacks cb(&user);
  cb.SetLive({OnVideo, OnAudio, nullptr, nullptr, &user});
  struct Case {
    const char* name;
    uint32_t magic;
    uint32_t payload;
    uint8_t chl, key;
    int32_t stream;
    int kind;  // 0: dropped
  };
  const Case cases[] = {
      {"video key frame, 1000 bytes", vz::kMarkerVideo, 1000, 0, 1, 0, 'V'},
      {"sub-stream P frame", vz::kMarkerVideo, 37, 3, 0, 1, 'V'},
      {"last channel", vz::kMarkerVideo, 1, 255, 0, 0, 'V'},
      {"audio", vz::kMarkerAudio, 1024, 2, 0, 0, 'A'},
      {"status marker", 0x77777777u, 16, 0, 0, 0, 0},
      {"empty payload", vz::kMarkerVideo, 0, 0, 0, 0, 'V'},
  };
  for (const auto& c : cases) {
    g_got.clear();
    const auto f = Frame(c.magic, c.payload, c.chl, c.key, c.stream);
    cb.AVData(f.data(), static_cast<uint32_t>(f.size()));
    if (c.kind == 0) {
      EXPECT_TRUE(g_got.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(g_got.size(), 1u) << c.name;
    const Got& g = g_got[0];
    EXPECT_EQ(g.kind, c.kind) << c.name;
    EXPECT_EQ(g.buf, f.data() + 24) << c.name;
    EXPECT_EQ(g.len, static_cast<int32_t>(c.payload)) << c.name;
    EXPECT_EQ(g.chl, c.chl) << c.name;
    EXPECT_EQ(g.key, c.key) << c.name;
    EXPECT_EQ(g.stream, c.stream) << c.name;
    EXPECT_EQ(g.user, &user) << c.name;
  }
  // Shorter than a frame head, or nothing at all: dropped.
  g_got.clear();
  const auto f = Frame(vz::kMarkerVideo, 8, 0, 1, 0);
  cb.AVData(f.data(), 23);
  cb.AVData(nullptr, 100);
  EXPECT_TRUE(g_got.empty());
  // Without a callback of that kind: nothing called.
  cb.SetLive({OnVideo, nullptr, nullptr, nullptr, nullptr});
  const auto a = Frame(vz::kMarkerAudio, 1024, 0, 0, 0);
  cb.AVData(a.data(), static_cast<uint32_t>(a.size()));
  EXPECT_TRUE(g_got.empty());
}

struct AlarmGot {
  int32_t type;
  int64_t time;
  int32_t chl;
  void* user;
};
std::vector<AlarmGot> g_alarms;
void OnAlarm(int32_t type, int64_t time, int32_t chl, void* user) { g_alarms.push_back({type, time, chl, user}); }

TEST(NetCallbacks, AlarmTimeArrivesInSecondsAndDrawPassesItsContext) {
  int user = 0;
  vz::TNetCallbacks cb(&user);
  static std::vector<std::pair<void*, int32_t>> draws;
  cb.SetLive({nullptr, nullptr, OnAlarm,
              [](void* dc, int32_t chl, void* u) {
                draws.emplace_back(dc, chl);
                EXPECT_NE(u, nullptr);
              },
              &user});
  g_alarms.clear();
  const int64_t t = 1765350000;  // a whole second
  cb.Alarm(3, 2, vz::SecondsToDateTime(t));
  cb.Alarm(0, 2, vz::SecondsToDateTime(t + 9));
  ASSERT_EQ(g_alarms.size(), 2u);
  EXPECT_EQ(g_alarms[0].type, 3);
  EXPECT_EQ(g_alarms[0].time, t);
  EXPECT_EQ(g_alarms[0].chl, 2);
  EXPECT_EQ(g_alarms[0].user, &user);
  EXPECT_EQ(g_alarms[1].type, 0);
  EXPECT_EQ(g_alarms[1].time, t + 9);
  int dc = 0;
  cb.Draw(&dc, 5);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].first, &dc);
  EXPECT_EQ(draws[0].second, 5);
}

TEST(NetCallbacks, WhatACallbackThrowsStaysInside) {
  int owner = 0;
  vz::TNetCallbacks cb(&owner);
  static std::atomic<int> calls{0};
  cb.SetLive({[](const uint8_t*, int32_t, int32_t, int32_t, int32_t, void*) {
                ++calls;
                throw std::runtime_error("video");
              },
              [](const uint8_t*, int32_t, int32_t, int32_t, int32_t, void*) {
                ++calls;
                throw 42;
              },
              [](int32_t, int64_t, int32_t, void*) {
                ++calls;
                throw std::bad_alloc();
              },
              [](void*, int32_t, void*) {
                ++calls;
                throw "draw";
              },
              nullptr});
  const auto v = Frame(vz::kMarkerVideo, 10, 0, 1, 0);
  const auto a = Frame(vz::kMarkerAudio, 10, 0, 0, 0);
  EXPECT_NO_THROW(cb.AVData(v.data(), static_cast<uint32_t>(v.size())));
  EXPECT_NO_THROW(cb.AVData(a.data(), static_cast<uint32_t>(a.size())));
  EXPECT_NO_THROW(cb.Alarm(1, 0, 25569.0));
  EXPECT_NO_THROW(cb.Draw(nullptr, 0));
  EXPECT_EQ(calls.load(), 4);
  EXPECT_EQ(cb.Failures(), 4u);
  // The next frame is delivered as before.
  EXPECT_NO_THROW(cb.AVData(v.data(), static_cast<uint32_t>(v.size())));
  EXPECT_EQ(calls.load(), 5);
}

// Replacing the callbacks waits for a call in flight, so the old UserData
// may be freed once the setter returns; a callback may replace the
// callbacks of its own player without waiting for itself.
TEST(NetCallbacks, SetterWaitsForTheRunningCallbackButNotForItself) {
  static int owner = 0;
  vz::TNetCallbacks cb(&owner);
  static std::atomic<bool> inside{false};
  static std::atomic<bool> release{false};
  static std::atomic<bool> finished{false};
  cb.SetLive({[](const uint8_t*, int32_t, int32_t, int32_t, int32_t, void*) {
                inside = true;
                while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                finished = true;
              },
              nullptr, nullptr, nullptr, nullptr});
  const auto v = Frame(vz::kMarkerVideo, 10, 0, 1, 0);
  std::thread reader([&] { cb.AVData(v.data(), static_cast<uint32_t>(v.size())); });
  while (!inside) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::thread releaser([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    release = true;
  });
  cb.SetLive({});
  EXPECT_TRUE(finished.load());
  reader.join();
  releaser.join();
  EXPECT_FALSE(vz::TNetCallbacks::InCallbackOf(&owner));

  static vz::TNetCallbacks* self = nullptr;
  static std::atomic<int> own_calls{0};
  static std::atomic<bool> was_inside{false};
  self = &cb;
  cb.SetLive({[](const uint8_t*, int32_t, int32_t, int32_t, int32_t, void*) {
                ++own_calls;
                was_inside = vz::TNetCallbacks::InCallbackOf(&owner);
                self->SetLive({});  // must not wait for itself
              },
              nullptr, nullptr, nullptr, nullptr});
  cb.AVData(v.data(), static_cast<uint32_t>(v.size()));
  cb.AVData(v.data(), static_cast<uint32_t>(v.size()));
  EXPECT_EQ(own_calls.load(), 1);
  EXPECT_TRUE(was_inside.load());
}


TEST(NetCallbacks, RecordEventsPassTheirArgumentsAndSwallowWhatTheyThrow) {
  int owner = 0;
  vz::TNetCallbacks cb(&owner);
  int32_t slot = 0;
  char folder[40] = {};
  EXPECT_FALSE(cb.RecStart("a", 1, 0, 1, 1.0, "f", &slot));
  EXPECT_FALSE(cb.RecStop("a", 1, 0, 1, 5, 1.0, 2.0, "f", 0));
  EXPECT_FALSE(cb.RecPath(folder));

  static std::vector<std::string> got;
  got.clear();
  cb.SetRecord({[](const char* addr, int32_t port, int32_t chl, int32_t kind, double start, const char* file,
                   int32_t* extra) {
                  got.push_back(std::string(addr) + " " + std::to_string(port) + " " + std::to_string(chl) + " " +
                                std::to_string(kind) + " " + std::to_string(start) + " " + file);
                  *extra = 77;
                },
                [](const char*, int32_t, int32_t, int32_t, int64_t bytes, double, double, const char*,
                   int32_t extra) {
                  got.push_back(std::to_string(bytes) + " " + std::to_string(extra));
                  throw std::runtime_error("stop");
                },
                [](char* dest) { std::strcpy(dest, "/rec/here"); }});
  EXPECT_TRUE(cb.RecStart("127.0.0.1", 7000, 0, 2, 45000.5, "/rec/x.av", &slot));
  EXPECT_EQ(slot, 77);
  EXPECT_NO_THROW(EXPECT_TRUE(cb.RecStop("127.0.0.1", 7000, 0, 2, 1234567890123, 45000.5, 45000.6, "/rec/x.av", slot)));
  EXPECT_TRUE(cb.RecPath(folder));
  EXPECT_STREQ(folder, "/rec/here");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], "127.0.0.1 7000 0 2 45000.500000 /rec/x.av");
  EXPECT_EQ(got[1], "1234567890123 77");
  EXPECT_EQ(cb.Failures(), 1u);
}

}  // namespace
