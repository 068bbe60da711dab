// The media a stream connection carries after start-stream, read by the
// test's own raw client: unit format, real decodable video at the configured
// format, masks, audio, status units, alarm packets, talk packets and every
// media fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "DevSim.h"
#include "SimEncodeCache.h"
#include "SimEncoder.h"
#include "SimFixture.h"
#include "SimLoopFile.h"
#include "SimPicture.h"
#include "SimStreamReader.h"
#include "SimTestDecoder.h"

namespace devsimtest {
namespace {

constexpr uint32_t kVideo = 0xBBBBBBBBu, kAudio = 0xCCCCCCCCu, kStatus = 0x77777777u, kPacket = 0xAAAAAAAAu;
constexpr int kMpeg4 = 0, kMjpeg = 1, kH264 = 2;

vzsim::SimCamera Camera(int codec, int width, int height, int fps, int key, const std::string& model = "") {
  vzsim::SimCamera c;
  c.model = model;
  c.codec = codec;
  c.width = width;
  c.height = height;
  c.fps = fps;
  c.kbps = 512;
  c.keyInterval = key;
  return c;
}

std::vector<const StreamUnit*> Frames(const std::vector<StreamUnit>& units, uint32_t marker) {
  std::vector<const StreamUnit*> out;
  for (const StreamUnit& u : units) {
    if (u.marker == marker && u.IsFrame()) out.push_back(&u);
  }
  return out;
}

// Sign changes of the 16-bit mono samples: twice the tone's frequency per second.
int ZeroCrossings(const uint8_t* pcm, size_t bytes) {
  int crossings = 0;
  int16_t last = 0;
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    const auto s = static_cast<int16_t>(pcm[i] | pcm[i + 1] << 8);
    if (i > 0 && ((last < 0) != (s < 0))) ++crossings;
    last = s;
  }
  return crossings;
}

void ExpectNear(const Yuv& got, const vzsim::SimYuv& want, const char* where) {
  constexpr int kTolerance = 20;
  EXPECT_NEAR(got.y, want.y, kTolerance) << where;
  EXPECT_NEAR(got.u, want.u, kTolerance) << where;
  EXPECT_NEAR(got.v, want.v, kTolerance) << where;
}

// The row a picture row lands on when the picture goes out as two stacked
// fields (even rows in the top half, odd rows in the bottom half).
int StoredRow(int width, int height, int row) {
  if (!vzsim::SimPicture::IsTwoFieldWidth(width)) return row;
  return row % 2 == 0 ? row / 2 : height / 2 + row / 2;
}

// The centre of the channel mark's block in a decoded picture.
Yuv BlockCentre(const SimTestDecoder& d) {
  const vzsim::SimRect b = vzsim::SimPicture::ChannelBlock(d.Width(), d.Height());
  return d.At(b.x + b.width / 2, StoredRow(d.Width(), d.Height(), b.y + b.height / 2));
}

void ExpectCorners(const SimTestDecoder& d) {
  const int w = d.Width(), h = d.Height();
  const int in = vzsim::SimPicture::CornerSize(w, h) / 2;
  const int down = StoredRow(w, h, in & ~1);
  ExpectNear(d.At(in, down), vzsim::SimPicture::kTopLeft, "top left");
  ExpectNear(d.At(w - in, down), vzsim::SimPicture::kTopRight, "top right");
  ExpectNear(d.At(in, h - 1 - down), vzsim::SimPicture::kBottomLeft, "bottom left");
  ExpectNear(d.At(w - in, h - 1 - down), vzsim::SimPicture::kBottomRight, "bottom right");
}

class DevSimStreamTest : public SimFixture {
 protected:
  void StartCameras(const std::vector<vzsim::SimCamera>& cameras, const std::string& model = "ipc",
                    int devices = 0) {
    vzsim::SimOptions o;
    o.stateDir = dir_.str();
    o.model = model;
    o.cameras = cameras;
    o.devices = devices > 0 ? devices : static_cast<int>(cameras.size());
    sim_ = std::make_unique<vzsim::DevSim>(o);
    ASSERT_TRUE(sim_->Start()) << sim_->Error();
  }

  // Reads until a video frame of the main stream has come.
  static bool FirstVideo(SimStreamReader& r, StreamUnit* out = nullptr) {
    StreamUnit u;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < until) {
      if (!r.Next(u, 30000)) return false;
      if (u.marker == kVideo && u.IsFrame()) {
        if (out) *out = std::move(u);
        return true;
      }
    }
    return false;
  }
};

struct FormatCase {
  int codec;
  int width, height, fps, key;
};

TEST_F(DevSimStreamTest, VideoAudioAndStatusAreWellFormedAndDecodeAtTheConfiguredFormat) {
  const FormatCase cases[] = {
      {kH264, 352, 288, 25, 10},
      {kMpeg4, 352, 288, 25, 10},
      {kMjpeg, 320, 240, 10, 1},
      {kH264, 176, 120, 15, 7},  // a height that is no whole number of macroblocks
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE("codec " + std::to_string(c.codec) + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
    StartCameras({Camera(c.codec, c.width, c.height, c.fps, c.key)});
    SimStreamReader reader;
    ASSERT_TRUE(reader.Open(Port(), 1, 1, 0)) << reader.Error();
    const int64_t deviceNowUs = sim_->DeviceTime(0) * 1000000;
    StreamUnit first;
    ASSERT_TRUE(FirstVideo(reader, &first));
    std::vector<StreamUnit> units;
    units.push_back(std::move(first));
    for (StreamUnit& u : reader.Collect(2500)) units.push_back(std::move(u));

    for (const StreamUnit& u : units) {
      EXPECT_TRUE(SimStreamReader::Accepted(u.marker)) << std::hex << u.marker;
      EXPECT_TRUE(u.bodyRead);
      EXPECT_LE(u.length, SimStreamReader::kMaxUnit);
    }
    const auto video = Frames(units, kVideo);
    ASSERT_GE(video.size(), static_cast<size_t>(2 * c.key));
    SimTestDecoder decoder(c.codec);
    ASSERT_TRUE(decoder.Ok());
    uint64_t lastStamp = 0;
    for (size_t i = 0; i < video.size(); ++i) {
      const StreamUnit& f = *video[i];
      EXPECT_EQ(f.Channel(), 0);
      EXPECT_EQ(f.StreamType(), 0u);
      EXPECT_EQ(f.Key(), i % static_cast<size_t>(c.key) == 0) << "frame " << i;
      EXPECT_EQ(f.body[10], 0);
      EXPECT_EQ(f.body[11], 0);
      EXPECT_GE(f.Stamp(), lastStamp);
      lastStamp = f.Stamp();
      EXPECT_TRUE(decoder.Decode(f.Payload(), f.PayloadSize())) << "frame " << i;
    }
    EXPECT_EQ(decoder.Width(), c.width);
    EXPECT_EQ(decoder.Height(), c.height);
    EXPECT_NEAR(static_cast<double>(video.front()->Stamp()), static_cast<double>(deviceNowUs), 10e6);
    // Paced, not pushed out in a burst: the stamps span at least a third of
    // the time the frames stand for.
    const double spanS = static_cast<double>(video.back()->Stamp() - video.front()->Stamp()) / 1e6;
    EXPECT_GE(spanS, static_cast<double>(video.size() - 1) / c.fps / 3);

    const int corner = vzsim::SimPicture::CornerSize(c.width, c.height);
    const int in = corner / 2;
    // Two stacked fields halve every distance from the top or the bottom.
    const int down = vzsim::SimPicture::IsTwoFieldWidth(c.width) ? in / 2 : in;
    ExpectNear(decoder.At(in, down), vzsim::SimPicture::kTopLeft, "top left");
    ExpectNear(decoder.At(c.width - in, down), vzsim::SimPicture::kTopRight, "top right");
    ExpectNear(decoder.At(in, c.height - down), vzsim::SimPicture::kBottomLeft, "bottom left");
    ExpectNear(decoder.At(c.width - in, c.height - down), vzsim::SimPicture::kBottomRight, "bottom right");
    if (vzsim::SimPicture::IsTwoFieldWidth(c.width)) {
      // The first field ends with the picture's bottom rows, the second
      // begins with its top rows.
      ExpectNear(decoder.At(in, c.height / 2 - down), vzsim::SimPicture::kBottomLeft, "first field's bottom");
      ExpectNear(decoder.At(in, c.height / 2 + down), vzsim::SimPicture::kTopLeft, "second field's top");
    }
    // A camera of one channel carries no channel mark: grey pattern there.
    const Yuv plain = BlockCentre(decoder);
    EXPECT_NEAR(plain.u, 128, 20);
    EXPECT_NEAR(plain.v, 128, 20);

    // Audio: the default 8000 Hz 16-bit mono, 128 ms blocks of a 400 Hz tone.
    const auto audio = Frames(units, kAudio);
    ASSERT_FALSE(audio.empty());
    for (const StreamUnit* a : audio) {
      EXPECT_EQ(a->Channel(), 0);
      EXPECT_EQ(a->PayloadSize(), 2048u);
      EXPECT_NEAR(ZeroCrossings(a->Payload(), a->PayloadSize()), 2 * 400 * 128 / 1000, 3);
    }
    bool status = false;
    for (const StreamUnit& u : units) {
      if (u.marker != kStatus) continue;
      status = true;
      ASSERT_EQ(u.length, 4u);
      EXPECT_EQ(u.body[0], 0);
    }
    EXPECT_TRUE(status);
    sim_.reset();
  }
}

TEST_F(DevSimStreamTest, TheBusySceneCarriesDetailAndStillShowsTheFixedParts) {
  // At a bit rate a D1 camera would use, so the coding keeps the texture.
  vzsim::SimCamera plain = Camera(kH264, 704, 576, 25, 25);
  plain.kbps = 2048;
  vzsim::SimCamera busy = plain;
  busy.busy = true;
  StartCameras({plain, busy});
  double detail[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k == 0 ? "plain" : "busy");
    SimStreamReader r;
    ASSERT_TRUE(r.Open(Port(k), 1, 0, 0)) << r.Error();
    StreamUnit first;
    ASSERT_TRUE(FirstVideo(r, &first));
    std::vector<StreamUnit> units = r.Collect(2000);
    const auto video = Frames(units, kVideo);
    ASSERT_GE(video.size(), 25u);
    SimTestDecoder decoder(kH264);
    ASSERT_TRUE(decoder.Decode(first.Payload(), first.PayloadSize()));
    for (const StreamUnit* f : video) ASSERT_TRUE(decoder.Decode(f->Payload(), f->PayloadSize()));
    const int in = vzsim::SimPicture::CornerSize(704, 576) / 2;
    ExpectNear(decoder.At(in, in), vzsim::SimPicture::kTopLeft, "top left");
    ExpectNear(decoder.At(704 - in, 576 - in), vzsim::SimPicture::kBottomRight, "bottom right");
    // Mean step between neighbouring pixels of a background patch left of
    // the circling square's path: a few stripe edges on the plain picture,
    // texture everywhere on the busy one.
    int steps = 0;
    for (int y = 280; y < 300; ++y) {
      for (int x = 80; x < 150; ++x) {
        steps += std::abs(static_cast<int>(decoder.At(x + 1, y).y) - static_cast<int>(decoder.At(x, y).y));
        ++detail[k];
      }
    }
    detail[k] = steps / detail[k];
  }
  EXPECT_GT(detail[1], 5.0);
  EXPECT_GT(detail[1], 3 * detail[0]) << "plain " << detail[0];
}

TEST_F(DevSimStreamTest, DvrChannelMasksSelectMainSubAndAudioPerChannel) {
  StartCameras({Camera(kH264, 704, 576, 25, 10, "dvr")});
  SimStreamReader reader;
  ASSERT_TRUE(reader.Open(Port(), 0b0101, 0b0010, 0b1000)) << reader.Error();
  ASSERT_TRUE(FirstVideo(reader));
  const std::vector<StreamUnit> units = reader.Collect(2500);
  std::set<std::pair<int, uint32_t>> video;
  std::set<int> audio, status;
  SimTestDecoder sub(kH264);
  for (const StreamUnit& u : units) {
    if (u.marker == kVideo && u.IsFrame()) {
      video.insert({u.Channel(), u.StreamType()});
      if (u.StreamType() == 1) sub.Decode(u.Payload(), u.PayloadSize());
    }
    if (u.marker == kAudio && u.IsFrame()) {
      audio.insert(u.Channel());
      EXPECT_NEAR(ZeroCrossings(u.Payload(), u.PayloadSize()), 2 * 600 * 128 / 1000, 3);
    }
    if (u.marker == kStatus) status.insert(u.body.at(0));
  }
  EXPECT_EQ(video, (std::set<std::pair<int, uint32_t>>{{0, 0}, {2, 0}, {3, 1}}));
  EXPECT_EQ(audio, std::set<int>{1});
  EXPECT_EQ(status, (std::set<int>{0, 1, 2, 3}));
  // The sub stream has its own, smaller picture.
  EXPECT_EQ(sub.Width(), 352);
  EXPECT_EQ(sub.Height(), 288);
  EXPECT_EQ(sim_->StreamMasks(0), (std::vector<uint32_t>{0b0101, 0b0010, 0b1000}));
}

TEST_F(DevSimStreamTest, DvrChannelsShowPicturesOfTheirOwnOnMainAndSubStreams) {
  StartCameras({Camera(kH264, 704, 576, 25, 10, "dvr")});
  SimStreamReader reader;
  ASSERT_TRUE(reader.Open(Port(), 0b0011, 0, 0b0010)) << reader.Error();
  // All loops of a connection start together, so the n-th frame of every
  // stream is frame n of its loop; past a key frame, a P-frame is judged.
  constexpr int kPictures = 13;
  const std::pair<int, uint32_t> streams[] = {{0, 0}, {1, 0}, {1, 1}};
  std::map<std::pair<int, uint32_t>, std::unique_ptr<SimTestDecoder>> decoders;
  for (const auto& s : streams) decoders[s] = std::make_unique<SimTestDecoder>(kH264);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  const auto done = [&] {
    for (const auto& [key, d] : decoders) {
      if (d->Pictures() < kPictures) return false;
    }
    return true;
  };
  StreamUnit u;
  while (!done() && std::chrono::steady_clock::now() < until && reader.Next(u, 30000)) {
    if (u.marker != kVideo || !u.IsFrame()) continue;
    const auto it = decoders.find({u.Channel(), u.StreamType()});
    ASSERT_NE(it, decoders.end()) << "channel " << u.Channel() << " stream " << u.StreamType();
    if (it->second->Pictures() < kPictures) it->second->Decode(u.Payload(), u.PayloadSize());
  }
  ASSERT_TRUE(done());
  const SimTestDecoder& ch0 = *decoders[{0, 0}];
  const SimTestDecoder& ch1 = *decoders[{1, 0}];
  const SimTestDecoder& sub1 = *decoders[{1, 1}];
  ASSERT_EQ(ch1.Width(), 704);
  ASSERT_EQ(sub1.Width(), 352);

  // Each channel's block has its colour, on the main and the sub stream.
  ExpectNear(BlockCentre(ch0), vzsim::SimPicture::ChannelColour(0), "channel 0's block");
  ExpectNear(BlockCentre(ch1), vzsim::SimPicture::ChannelColour(1), "channel 1's block");
  ExpectNear(BlockCentre(sub1), vzsim::SimPicture::ChannelColour(1), "channel 1's sub-stream block");
  for (const SimTestDecoder* d : {&ch0, &ch1, &sub1}) ExpectCorners(*d);

  // Everything but the mark (and the clock, which tells when a loop was
  // made) is the same picture: the pattern, the square, the counter.
  const vzsim::SimRect mark = vzsim::SimPicture::ChannelMark(704, 576);
  const vzsim::SimRect clock = vzsim::SimPicture::ClockBand(704, 576);
  const auto inside = [](const vzsim::SimRect& r, int x, int y) {
    return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
  };
  long sharedDiff = 0, sharedCount = 0, markDiff = 0, markCount = 0;
  for (int y = 0; y < 576; y += 2) {
    for (int x = 0; x < 704; x += 2) {
      if (inside(clock, x, y)) continue;
      const int d = std::abs(ch0.At(x, y).y - ch1.At(x, y).y);
      if (inside(mark, x, y)) {
        markDiff += d;
        ++markCount;
      } else {
        sharedDiff += d;
        ++sharedCount;
      }
    }
  }
  const double shared = static_cast<double>(sharedDiff) / static_cast<double>(sharedCount);
  const double marked = static_cast<double>(markDiff) / static_cast<double>(markCount);
  std::printf("mean luma difference of channels 0 and 1: %.2f outside the mark, %.2f inside\n", shared, marked);
  EXPECT_LT(shared, 4.0);
  EXPECT_GT(marked, 5.0);  // the block and the label's digit; "CH" and the band are alike
}

TEST_F(DevSimStreamTest, DvrChannelsAreEncodedOnceEachForAllConnections) {
  // A format no other test streams, so this process encodes (or loads) it here.
  StartCameras({Camera(kH264, 320, 240, 10, 10, "dvr")});
  const int before = vzsim::SimEncodeCache::Instance().Encoded();
  std::vector<std::unique_ptr<SimStreamReader>> readers;
  for (int k = 0; k < 2; ++k) {
    readers.push_back(std::make_unique<SimStreamReader>());
    ASSERT_TRUE(readers.back()->Open(Port(), 0b1111, 0, 0)) << readers.back()->Error();
    std::set<int> channels;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    StreamUnit u;
    while (channels.size() < 4 && std::chrono::steady_clock::now() < until && readers.back()->Next(u, 30000)) {
      if (u.marker == kVideo && u.IsFrame()) channels.insert(u.Channel());
    }
    EXPECT_EQ(channels, (std::set<int>{0, 1, 2, 3})) << "connection " << k;
    EXPECT_EQ(vzsim::SimEncodeCache::Instance().Encoded() - before, 4) << "connection " << k;
  }
}

// Alarm packets as the test reads them: whole command packets after the unit head.
struct Alarm {
  uint32_t cmd, loginId;
  int32_t type, channel, flag;
  uint32_t time;
};

std::vector<Alarm> Alarms(const std::vector<StreamUnit>& units) {
  std::vector<Alarm> out;
  for (const StreamUnit& u : units) {
    if (u.marker != kPacket) continue;
    EXPECT_EQ(u.length, 1452u);
    EXPECT_EQ(u.U32(0), kPacket);
    out.push_back(Alarm{u.U32(4), u.U32(8), static_cast<int32_t>(u.U32(16)), static_cast<int32_t>(u.U32(24)),
                        static_cast<int32_t>(u.U32(48)), u.U32(20)});
  }
  return out;
}

TEST_F(DevSimStreamTest, AlarmsOnCommandAndOnScheduleArriveAsRaiseAndClearPackets) {
  StartCameras({Camera(kH264, 176, 144, 10, 10, "dvr")});
  SimStreamReader reader;
  ASSERT_TRUE(reader.Open(Port(), 1, 0, 0)) << reader.Error();
  ASSERT_TRUE(FirstVideo(reader));
  sim_->RaiseAlarm(0, 2, 3, 7);
  sim_->ClearAlarm(0, 2, 3, 0);
  sim_->RaiseAlarm(0, -1);
  std::vector<Alarm> alarms = Alarms(reader.Collect(1500));
  ASSERT_EQ(alarms.size(), 3u);
  const int64_t now = sim_->DeviceTime(0);
  EXPECT_EQ(alarms[0].cmd, 14u);
  EXPECT_EQ(alarms[0].loginId, reader.Client().LoginId());
  EXPECT_EQ(alarms[0].type, 3);
  EXPECT_EQ(alarms[0].channel, 2);
  EXPECT_EQ(alarms[0].flag, 7);
  EXPECT_NEAR(static_cast<double>(alarms[0].time), static_cast<double>(now), 5);
  EXPECT_EQ(alarms[1].cmd, 15u);
  EXPECT_EQ(alarms[1].channel, 2);
  EXPECT_EQ(alarms[2].channel, -1);  // passed on as it is: the client must ignore it

  sim_->SetAlarmSchedule(0, 600, 300, 1, 2);
  alarms = Alarms(reader.Collect(2000));
  sim_->SetAlarmSchedule(0, 0, 0);
  ASSERT_GE(alarms.size(), 2u);
  for (size_t i = 0; i < alarms.size(); ++i) {
    EXPECT_EQ(alarms[i].cmd, i % 2 == 0 ? 14u : 15u);
    EXPECT_EQ(alarms[i].channel, 1);
    EXPECT_EQ(alarms[i].type, 2);
  }
}

TEST_F(DevSimStreamTest, EveryMediaFaultShowsOnTheWireAndEndsWhenSwitchedOff) {
  StartCameras({Camera(kH264, 176, 144, 25, 10), Camera(kMpeg4, 176, 144, 25, 10)});
  using vzsim::Fault;

  {
    SCOPED_TRACE("silent");
    SimStreamReader r;
    ASSERT_TRUE(r.Open(Port(0), 1, 1, 0)) << r.Error();
    ASSERT_TRUE(FirstVideo(r));
    sim_->SetFault(0, Fault::StreamSilent);
    r.Collect(500);  // what was already under way
    EXPECT_TRUE(r.Collect(1500).empty());
    sim_->SetFault(0, Fault::None);
    EXPECT_TRUE(FirstVideo(r));
  }
  {
    SCOPED_TRACE("garbage");
    SimStreamReader r;
    ASSERT_TRUE(r.Open(Port(0), 1, 0, 0)) << r.Error();
    ASSERT_TRUE(FirstVideo(r));
    sim_->SetFault(0, Fault::StreamGarbage);
    const std::vector<StreamUnit> units = r.Collect(1500);
    sim_->SetFault(0, Fault::None);
    const auto skipped = std::count_if(units.begin(), units.end(), [](const StreamUnit& u) { return !u.bodyRead; });
    EXPECT_GE(skipped, 8);
    EXPECT_GE(Frames(units, kVideo).size(), 5u);  // a reader that drops unknown heads keeps its footing
  }
  {
    SCOPED_TRACE("over-long");
    SimStreamReader r;
    ASSERT_TRUE(r.Open(Port(0), 1, 0, 0)) << r.Error();
    ASSERT_TRUE(FirstVideo(r));
    sim_->SetFault(0, Fault::StreamOverLong);
    StreamUnit u;
    bool over = false;
    for (int i = 0; i < 1000 && !over && r.Next(u); ++i) over = u.marker == kVideo && u.length > SimStreamReader::kMaxUnit;
    sim_->SetFault(0, Fault::None);
    ASSERT_TRUE(over);
    EXPECT_FALSE(u.bodyRead);
    // The zeros behind it are dropped head by head, then frames come again.
    EXPECT_TRUE(FirstVideo(r));
  }
  {
    SCOPED_TRACE("cut mid-frame");
    SimStreamReader r;
    ASSERT_TRUE(r.Open(Port(0), 1, 0, 0)) << r.Error();
    ASSERT_TRUE(FirstVideo(r));
    sim_->SetFault(0, Fault::StreamCut);
    r.Collect(5000);
    sim_->SetFault(0, Fault::None);
    EXPECT_TRUE(r.Closed());
  }
  {
    SCOPED_TRACE("clock back");
    SimStreamReader r;
    ASSERT_TRUE(r.Open(Port(0), 1, 0, 0)) << r.Error();
    StreamUnit before, after;
    ASSERT_TRUE(FirstVideo(r, &before));
    sim_->SetFault(0, Fault::ClockBack, 7200);
    r.Collect(300);
    ASSERT_TRUE(FirstVideo(r, &after));
    sim_->SetFault(0, Fault::None);
    EXPECT_NEAR(static_cast<double>(before.Stamp()) - static_cast<double>(after.Stamp()), 7200e6, 60e6);
  }
  {
    SCOPED_TRACE("flood");
    SimStreamReader r;
    ASSERT_TRUE(r.Open(Port(0), 1, 0, 0)) << r.Error();
    ASSERT_TRUE(FirstVideo(r));
    sim_->SetFault(0, Fault::StreamFlood);
    r.Collect(200);
    const size_t flooded = Frames(r.Collect(1000), kVideo).size();
    sim_->SetFault(0, Fault::None);
    r.Collect(200);
    const size_t paced = Frames(r.Collect(1000), kVideo).size();
    EXPECT_GE(flooded, 100u);  // unpaced: far above the 25 a second of the camera
    EXPECT_LE(paced, 30u);
  }
  {
    SCOPED_TRACE("JPEG in MPEG-4");
    SimStreamReader r;
    ASSERT_TRUE(r.Open(Port(1), 1, 0, 0)) << r.Error();
    StreamUnit f;
    ASSERT_TRUE(FirstVideo(r, &f));
    ASSERT_GE(f.PayloadSize(), 4u);
    EXPECT_EQ(f.Payload()[3], 0xB0);  // an MPEG-4 key frame opens with its sequence header
    sim_->SetFault(1, Fault::JpegInMpeg4);
    r.Collect(300);
    ASSERT_TRUE(FirstVideo(r, &f));
    EXPECT_EQ(f.Payload()[0], 0xFF);
    EXPECT_EQ(f.Payload()[1], 0xD8);
    SimTestDecoder jpeg(kMjpeg);
    EXPECT_TRUE(jpeg.Decode(f.Payload(), f.PayloadSize()));
    EXPECT_EQ(jpeg.Width(), 176);
    sim_->SetFault(1, Fault::None);
    // MPEG-4 again from its next key frame on.
    r.Collect(300);
    ASSERT_TRUE(FirstVideo(r, &f));
    EXPECT_EQ(f.Payload()[0], 0x00);
  }
}

std::vector<uint8_t> TalkPacket(const std::string& address, uint32_t port, size_t samples, bool terminated = true) {
  std::vector<uint8_t> p(32 + samples, 0);
  const uint32_t words[] = {0xDDDDDDDDu, static_cast<uint32_t>(samples + 24)};
  std::memcpy(p.data(), words, sizeof words);
  std::memcpy(p.data() + 8, address.data(), std::min<size_t>(address.size(), 20));
  if (!terminated) std::memset(p.data() + 8, 'x', 20);
  std::memcpy(p.data() + 28, &port, 4);
  for (size_t i = 0; i < samples; ++i) p[32 + i] = static_cast<uint8_t>(i * 7);
  return p;
}

TEST_F(DevSimStreamTest, TalkPacketsAreCheckedAndKept) {
  StartCameras({Camera(kH264, 176, 144, 10, 10)});
  SimStreamReader r;
  ASSERT_TRUE(r.Open(Port(), 1, 0, 0)) << r.Error();
  struct Case {
    const char* what;
    std::vector<uint8_t> packet;
    bool good;
  };
  const Case cases[] = {
      {"good", TalkPacket("127.0.0.1", Port(), 4096), true},
      {"empty", TalkPacket("127.0.0.1", Port(), 0), true},
      {"foreign port", TalkPacket("127.0.0.1", Port() + 1u, 1024), false},
      {"too many samples", TalkPacket("127.0.0.1", Port(), 4098), false},
      {"half a sample", TalkPacket("127.0.0.1", Port(), 1023), false},
      {"no terminator", TalkPacket("", Port(), 1024, false), false},
  };
  for (const Case& c : cases) ASSERT_TRUE(r.Client().SendRaw(c.packet.data(), c.packet.size())) << c.what;
  ASSERT_TRUE(Eventually([&] { return sim_->TalkPackets(0).size() == std::size(cases); }));
  const std::vector<vzsim::TalkPacket> got = sim_->TalkPackets(0);
  for (size_t i = 0; i < got.size(); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(got[i].problem.empty(), c.good) << c.what << ": " << got[i].problem;
  }
  EXPECT_EQ(got[0].address, "127.0.0.1");
  EXPECT_EQ(got[0].port, Port());
  EXPECT_EQ(got[0].samples, std::vector<uint8_t>(cases[0].packet.begin() + 32, cases[0].packet.end()));
  EXPECT_EQ(got[3].samples.size(), 4096u);  // never more kept than a talk packet may carry

  // A length no unit may have ends the connection; nothing is read for it.
  const uint32_t huge[] = {0xDDDDDDDDu, 0x80001u};
  ASSERT_TRUE(r.Client().SendRaw(huge, sizeof huge));
  r.Collect(3000);
  EXPECT_TRUE(r.Closed());
  EXPECT_EQ(sim_->TalkPackets(0).size(), std::size(cases));
}

TEST_F(DevSimStreamTest, SixtyFourDevicesStreamFromOneEncodedLoop) {
  constexpr int kDevices = 64;
  const vzsim::SimCamera d1 = Camera(kH264, 704, 576, 25, 50);
  StartCameras(std::vector<vzsim::SimCamera>(kDevices, d1));
  const int encodedBefore = vzsim::SimEncodeCache::Instance().Encoded();
  std::vector<std::unique_ptr<SimStreamReader>> readers;
  for (int k = 0; k < kDevices; ++k) {
    readers.push_back(std::make_unique<SimStreamReader>());
    ASSERT_TRUE(readers.back()->Open(Port(k), 1, 1, 0)) << "device " << k << ": " << readers.back()->Error();
  }
  for (int k = 0; k < kDevices; ++k) {
    StreamUnit f;
    ASSERT_TRUE(FirstVideo(*readers[static_cast<size_t>(k)], &f)) << "device " << k;
    EXPECT_TRUE(f.Key());
  }
  for (int k = 0; k < kDevices; ++k) EXPECT_EQ(sim_->Stats(k).streaming, 1) << "device " << k;
  EXPECT_LE(vzsim::SimEncodeCache::Instance().Encoded() - encodedBefore, 1);
}

TEST(SimLoopFileTest, KeepsALoopAndRefusesEveryOtherFile) {
  vzsim::SimVideoFormat f;
  f.codec = kH264;
  f.width = 176;
  f.height = 144;
  f.fps = 10;
  f.keyInterval = 10;
  f.bitRate = 65536;
  f.channel = 1;
  std::string error;
  const auto loop = vzsim::SimEncoder::Encode(f, 0, &error);
  ASSERT_TRUE(loop) << error;
  vztest::TempDir dir;
  const std::string path = vzsim::SimLoopFile::PathFor(dir.str(), f);
  ASSERT_TRUE(vzsim::SimLoopFile::Save(path, *loop));
  const auto back = vzsim::SimLoopFile::Load(path, f);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->frames.size(), loop->frames.size());
  for (size_t i = 0; i < loop->frames.size(); ++i) {
    EXPECT_EQ(back->frames[i].bytes, loop->frames[i].bytes);
    EXPECT_EQ(back->frames[i].key, loop->frames[i].key);
  }
  // Another bit rate, another channel's picture or another scene is another
  // loop, in a file of its own.
  std::vector<vzsim::SimVideoFormat> others(4, f);
  others[0].bitRate += 1;
  others[1].channel = -1;
  others[2].channel = 2;
  others[3].busy = true;
  for (const vzsim::SimVideoFormat& other : others) {
    SCOPED_TRACE(other.Describe());
    EXPECT_FALSE(vzsim::SimLoopFile::Load(path, other));
    EXPECT_NE(vzsim::SimLoopFile::PathFor(dir.str(), other), path);
  }
  const std::vector<uint8_t> bytes = vzsim::SimLoopFile::Serialize(*loop);
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  std::vector<uint8_t> noKey = bytes;
  noKey[8 + 32 + 4 + 4] = 0;  // the first frame's key flag
  const std::vector<uint8_t> bad[] = {std::vector<uint8_t>(bytes.begin(), bytes.end() - 1), longer, noKey, {}};
  for (const auto& b : bad) EXPECT_FALSE(vzsim::SimLoopFile::Parse(b.data(), b.size(), f)) << b.size();
  EXPECT_FALSE(vzsim::SimLoopFile::Load(dir.str() + "/missing.loop", f));
}

}  // namespace
}  // namespace devsimtest
