// The recorder against a stand-in player: starts, stops, roll-over, alarm
// extension and cap, pre-alarm data, folders, names, events, threads.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "RecBytes.h"
#include "RecorderHost.h"
#include "TestEnv.h"

namespace {

namespace fs = std::filesystem;
using rectest::Frame;
using rectest::THostState;

std::vector<fs::path> AvFiles(const fs::path& dir) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_regular_file() && it->path().extension() == ".av") out.push_back(it->path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

vz::TRecFileHeader HeaderOf(const fs::path& file) {
  const std::string bytes = vztest::ReadFileBytes(file);
  vz::TRecFileHeader h{};
  EXPECT_TRUE(vz::ParseRecHeader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), h));
  return h;
}

class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rectest::DefaultState(state_, dir_.str());
    rec_ = std::make_unique<vz::TRecorder>(std::make_unique<rectest::TFakeHost>(state_));
  }
  void At(int64_t ms) {
    std::lock_guard<std::mutex> g(state_.lock);
    state_.now_ms = ms;
  }
  // A 25 fps stream with a key frame every second, frame time = clock.
  void Stream(vz::IFrameRecorder* r, int64_t from_ms, int64_t to_ms, bool first_key = true) {
    for (int64_t t = from_ms; t < to_ms; t += 40) {
      At(t);
      const bool key = (t - from_ms) % 1000 == 0 && (first_key || t != from_ms);
      r->WriteFrame(Frame(true, key, static_cast<uint64_t>(t)).view);
    }
  }
  vz::TRecCheckReport CheckFile(const fs::path& f, vz::TRecFirstFrame rule = vz::TRecFirstFrame::KeyOnly) {
    return vz::CheckRecFilePath(f.string(), rule);
  }

  vztest::TempDir dir_{vztest::ShortTempRoot()};  // record names must fit 63 characters
  THostState state_;
  std::unique_ptr<vz::TRecorder> rec_;
};

TEST_F(RecorderTest, SecondStartFailsAndTheFirstFileGoesOn) {
  ASSERT_TRUE(rec_->StartNmlRec(0));
  Stream(rec_->NormalRecorder(), 0, 2000);
  EXPECT_FALSE(rec_->StartNmlRec(0));
  EXPECT_TRUE(rec_->IsNmlRec(5));
  Stream(rec_->NormalRecorder(), 2000, 4000);
  EXPECT_TRUE(rec_->StopNmlRec(0));
  EXPECT_FALSE(rec_->IsNmlRec(0));
  const auto files = AvFiles(dir_.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0], dir_ / "n/1.2.3.4_7000/20240102_130405_0.av");
  const auto r = CheckFile(files[0]);
  EXPECT_TRUE(r.Ok()) << (r.Errors.empty() ? "" : r.Errors[0]);
  EXPECT_EQ(r.VideoFrames, 100u);
  EXPECT_EQ(state_.starts.size(), 1u);
  EXPECT_EQ(state_.stops.size(), 1u);
}

TEST_F(RecorderTest, EventsCarryTheFileAndTheApplicationSlot) {
  state_.slot_value = 4242;
  ASSERT_TRUE(rec_->StartNmlRec(0));
  Stream(rec_->NormalRecorder(), 0, 1000);
  At(1500);
  ASSERT_TRUE(rec_->StopNmlRec(0));
  ASSERT_EQ(state_.starts.size(), 1u);
  ASSERT_EQ(state_.stops.size(), 1u);
  const rectest::TStartCall& a = state_.starts[0];
  const rectest::TStopCall& b = state_.stops[0];
  const fs::path file = dir_ / "n/1.2.3.4_7000/20240102_130405_0.av";
  EXPECT_EQ(a.addr, "1.2.3.4");
  EXPECT_EQ(a.port, 7000);
  EXPECT_EQ(a.chl, 0);
  EXPECT_EQ(a.kind, 1);
  EXPECT_DOUBLE_EQ(a.start, rectest::BaseTime());
  EXPECT_EQ(a.file, file.string());
  EXPECT_EQ(b.addr, "1.2.3.4");
  EXPECT_EQ(b.kind, 1);
  EXPECT_EQ(b.bytes, static_cast<int64_t>(fs::file_size(file)));
  EXPECT_DOUBLE_EQ(b.start, a.start);
  EXPECT_NEAR((b.end - b.start) * 86400.0, 1.5, 1e-3);
  EXPECT_EQ(b.file, a.file);
  EXPECT_EQ(b.slot, 4242);

  const vz::TRecFileHeader h = HeaderOf(file);
  EXPECT_EQ(h.DevType, 5);
  EXPECT_EQ(h.FileLen, fs::file_size(file));
  EXPECT_EQ(h.StartTime, static_cast<uint32_t>(vz::DateTimeToSeconds(rectest::BaseTime())));
  EXPECT_EQ(h.EndTime, h.StartTime + 1);
  EXPECT_EQ(vz::RecSvrAddr(h), "1.2.3.4");
  EXPECT_EQ(h.Video.Width, 352);  // the decoded picture, not the configured size
  EXPECT_EQ(h.Video.Height, 288);
  EXPECT_EQ(h.Video.FrameRate, 25);
  EXPECT_EQ(h.Audio.SampleRate, 8000);
  EXPECT_EQ(h.One1, 1);
}

TEST_F(RecorderTest, HeaderFollowsTunnelAndSubStream) {
  state_.info.Tunnel = true;
  state_.info.LastStreamType = 1;
  // Record offsets 113 and 114 (header 165 and 166).
  reinterpret_cast<uint8_t*>(&state_.info.Video)[113] = 9;
  reinterpret_cast<uint8_t*>(&state_.info.Video)[114] = 12;
  ASSERT_TRUE(rec_->StartNmlRec(0));
  Stream(rec_->NormalRecorder(), 0, 200);
  rec_->StopNmlRec(0);
  const auto files = AvFiles(dir_.path());
  ASSERT_EQ(files.size(), 1u);
  const std::string bytes = vztest::ReadFileBytes(files[0]);
  int32_t codec;
  std::memcpy(&codec, bytes.data() + 76, 4);
  EXPECT_EQ(codec, 2);
  EXPECT_EQ(static_cast<uint8_t>(bytes[165]), 12);
  EXPECT_EQ(static_cast<uint8_t>(bytes[166]), 12);
}

TEST_F(RecorderTest, FileWithoutKeyFrameIsDeletedWithoutStopEvent) {
  ASSERT_TRUE(rec_->StartNmlRec(0));
  ASSERT_EQ(AvFiles(dir_.path()).size(), 1u);
  for (int i = 0; i < 10; ++i) rec_->NormalRecorder()->WriteFrame(Frame(true, false, i * 40).view);
  rec_->NormalRecorder()->WriteFrame(Frame(false, false, 400).view);
  EXPECT_TRUE(rec_->StopNmlRec(0));
  EXPECT_TRUE(AvFiles(dir_.path()).empty());
  EXPECT_EQ(state_.starts.size(), 1u);
  EXPECT_TRUE(state_.stops.empty());
}

TEST_F(RecorderTest, RecordingWaitsForAKeyFrameThatLinksToItself) {
  ASSERT_TRUE(rec_->StartNmlRec(0));
  rec_->NormalRecorder()->WriteFrame(Frame(false, false, 0).view);
  rec_->NormalRecorder()->WriteFrame(Frame(true, false, 10).view);
  Stream(rec_->NormalRecorder(), 40, 3040);
  rec_->StopNmlRec(0);
  const auto files = AvFiles(dir_.path());
  ASSERT_EQ(files.size(), 1u);
  const std::string bytes = vztest::ReadFileBytes(files[0]);
  vz::TRecFrame f;
  ASSERT_EQ(vz::ParseRecFrameHead(reinterpret_cast<const uint8_t*>(bytes.data()) + 256, 24, 256, bytes.size(), f),
            vz::TRecFrameStatus::Ok);
  EXPECT_TRUE(f.IsVideoKey());
  EXPECT_EQ(f.BackLink, 256u);
  EXPECT_EQ(f.Head.TimeStamp, 40000u);
  const auto r = CheckFile(files[0]);
  EXPECT_TRUE(r.Ok()) << (r.Errors.empty() ? "" : r.Errors[0]);
  EXPECT_EQ(r.KeyFrames, 3u);
  EXPECT_EQ(r.ChainKeys, 3u);
}

TEST_F(RecorderTest, NormalFileRollsOverAtTheFirstFrameAfterItsLength) {
  state_.settings.NmlTimeLen = 600;
  ASSERT_TRUE(rec_->StartNmlRec(0));
  // One frame a second, written half a second after its capture, key
  // frames every 10 s.
  for (int64_t s = 0; s <= 615; ++s) {
    At(s * 1000 + 500);
    rec_->NormalRecorder()->WriteFrame(Frame(true, s % 10 == 0, s * 1000).view);
  }
  rec_->StopNmlRec(0);
  const auto files = AvFiles(dir_.path());
  ASSERT_EQ(files.size(), 2u);
  ASSERT_EQ(state_.starts.size(), 2u);
  ASSERT_EQ(state_.stops.size(), 2u);
  // Written at 599.5 s the frame of 599 s does not end the file; the one
  // written at 600.5 s is its last.
  const auto first = CheckFile(files[0]);
  EXPECT_TRUE(first.Ok());
  EXPECT_EQ(first.LastTimeStamp, 600000000u);
  EXPECT_NEAR((state_.stops[0].end - state_.stops[0].start) * 86400.0, 600.5, 1e-3);
  // The next file starts at once and waits for the key frame of 610 s.
  EXPECT_EQ(files[1].filename(), "20240102_131405_0.av");
  EXPECT_EQ(state_.starts[1].file, files[1].string());
  const auto second = CheckFile(files[1]);
  EXPECT_TRUE(second.Ok()) << (second.Errors.empty() ? "" : second.Errors[0]);
  EXPECT_EQ(second.FirstTimeStamp, 610000000u);
  EXPECT_EQ(second.VideoFrames, 6u);
}


TEST_F(RecorderTest, AlarmDuringAlarmExtendsTheSameFile) {
  state_.settings.AlmTimeLen = 10;
  At(0);
  ASSERT_TRUE(rec_->StartAlmRec(0));
  Stream(rec_->AlarmRecorder(), 0, 5000);
  At(5000);
  EXPECT_FALSE(rec_->StartAlmRec(0));  // extended, not a new file
  EXPECT_EQ(HeaderOf(AvFiles(dir_.path())[0]).EndTime,
            static_cast<uint32_t>(vz::DateTimeToSeconds(rectest::BaseTime())) + 15);
  Stream(rec_->AlarmRecorder(), 5000, 14960);
  EXPECT_TRUE(rec_->IsAlmRec(0));
  Stream(rec_->AlarmRecorder(), 14960, 16000);  // the frame written at 15 s ends it
  EXPECT_FALSE(rec_->IsAlmRec(0));
  const auto files = AvFiles(dir_.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0], dir_ / "a/1.2.3.4_7000/20240102_130405_0.av");
  ASSERT_EQ(state_.stops.size(), 1u);
  EXPECT_EQ(state_.stops[0].kind, 2);
  const auto r = CheckFile(files[0]);
  EXPECT_TRUE(r.Ok()) << (r.Errors.empty() ? "" : r.Errors[0]);
  EXPECT_EQ(r.LastTimeStamp, 15000000u);
}

TEST_F(RecorderTest, AlarmFileNeverRunsPastAnHour) {
  state_.settings.AlmTimeLen = 10;
  // An alarm every 5 s and a key frame every second, for 65 minutes.
  int starts_true = 0;
  for (int64_t t = 0; t < 3900 * 1000; t += 1000) {
    At(t);
    if (t % 5000 == 0 && rec_->StartAlmRec(0)) ++starts_true;
    rec_->AlarmRecorder()->WriteFrame(Frame(true, true, static_cast<uint64_t>(t)).view);
  }
  rec_->StopAlmRec(0);
  EXPECT_EQ(starts_true, 2);
  ASSERT_GE(state_.stops.size(), 2u);
  // The alarm at 3595 s plans an end 3605 s after the start: the next frame closes the file.
  EXPECT_NEAR((state_.stops[0].end - state_.stops[0].start) * 86400.0, 3595.0, 1e-3);
  EXPECT_EQ(AvFiles(dir_.path()).size(), 2u);
  EXPECT_NEAR((state_.starts[1].start - rectest::BaseTime()) * 86400.0, 3600.0, 1e-3);
}

TEST_F(RecorderTest, PreAlarmFramesBeginAtAKeyFrame) {
  vz::TavCache cache;
  ASSERT_TRUE(cache.SetPreAlarmTime(5));
  state_.cache = &cache;
  // 8 s of frames before the alarm, key frames at 0, 2, 4 and 6 s.
  for (int64_t t = 0; t < 8000; t += 40) {
    const auto f = Frame(true, t % 2000 == 0, static_cast<uint64_t>(t));
    cache.Add(f.bytes.data(), static_cast<uint32_t>(f.bytes.size()));
  }
  At(8000);
  ASSERT_TRUE(rec_->StartAlmRec(0));
  // Written at once, key frame or not: the file already began with one.
  rec_->AlarmRecorder()->WriteFrame(Frame(true, false, 8000).view);
  Stream(rec_->AlarmRecorder(), 8040, 9000, /*first_key=*/false);
  rec_->StopAlmRec(0);
  const auto files = AvFiles(dir_.path());
  ASSERT_EQ(files.size(), 1u);
  const auto r = CheckFile(files[0]);
  EXPECT_TRUE(r.Ok()) << (r.Errors.empty() ? "" : r.Errors[0]);
  EXPECT_EQ(r.FirstTimeStamp, 4000000u);  // the first key frame of the last 5 s
  EXPECT_EQ(r.LastTimeStamp, 8960000u);
  EXPECT_EQ(r.VideoFrames, 100u + 1u + 24u);
  EXPECT_EQ(r.KeyFrames, 2u);
}

TEST_F(RecorderTest, PreAlarmWithoutKeyFrameStartsWithWhatComes) {
  vz::TavCache cache;
  ASSERT_TRUE(cache.SetPreAlarmTime(5));
  state_.cache = &cache;
  const auto p = Frame(true, false, 0);
  cache.Add(p.bytes.data(), static_cast<uint32_t>(p.bytes.size()));
  ASSERT_TRUE(rec_->StartAlmRec(0));
  rec_->AlarmRecorder()->WriteFrame(Frame(true, false, 40).view);
  rec_->AlarmRecorder()->WriteFrame(Frame(false, false, 60).view);
  Stream(rec_->AlarmRecorder(), 80, 2080);
  rec_->StopAlmRec(0);
  const auto files = AvFiles(dir_.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_FALSE(CheckFile(files[0]).Ok());
  const auto r = CheckFile(files[0], vz::TRecFirstFrame::AlarmLeadAllowed);
  EXPECT_TRUE(r.Ok()) << (r.Errors.empty() ? "" : r.Errors[0]);
  EXPECT_EQ(r.LeadFrames, 2u);
  EXPECT_EQ(r.ChainKeys, 2u);  // the first key frame links to itself, not into the lead
}

TEST_F(RecorderTest, StartsAreRefusedWhereTheyMayNotRun) {
  struct Case {
    const char* name;
    std::function<void(THostState&)> set;
    bool alarm;
    int32_t chl;
  } cases[] = {
      {"normal, not connected", [](THostState& s) { s.info.Connected = false; }, false, 0},
      {"alarm, not connected", [](THostState& s) { s.info.Connected = false; }, true, 0},
      {"alarm, all channels", [](THostState&) {}, true, -1},
      {"alarm, channel not played", [](THostState&) {}, true, 1},
      {"alarm, channel out of range", [](THostState&) {}, true, 40},
      {"normal, no folder", [](THostState& s) { s.settings.NmlRecPath.clear(); }, false, 0},
      {"alarm, no folder", [](THostState& s) { s.settings.AlmRecPath.clear(); }, true, 0},
      {"address does not fit the header", [](THostState& s) { s.info.SvrAddr = "cam.site.example.org"; }, false, 0},
      {"name does not fit 63 characters", [](THostState& s) { s.settings.NmlRecPath += std::string(40, 'x'); },
       false, 0},
      {"folder cannot be made", [](THostState& s) { s.settings.NmlRecPath = "/proc/none"; }, false, 0},
  };
  for (const Case& c : cases) {
    THostState state;
    rectest::DefaultState(state, dir_.str());
    c.set(state);
    vz::TRecorder rec(std::make_unique<rectest::TFakeHost>(state));
    EXPECT_FALSE(c.alarm ? rec.StartAlmRec(c.chl) : rec.StartNmlRec(c.chl)) << c.name;
    EXPECT_FALSE(c.alarm ? rec.IsAlmRec(0) : rec.IsNmlRec(0)) << c.name;
    EXPECT_TRUE(state.starts.empty()) << c.name;
  }
  EXPECT_TRUE(AvFiles(dir_.path()).empty());
}

TEST_F(RecorderTest, PathEventChoosesTheFolderAndDefaultsFillTheOther) {
  struct Case {
    const char* name;
    std::string text;
    std::string normal_before;
    bool ok;
    std::string normal_after;  // relative to the test folder
  } cases[] = {
      {"event folder", "/p", "", true, "/p/"},
      {"empty event keeps the set folder", "", "/n", true, "/n"},
      {"empty event, none set", "", "", false, ""},
      {"40 bytes without end", std::string(40, 'q'), "/n", true, "/n"},
  };
  for (const Case& c : cases) {
    THostState state;
    rectest::DefaultState(state, dir_.str());
    state.path_event = true;
    state.path_text = c.text.empty() || c.text[0] != '/' ? c.text : dir_.str() + c.text + "/";
    state.settings.NmlRecPath = c.normal_before.empty() ? "" : dir_.str() + c.normal_before;
    state.settings.AlmRecPath.clear();
    vz::TRecorder rec(std::make_unique<rectest::TFakeHost>(state));
    EXPECT_EQ(rec.StartNmlRec(0), c.ok) << c.name;
    EXPECT_EQ(state.path_calls, 1) << c.name;
    if (!c.ok) continue;
    EXPECT_EQ(state.settings.NmlRecPath, dir_.str() + c.normal_after) << c.name;
    EXPECT_EQ(state.settings.AlmRecPath, dir_.str() + "/r/Alm/20240102/") << c.name;
    rec.StopNmlRec(0);
  }
}

TEST_F(RecorderTest, StopAnswersByChannel) {
  state_.info.ChannelCount = 4;
  EXPECT_TRUE(rec_->StopNmlRec(-1));  // nothing open: -1 still answers true
  EXPECT_FALSE(rec_->StopNmlRec(0));
  ASSERT_TRUE(rec_->StartNmlRec(0));
  EXPECT_FALSE(rec_->StopNmlRec(5));  // above the channel count: left open
  EXPECT_TRUE(rec_->IsNmlRec(0));
  EXPECT_TRUE(rec_->StopNmlRec(4));
  EXPECT_FALSE(rec_->IsNmlRec(0));
  // Start with -1: the answer is whether a file is open afterwards.
  EXPECT_TRUE(rec_->StartNmlRec(-1));
  EXPECT_TRUE(rec_->StartNmlRec(-1));
  EXPECT_TRUE(rec_->StopNmlRec(-1));
  state_.info.Connected = false;
  EXPECT_FALSE(rec_->StartNmlRec(-1));
}

TEST_F(RecorderTest, EventsThatStopTheirOwnRecordingGetFalse) {
  std::atomic<int> answers{-1};
  state_.on_start = [&] { answers = rec_->StopNmlRec(-1) ? 1 : 0; };
  ASSERT_TRUE(rec_->StartNmlRec(0));
  EXPECT_EQ(answers.load(), 0);
  EXPECT_TRUE(rec_->IsNmlRec(0));
  state_.on_stop = [&] { answers = rec_->StartNmlRec(0) ? 1 : 0; };
  Stream(rec_->NormalRecorder(), 0, 400);
  EXPECT_TRUE(rec_->StopNmlRec(0));
  EXPECT_EQ(answers.load(), 0);
  EXPECT_FALSE(rec_->IsNmlRec(0));
}

TEST_F(RecorderTest, StartsAndStopsWhileFramesArriveLeaveWholeFiles) {
  state_.settings.NmlTimeLen = 600;
  std::atomic<bool> run{true};
  std::atomic<uint64_t> fed{0};
  std::thread reader([&] {
    uint64_t t = 0;
    while (run.load()) {
      const auto f = Frame(true, t % 25 == 0, t * 40, 200 + static_cast<uint32_t>(t % 300));
      rec_->NormalRecorder()->WriteFrame(f.view);
      rec_->AlarmRecorder()->WriteFrame(f.view);
      ++t;
      fed.store(t);
    }
  });
  for (int i = 0; i < 40; ++i) {
    At(i * 2000);  // every file gets its own name
    rec_->StartNmlRec(0);
    rec_->StartAlmRec(0);
    const uint64_t until = fed.load() + 60;
    while (fed.load() < until) std::this_thread::yield();
    rec_->StopNmlRec(0);
    rec_->StopAlmRec(0);
  }
  run = false;
  reader.join();
  const auto files = AvFiles(dir_.path());
  EXPECT_FALSE(files.empty());
  for (const auto& f : files) {
    const auto r = CheckFile(f);
    EXPECT_TRUE(r.Ok()) << f << ": " << (r.Errors.empty() ? "" : r.Errors[0]);
    EXPECT_FALSE(r.Unfinished) << f;
  }
  EXPECT_EQ(files.size(), state_.stops.size());
}

#ifndef RECCHECK_PATH
#define RECCHECK_PATH ""
#endif

TEST_F(RecorderTest, KilledRecordingLeavesAFileReadableToItsLastWholeFrame) {
  const fs::path file = dir_ / "n/1.2.3.4_7000/20240102_130405_0.av";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The recording process: records until it is killed.
    if (!rec_->StartNmlRec(0)) ::_exit(3);
    for (uint64_t t = 0;; ++t) {
      rec_->NormalRecorder()->WriteFrame(Frame(t % 4 != 3, t % 25 == 0, t * 40, 500 + t % 900).view);
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::error_code ec;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto size = fs::file_size(file, ec);
    if (!ec && size > 2 * 1024 * 1024) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  // A crash may leave part of a frame behind; cut one off to be sure the
  // readers stop at the last whole frame.
  const auto size = fs::file_size(file);
  ASSERT_GT(size, 2u * 1024 * 1024);
  fs::resize_file(file, size - 7);
  const auto r = CheckFile(file);
  EXPECT_TRUE(r.Ok()) << (r.Errors.empty() ? "" : r.Errors[0]);
  EXPECT_TRUE(r.Unfinished);
  EXPECT_GT(r.Frames, 100u);
  EXPECT_GT(r.TailBytes, 0u);
  EXPECT_EQ(r.LastFrameEnd + r.TailBytes, size - 7);
  if (std::string(RECCHECK_PATH).empty()) GTEST_SKIP() << "checker tool not built";
  const std::string cmd = std::string(RECCHECK_PATH) + " -q '" + file.string() + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
}

}  // namespace
