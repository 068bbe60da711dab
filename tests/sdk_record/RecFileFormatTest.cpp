// The record file layout and the bounded readers over it.
#include <gtest/gtest.h>

#include <cstring>

#include "RecBytes.h"
#include "vz_records.h"

namespace {

using rectest::Check;
using rectest::Gops;
using rectest::MakeRecFile;
using rectest::PutU32;
using vz::TRecFrameStatus;

TEST(RecFileHeader, ConfigurationBytesLandAtTheirHeaderOffsets) {
  vz::TVideoCfg video{};
  video.Width = 704;
  video.Height = 576;
  video.Codec = 2;
  video.FrameRate = 25;
  std::memcpy(video.OsdTitle, "Gate", 4);
  vz::TAudioCfg audio{};
  audio.Codec = 7;
  audio.SampleRate = 8000;
  audio.BitsPerSample = 16;
  vz::TRecFileHeader h = vz::MakeRecHeader();
  vz::SetRecVideoPart(h, video);
  vz::SetRecAudioPart(h, audio);
  uint8_t raw[256];
  std::memcpy(raw, &h, sizeof raw);
  auto at = [&](std::size_t off) {
    int32_t v;
    std::memcpy(&v, raw + off, 4);
    return v;
  };
  EXPECT_EQ(at(56), 1);
  EXPECT_EQ(at(60), 1);
  EXPECT_EQ(at(68), 704);
  EXPECT_EQ(at(72), 576);
  EXPECT_EQ(at(76), 2);
  EXPECT_EQ(at(84), 25);
  // The OSD title sits at record offset 56, header offset 108.
  EXPECT_EQ(std::memcmp(raw + 108, "Gate", 4), 0);
  EXPECT_EQ(at(192), 7);
  EXPECT_EQ(at(200), 8000);
  EXPECT_EQ(at(212), 16);
  for (std::size_t i = 224; i < 256; ++i) EXPECT_EQ(raw[i], 0) << i;

  vz::TVideoCfg back{};
  vz::RecVideoPartToCfg(h, back);
  EXPECT_EQ(back.Width, 704);
  EXPECT_EQ(std::memcmp(back.OsdTitle, "Gate", 4), 0);
  EXPECT_EQ(back.Channel, 0);
}

TEST(RecFileHeader, AddressThatDoesNotFitIsRefusedNotCut) {
  struct Case {
    std::string addr;
    bool fits;
  } cases[] = {
      {"192.168.100.200", true},
      {std::string(19, 'a'), true},
      {std::string(20, 'a'), false},
      {"camera.example.lan.local", false},
      {std::string("ab\0cd", 5), false},
      {"", true},
  };
  for (const Case& c : cases) {
    vz::TRecFileHeader h = vz::MakeRecHeader();
    ASSERT_TRUE(vz::SetRecSvrAddr(h, "x"));
    EXPECT_EQ(vz::SetRecSvrAddr(h, c.addr), c.fits) << c.addr;
    EXPECT_EQ(vz::RecSvrAddr(h), c.fits ? c.addr : "x");
  }
}

TEST(RecFileHeader, DataEndTrustsTheLengthOnlyWithinTheFile) {
  struct Case {
    uint32_t header_len;
    uint64_t file_size;
    uint64_t end;
  } cases[] = {
      {0, 10000, 10000},  // cut short while recording
      {5000, 10000, 5000},  // closed, then something appended
      {10000, 10000, 10000},
      {20000, 10000, 10000},  // claims more than is there
      {256, 10000, 10000},
      {100, 10000, 10000},
  };
  for (const Case& c : cases) {
    vz::TRecFileHeader h = vz::MakeRecHeader();
    h.FileLen = c.header_len;
    EXPECT_EQ(vz::RecDataEnd(h, c.file_size), c.end) << c.header_len;
  }
  vz::TRecFileHeader h;
  uint8_t raw[256] = {};
  EXPECT_FALSE(vz::ParseRecHeader(raw, 255, h));
  EXPECT_FALSE(vz::ParseRecHeader(nullptr, 256, h));
  EXPECT_TRUE(vz::ParseRecHeader(raw, 256, h));
}

TEST(RecFrameHead, MalformedHeadsAreRejected) {
  const std::string good = MakeRecFile({{true, true, 40, 0}, {true, false, 40, 40}});
  const uint64_t second = 256 + 24 + 40;
  struct Case {
    const char* name;
    std::size_t at;  // byte to patch, relative to the second frame
    uint32_t value;
    TRecFrameStatus want;
  } cases[] = {
      {"unchanged", 0, vz::kMarkerVideo, TRecFrameStatus::Ok},
      {"foreign marker", 0, 0xAAAAAAAA, TRecFrameStatus::BadHead},
      {"no payload", 4, 16, TRecFrameStatus::BadHead},
      {"over the unit limit", 4, vz::kMaxUnitLength + 1, TRecFrameStatus::BadHead},
      {"longer than the file", 4, 57, TRecFrameStatus::Truncated},
      {"link ahead of itself", 20, static_cast<uint32_t>(second + 1), TRecFrameStatus::BadLink},
      {"link into the header", 20, 255, TRecFrameStatus::BadLink},
      {"negative link", 20, 0xFFFFFFFF, TRecFrameStatus::BadLink},
      {"link to itself", 20, static_cast<uint32_t>(second), TRecFrameStatus::Ok},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    PutU32(bytes, second + c.at, c.value);
    vz::TRecFrame f;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + second;
    EXPECT_EQ(vz::ParseRecFrameHead(p, 24, second, bytes.size(), f), c.want) << c.name;
  }
  vz::TRecFrame f;
  const auto* p = reinterpret_cast<const uint8_t*>(good.data());
  EXPECT_EQ(vz::ParseRecFrameHead(p + 256, 23, 256, good.size(), f), TRecFrameStatus::Truncated);
  EXPECT_EQ(vz::ParseRecFrameHead(p + 256, 24, 256, 256 + 63, f), TRecFrameStatus::Truncated);
  EXPECT_EQ(vz::ParseRecFrameHead(nullptr, 0, good.size(), good.size(), f), TRecFrameStatus::End);
  ASSERT_EQ(vz::ParseRecFrameHead(p + 256, 24, 256, good.size(), f), TRecFrameStatus::Ok);
  EXPECT_TRUE(f.IsVideoKey());
  EXPECT_TRUE(f.LinksToItself());
  EXPECT_EQ(f.End(), second);
}

TEST(RecFileCheck, WellFormedFilePasses) {
  const std::string bytes = MakeRecFile(Gops(100, 25, 2));
  const vz::TRecCheckReport r = Check(bytes);
  EXPECT_TRUE(r.Ok()) << (r.Errors.empty() ? "" : r.Errors[0]);
  EXPECT_EQ(r.VideoFrames, 100u);
  EXPECT_EQ(r.AudioFrames, 50u);
  EXPECT_EQ(r.KeyFrames, 4u);
  EXPECT_EQ(r.ChainKeys, 4u);
  EXPECT_EQ(r.LastFrameEnd, bytes.size());
  EXPECT_FALSE(r.Unfinished);
}

TEST(RecFileCheck, FileCutShortWhileRecordingIsReadToItsLastWholeFrame) {
  std::string bytes = MakeRecFile(Gops(50, 10), /*unfinished=*/true);
  const std::size_t whole = bytes.size();
  bytes.append(std::string(30, '\x11'));  // part of a head and payload
  PutU32(bytes, whole, vz::kMarkerVideo);
  PutU32(bytes, whole + 4, 1000);
  const vz::TRecCheckReport r = Check(bytes);
  EXPECT_TRUE(r.Ok()) << (r.Errors.empty() ? "" : r.Errors[0]);
  EXPECT_TRUE(r.Unfinished);
  EXPECT_EQ(r.VideoFrames, 50u);
  EXPECT_EQ(r.LastFrameEnd, whole);
  EXPECT_EQ(r.TailBytes, 30u);

  // The same tail in a file that says it was closed is damage.
  PutU32(bytes, 4, static_cast<uint32_t>(bytes.size()));
  EXPECT_FALSE(Check(bytes).Ok());
}

TEST(RecFileCheck, DamageIsReported) {
  const std::string good = MakeRecFile(Gops(30, 10));
  const std::size_t frame3 = 256 + 24 + 40 + 24 + 41;  // third video frame (payloads 40, 41, 42, ...)
  struct Case {
    const char* name;
    std::function<void(std::string&)> damage;
    vz::TRecFirstFrame rule;
  } cases[] = {
      {"header length wrong", [](std::string& b) { PutU32(b, 4, static_cast<uint32_t>(b.size() - 1)); },
       vz::TRecFirstFrame::KeyOnly},
      {"link to a wrong key", [&](std::string& b) { PutU32(b, frame3 + 20, static_cast<uint32_t>(frame3)); },
       vz::TRecFirstFrame::KeyOnly},
      {"foreign bytes inside", [&](std::string& b) { PutU32(b, frame3, 0x12345678); },
       vz::TRecFirstFrame::KeyOnly},
      {"first frame not a key", [](std::string& b) { b[256 + 17] = 0; }, vz::TRecFirstFrame::KeyOnly},
      {"header only", [](std::string& b) { b.resize(256); PutU32(b, 4, 256); }, vz::TRecFirstFrame::KeyOnly},
      {"short of a header", [](std::string& b) { b.resize(100); }, vz::TRecFirstFrame::KeyOnly},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    c.damage(bytes);
    EXPECT_FALSE(Check(bytes, c.rule).Ok()) << c.name;
  }
}

TEST(RecFileCheck, AlarmFileMayLeadWithFramesBeforeItsFirstKey) {
  std::vector<rectest::TRecFrameSpec> frames = {{true, false, 40, 0}, {false, false, 32, 10}};
  for (const auto& f : Gops(20, 10)) frames.push_back({f.Video, f.Key, f.PayloadBytes, f.TimeMs + 40});
  const std::string bytes = MakeRecFile(frames);
  EXPECT_FALSE(Check(bytes, vz::TRecFirstFrame::KeyOnly).Ok());
  const vz::TRecCheckReport r = Check(bytes, vz::TRecFirstFrame::AlarmLeadAllowed);
  EXPECT_TRUE(r.Ok()) << (r.Errors.empty() ? "" : r.Errors[0]);
  EXPECT_EQ(r.LeadFrames, 2u);
  EXPECT_EQ(r.ChainKeys, 2u);
}

TEST(RecFileCheck, BackLinkWalkEndsOnEveryChain) {
  const std::string good = MakeRecFile(Gops(30, 10));
  const auto read = rectest::MemReader(good);
  EXPECT_EQ(vz::WalkBackLinks(read, good.size(), 256), 1);
  std::string bad = good;
  PutU32(bad, 256 + 24 + 40 + 20, 260);  // second frame links into the first one
  const auto read_bad = rectest::MemReader(bad);
  EXPECT_EQ(vz::WalkBackLinks(read_bad, bad.size(), 256 + 24 + 40), -1);
}

}  // namespace
