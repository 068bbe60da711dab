#pragma once
// Plain HTTP GET into a file or into memory, over libcurl (one easy handle
// per call, so any thread may call; no signals are used for time-outs).
//
// No proxy is used (the environment's http_proxy is ignored) and redirects
// are not followed. A transfer fails on a transport error, on an HTTP status of 400 or above,
// when the body grows past max_bytes or when progress asks to stop.
//
// WebGetFile turns every failure into false. WebGetStream empties the
// stream and throws TWebGetError carrying the HTTP client's error text:
// callers that show that text to the operator catch it.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace vz {

class TWebGetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TWebGetOptions {
  long connect_timeout_ms = 5000;
  long total_timeout_ms = 30000;  // 0 = no limit on the whole transfer
  uint64_t max_bytes = 0;         // 0 = no limit on the body
  // Called as data arrives with the bytes so far and the announced total
  // (0 when unknown); answering false cancels the transfer.
  std::function<bool(uint64_t got, uint64_t total)> progress;
};

// The bodies read into memory are small device replies; a body past this
// size is refused unless the caller asks for more.
constexpr uint64_t kWebStreamDefaultMaxBytes = 16u << 20;

// The defaults of WebGetStream: those of TWebGetOptions with the body
// bounded by kWebStreamDefaultMaxBytes.
TWebGetOptions WebStreamOptions();

// GET url into file. The body goes to "<file>.part" first and replaces file
// only when the transfer worked and the body is not empty, so a failed
// download never leaves a cut file behind nor destroys an older one.
bool WebGetFile(const std::string& url, const std::string& file, const TWebGetOptions& options = {});

// GET url into stream (replaced). True when the body is not empty; throws
// TWebGetError (stream emptied) when the transfer fails.
bool WebGetStream(const std::string& url, std::string& stream, const TWebGetOptions& options = WebStreamOptions());

}  // namespace vz
