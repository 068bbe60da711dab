#include "RecFileCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>

namespace vz {

namespace {

void AddError(TRecCheckReport& r, const std::string& text) {
  ++r.ErrorCount;
  if (r.Errors.size() < TRecCheckReport::kMaxErrorTexts) r.Errors.push_back(text);
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

TRecFrameStatus ReadHeadAt(const TRecReadAt& read, uint64_t offset, uint64_t data_end, TRecFrame& out) {
  uint8_t head[kFrameHeadSize];
  std::size_t n = 0;
  if (offset < data_end) {
    n = read(offset, head, data_end - offset < sizeof head ? static_cast<std::size_t>(data_end - offset)
                                                           : sizeof head);
  }
  return ParseRecFrameHead(head, n, offset, data_end, out);
}

}  // namespace

int64_t WalkBackLinks(const TRecReadAt& read, uint64_t data_end, uint64_t offset) {
  int64_t keys = 0;
  for (;;) {
    TRecFrame f;
    if (ReadHeadAt(read, offset, data_end, f) != TRecFrameStatus::Ok) return -1;
    if (f.IsVideoKey()) ++keys;
    if (f.LinksToItself()) return keys;
    offset = f.BackLink;  // strictly below f.Offset: the walk descends
  }
}

TRecCheckReport CheckRecFile(const TRecReadAt& read, uint64_t file_size, TRecFirstFrame rule) {
  TRecCheckReport r;
  r.FileSize = file_size;
  uint8_t raw[kRecHeaderSize];
  const std::size_t got = file_size >= kRecHeaderSize ? read(0, raw, sizeof raw) : 0;
  if (!ParseRecHeader(raw, got, r.Header)) {
    AddError(r, Format("file of %" PRIu64 " bytes holds no whole header", file_size));
    return r;
  }
  r.HeaderRead = true;
  r.DataEnd = RecDataEnd(r.Header, file_size);
  r.Unfinished = r.Header.FileLen == 0;
  if (!r.Unfinished && r.Header.FileLen != file_size) {
    AddError(r, Format("header length %" PRIu64 " differs from the file size %" PRIu64, static_cast<uint64_t>(r.Header.FileLen),
                       file_size));
  }

  bool key_seen = false;
  uint64_t last_key = kRecFirstFrameOffset;
  uint64_t offset = kRecFirstFrameOffset;
  uint64_t last_frame = 0;
  for (;;) {
    TRecFrame f;
    const TRecFrameStatus st = ReadHeadAt(read, offset, r.DataEnd, f);
    if (st == TRecFrameStatus::End) break;
    if (st == TRecFrameStatus::Truncated) {
      r.TailBytes = r.DataEnd - offset;
      // A crash while writing leaves part of a frame; a closed file must not.
      if (!r.Unfinished) AddError(r, Format("incomplete frame at %" PRIu64 " in a closed file", offset));
      break;
    }
    if (st != TRecFrameStatus::Ok) {
      AddError(r, RecFrameStatusText(st) + Format(" at %" PRIu64, offset));
      r.TailBytes = r.DataEnd - offset;
      break;
    }
    if (r.Frames == 0) {
      r.FirstTimeStamp = f.Head.TimeStamp;
      if (!f.IsVideoKey() && rule == TRecFirstFrame::KeyOnly) {
        AddError(r, Format("first frame at %" PRIu64 " is not a video key frame", offset));
      }
    }
    uint64_t expected = last_key;
    if (!key_seen) expected = f.IsVideoKey() ? f.Offset : kRecFirstFrameOffset;
    if (f.BackLink != expected) {
      AddError(r, Format("frame at %" PRIu64 " links to %" PRIu64 ", expected %" PRIu64, f.Offset, f.BackLink,
                         expected));
    }
    if (!key_seen && !f.IsVideoKey()) ++r.LeadFrames;
    if (f.IsVideoKey()) {
      key_seen = true;
      last_key = f.Offset;
      ++r.KeyFrames;
    }
    if (f.Kind == TFrameKind::Video) {
      ++r.VideoFrames;
    } else {
      ++r.AudioFrames;
    }
    ++r.Frames;
    r.LastTimeStamp = f.Head.TimeStamp;
    last_frame = f.Offset;
    offset = f.End();
    r.LastFrameEnd = offset;
  }
  if (r.Frames == 0) {
    AddError(r, "no whole frame behind the header");
    return r;
  }
  const int64_t keys = WalkBackLinks(read, r.DataEnd, last_frame);
  if (keys < 0) {
    AddError(r, "the back-link chain from the last frame leads outside the frames");
  } else {
    r.ChainKeys = static_cast<uint64_t>(keys);
    if (r.ErrorCount == 0 && r.ChainKeys != r.KeyFrames) {
      AddError(r, Format("back-link chain reaches %" PRIu64 " of %" PRIu64 " key frames", r.ChainKeys,
                         r.KeyFrames));
    }
  }
  return r;
}

TRecCheckReport CheckRecFilePath(const std::string& path, TRecFirstFrame rule) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) ::close(fd);
    TRecCheckReport r;
    AddError(r, "cannot open " + path);
    return r;
  }
  const TRecReadAt read = [fd](uint64_t offset, uint8_t* dst, std::size_t n) -> std::size_t {
    std::size_t done = 0;
    while (done < n) {
      const ssize_t got = ::pread(fd, dst + done, n - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  };
  TRecCheckReport r = CheckRecFile(read, static_cast<uint64_t>(st.st_size), rule);
  ::close(fd);
  return r;
}

}  // namespace vz
