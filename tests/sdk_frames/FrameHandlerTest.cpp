#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "FrameBytes.h"
#include "class_FrameHandler.h"

namespace {

using frametest::MakeFrame;
using frametest::TFrameSpec;
using TLog = std::vector<std::string>;

class FakeRecorder : public vz::IFrameRecorder {
 public:
  FakeRecorder(const char* name, TLog& log, vz::TFrameHandler*& owner) : name_(name), log_(log), owner_(owner) {}
  void WriteFrame(const vz::TFrameView& f) override {
    // The cache count shows the frame was cached before any recorder saw it.
    log_.push_back(std::string(name_) + " " + std::to_string(f.FrameBytes) +
                   " cached=" + std::to_string(owner_->Cache().PendingCount()));
  }

 private:
  const char* name_;
  TLog& log_;
  vz::TFrameHandler*& owner_;
};

class FakeVideo : public vz::IFrameVideo {
 public:
  FakeVideo(TLog& log, std::mutex& decoder_lock) : log_(log), lock_(decoder_lock) {}
  void ReopenForStream(int32_t type) override {
    const bool held = !lock_.try_lock();
    if (!held) lock_.unlock();
    log_.push_back("reopen " + std::to_string(type) + (held ? " locked" : " UNLOCKED"));
  }
  void DecodeFrame(const vz::TFrameView& f) override {
    log_.push_back("decode " + std::to_string(f.PayloadBytes) + (f.Head.IsIFrame ? " key" : ""));
  }

 private:
  TLog& log_;
  std::mutex& lock_;
};

class FakeAudio : public vz::IFrameAudio {
 public:
  explicit FakeAudio(TLog& log) : log_(log) {}
  void PlayAudio(const uint8_t* pcm, uint32_t bytes) override {
    log_.push_back("audio " + std::to_string(bytes) + (pcm[0] == 0x5A ? "" : " WRONG"));
  }

 private:
  TLog& log_;
};

class HandlerFixture {
 public:
  HandlerFixture()
      : alarm_("alarm", log, self_), normal_("normal", log, self_), video_(log, decoder_lock_), audio_(log) {
    vz::TFrameSeams seams;
    seams.OnFrameTime = [this](uint64_t s) { log.push_back("time " + std::to_string(s)); };
    seams.AlarmRecorder = &alarm_;
    seams.NormalRecorder = &normal_;
    seams.Video = &video_;
    seams.Audio = &audio_;
    seams.DecoderLock = &decoder_lock_;
    handler = std::make_unique<vz::TFrameHandler>(std::move(seams));
    self_ = handler.get();
    handler->SetOnAVData([this](const uint8_t*, uint32_t total) { log.push_back("avdata " + std::to_string(total)); });
    handler->SetOnAudioRaw([this](const uint8_t*, uint32_t n) { log.push_back("raw " + std::to_string(n)); });
    handler->Cache().SetPreAlarmTime(1);
    handler->Gate().SetDecodeStyle(vz::Decode_All);
  }
  void Feed(const TFrameSpec& s) {
    const std::vector<uint8_t> f = MakeFrame(s);
    handler->Handle(f.data(), static_cast<uint32_t>(f.size()));
  }

  TLog log;
  std::unique_ptr<vz::TFrameHandler> handler;

 private:
  vz::TFrameHandler* self_ = nullptr;
  std::mutex decoder_lock_;
  FakeRecorder alarm_;
  FakeRecorder normal_;
  FakeVideo video_;
  FakeAudio audio_;
};

struct THandleCase {
  const char* name;
  vz::TStreamSource source;
  int32_t record;
  int32_t display;
  int32_t decoder_opened_for;
  uint8_t style;
  uint64_t audio_mask;
  TFrameSpec frame;
  TLog expected;
};

class FrameHandlerOrder : public ::testing::TestWithParam<THandleCase> {};

TEST_P(FrameHandlerOrder, PassesEachFrameThroughTheFixedOrder) {
  const THandleCase& c = GetParam();
  HandlerFixture fx;
  fx.handler->SetStreamSource(c.source);
  fx.handler->SetRecordStreamType(c.record);
  fx.handler->SetDisplayStreamType(c.display);
  fx.handler->SetDecoderStreamType(c.decoder_opened_for);
  fx.handler->Gate().SetDecodeStyle(c.style);
  fx.handler->SetAudioPlayMask(c.audio_mask);
  fx.Feed(c.frame);
  EXPECT_EQ(fx.log, c.expected) << c.name;
}

using vz::TStreamSource;
constexpr uint64_t kT = 1700000000;  // seconds
constexpr uint64_t kMs = kT * 1000;

TFrameSpec Video(uint32_t bytes, bool key, int32_t stream) { return TFrameSpec{true, bytes, kMs, 0, key, stream}; }
TFrameSpec Audio(uint32_t bytes, uint8_t chl) { return TFrameSpec{false, bytes, kMs, chl, false, 0}; }

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameHandlerOrder,
    ::testing::Values(
        THandleCase{"main key frame, single stream", TStreamSource::SingleStream, 0, 0, 0, vz::Decode_All, 1,
                    Video(100, true, 0),
                    {"time 1700000000", "avdata 124", "alarm 124 cached=1", "normal 124 cached=1", "decode 100 key"}},
        THandleCase{"sub stream on a single-stream device", TStreamSource::SingleStream, 1, 1, 1, vz::Decode_All, 1,
                    Video(100, true, 1), {"time 1700000000", "avdata 124"}},
        THandleCase{"recorded sub stream, displayed main", TStreamSource::WithSubStream, 1, 0, 0, vz::Decode_All, 1,
                    Video(100, true, 1),
                    {"time 1700000000", "avdata 124", "alarm 124 cached=1", "normal 124 cached=1"}},
        THandleCase{"displayed sub stream, recorded main", TStreamSource::WithSubStream, 0, 1, 1, vz::Decode_All, 1,
                    Video(100, true, 1), {"time 1700000000", "avdata 124", "decode 100 key"}},
        THandleCase{"tunnel frames are recorded and shown", TStreamSource::Tunnel, 0, 0, 0, vz::Decode_All, 1,
                    Video(100, true, 1),
                    {"time 1700000000", "avdata 124", "alarm 124 cached=1", "normal 124 cached=1", "decode 100 key"}},
        THandleCase{"decode style none still records", TStreamSource::SingleStream, 0, 0, 0, vz::Decode_None, 1,
                    Video(100, true, 0),
                    {"time 1700000000", "avdata 124", "alarm 124 cached=1", "normal 124 cached=1"}},
        THandleCase{"P-frame while waiting for a key", TStreamSource::SingleStream, 0, 0, 0, vz::Decode_All, 1,
                    Video(100, false, 0),
                    {"time 1700000000", "avdata 124", "alarm 124 cached=1", "normal 124 cached=1"}},
        THandleCase{"display stream changed: reopen under the lock", TStreamSource::SingleStream, 0, 1, 0,
                    vz::Decode_All, 1, Video(100, true, 0),
                    {"time 1700000000", "avdata 124", "reopen 1 locked", "alarm 124 cached=1", "normal 124 cached=1",
                     "decode 100 key"}},
        THandleCase{"audio of a played channel", TStreamSource::SingleStream, 0, 0, 0, vz::Decode_All, 1,
                    Audio(1024, 0),
                    {"time 1700000000", "avdata 1048", "alarm 1048 cached=1", "normal 1048 cached=1", "raw 1024",
                     "audio 1024"}},
        THandleCase{"audio of 1023 bytes is not played", TStreamSource::SingleStream, 0, 0, 0, vz::Decode_All, 1,
                    Audio(1023, 0),
                    {"time 1700000000", "avdata 1047", "alarm 1047 cached=1", "normal 1047 cached=1"}},
        THandleCase{"audio of a channel outside the mask", TStreamSource::SingleStream, 0, 0, 0, vz::Decode_All, 1,
                    Audio(2048, 1),
                    {"time 1700000000", "avdata 2072", "alarm 2072 cached=1", "normal 2072 cached=1"}},
        THandleCase{"channel 63, the mask's top bit", TStreamSource::SingleStream, 0, 0, 0, vz::Decode_All,
                    1ull << 63, Audio(1024, 63),
                    {"time 1700000000", "avdata 1048", "alarm 1048 cached=1", "normal 1048 cached=1", "raw 1024",
                     "audio 1024"}},
        THandleCase{"channel 64 is beyond any mask", TStreamSource::SingleStream, 0, 0, 0, vz::Decode_All, ~0ull,
                    Audio(1024, 64),
                    {"time 1700000000", "avdata 1048", "alarm 1048 cached=1", "normal 1048 cached=1"}}));

TEST(FrameHandler, FramesOfTwentyFourBytesOrBrokenLengthsDoNothing) {
  HandlerFixture fx;
  std::vector<uint8_t> f = MakeFrame(Video(1, true, 0));  // 25 bytes
  fx.handler->Handle(f.data(), 24);
  fx.handler->Handle(f.data(), 0);
  fx.handler->Handle(nullptr, 25);
  EXPECT_TRUE(fx.log.empty());
  std::vector<uint8_t> longer = MakeFrame(Video(100, true, 0));
  fx.handler->Handle(longer.data(), 123);  // head announces 124
  EXPECT_TRUE(fx.log.empty());
  fx.handler->Handle(f.data(), 25);
  EXPECT_EQ(fx.log.size(), 5u);
  EXPECT_EQ(fx.log.back(), "decode 1 key");
}

TEST(FrameHandler, AThrowingDataHookDoesNotStopTheFrame) {
  HandlerFixture fx;
  fx.handler->SetOnAVData([](const uint8_t*, uint32_t) { throw std::runtime_error("user callback"); });
  fx.Feed(Video(100, true, 0));
  EXPECT_EQ(fx.log, (TLog{"time 1700000000", "alarm 124 cached=1", "normal 124 cached=1", "decode 100 key"}));
}

TEST(FrameHandler, RemovedHooksAreNotCalled) {
  HandlerFixture fx;
  fx.handler->SetOnAVData(nullptr);
  fx.handler->SetOnAudioRaw(nullptr);
  fx.Feed(Audio(1024, 0));
  EXPECT_EQ(fx.log, (TLog{"time 1700000000", "alarm 1048 cached=1", "normal 1048 cached=1", "audio 1024"}));
}

TEST(FrameHandler, ADisplayChangeReopensOnceAndDecodingWaitsForAKey) {
  HandlerFixture fx;
  fx.handler->SetStreamSource(TStreamSource::WithSubStream);
  fx.handler->SetOnAVData(nullptr);
  fx.handler->Cache().SetPreAlarmTime(0);
  fx.Feed(Video(10, true, 0));
  fx.Feed(Video(11, false, 0));
  fx.handler->SetDisplayStreamType(1);
  fx.Feed(Video(12, false, 1));
  fx.Feed(Video(13, false, 1));
  fx.Feed(Video(14, true, 1));
  fx.Feed(Video(15, false, 0));  // main stream: recorded, no longer shown
  TLog decodes;
  int reopens = 0;
  for (const std::string& e : fx.log) {
    if (e.rfind("decode", 0) == 0) decodes.push_back(e);
    if (e.rfind("reopen", 0) == 0) ++reopens;
  }
  EXPECT_EQ(reopens, 1);
  EXPECT_EQ(decodes, (TLog{"decode 10 key", "decode 11", "decode 14 key"}));
  EXPECT_EQ(fx.handler->LastStreamType(), 0);
  EXPECT_EQ(fx.handler->FrameSecond(), kT);
}

}  // namespace
