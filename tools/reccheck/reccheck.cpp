// reccheck: checks record files ("av") and prints a summary of each.
//
//   reccheck [-q] [--alarm] FILE...
//
// For every file: the header fields, the frame counts, the time span, and
// every problem found in the frame heads, the back-link chain and the
// first-frame rule. A file cut short while recording (header length 0) is
// accepted up to its last whole frame. --alarm allows the frames an alarm
// file may hold in front of its first key frame. -q prints only problems.
// Exit code 0 when every file is sound, 1 otherwise, 2 on a usage error.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "RecFileCheck.h"
#include "SdkTime.h"

namespace {

std::string SecondsText(uint32_t seconds) {
  vz::DateTimeParts p;
  if (!vz::DecodeDateTime(vz::SecondsToDateTime(seconds), p)) return "?";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                p.second);
  return text;
}

std::string Printable(const char* field, std::size_t size) {
  std::string out;
  for (std::size_t i = 0; i < size && field[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(field[i]);
    out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  }
  return out;
}

void PrintReport(const std::string& path, const vz::TRecCheckReport& r) {
  std::printf("%s\n", path.c_str());
  std::printf("  file size      %" PRIu64 " bytes\n", r.FileSize);
  if (!r.HeaderRead) return;
  const vz::TRecFileHeader& h = r.Header;
  std::printf("  device type    %d\n", h.DevType);
  std::printf("  header length  %u%s\n", h.FileLen, r.Unfinished ? " (not closed: cut short while recording)" : "");
  std::printf("  start          %s (%u)\n", SecondsText(h.StartTime).c_str(), h.StartTime);
  std::printf("  end            %s (%u)\n", SecondsText(h.EndTime).c_str(), h.EndTime);
  std::printf("  maker          \"%s\"\n", Printable(h.Maker, sizeof h.Maker).c_str());
  std::printf("  address        \"%s\"\n", Printable(h.SvrAddr, sizeof h.SvrAddr).c_str());
  std::printf("  picture        %d x %d, codec %d, %d fps\n", h.Video.Width, h.Video.Height, h.Video.Codec,
              h.Video.FrameRate);
  std::printf("  audio          codec %d, %d ch, %d Hz, %d bits\n", h.Audio.Codec, h.Audio.Channels,
              h.Audio.SampleRate, h.Audio.BitsPerSample);
  std::printf("  frames         %" PRIu64 " (video %" PRIu64 ", key %" PRIu64 ", audio %" PRIu64 ")\n", r.Frames,
              r.VideoFrames, r.KeyFrames, r.AudioFrames);
  if (r.LeadFrames > 0) std::printf("  before 1st key %" PRIu64 " frames\n", r.LeadFrames);
  if (r.Frames > 0) {
    std::printf("  frame times    %" PRIu64 ".%03" PRIu64 " s ... %" PRIu64 ".%03" PRIu64 " s\n",
                r.FirstTimeStamp / 1000000, r.FirstTimeStamp / 1000 % 1000, r.LastTimeStamp / 1000000,
                r.LastTimeStamp / 1000 % 1000);
  }
  std::printf("  whole frames   end at %" PRIu64 "", r.LastFrameEnd);
  if (r.TailBytes > 0) std::printf(", %" PRIu64 " bytes of an incomplete frame after them", r.TailBytes);
  std::printf("\n  back-links     %" PRIu64 " key frames reached from the last frame\n", r.ChainKeys);
}

}  // namespace

int main(int argc, char** argv) {
  bool quiet = false;
  vz::TRecFirstFrame rule = vz::TRecFirstFrame::KeyOnly;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-q") {
      quiet = true;
    } else if (a == "--alarm") {
      rule = vz::TRecFirstFrame::AlarmLeadAllowed;
    } else if (a == "-h" || a == "--help") {
      std::printf("usage: reccheck [-q] [--alarm] FILE...\n");
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "reccheck: unknown option %s\n", a.c_str());
      return 2;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: reccheck [-q] [--alarm] FILE...\n");
    return 2;
  }
  bool all_ok = true;
  for (const std::string& f : files) {
    const vz::TRecCheckReport r = vz::CheckRecFilePath(f, rule);
    if (!quiet) PrintReport(f, r);
    for (const std::string& e : r.Errors) std::printf("%s: %s\n", f.c_str(), e.c_str());
    if (r.ErrorCount > r.Errors.size()) {
      std::printf("%s: ... %" PRIu64 " problems in all\n", f.c_str(), r.ErrorCount);
    }
    if (!quiet) std::printf("  result         %s\n", r.Ok() ? "OK" : "DAMAGED");
    all_ok = all_ok && r.Ok();
  }
  return all_ok ? 0 : 1;
}
