#include "WebGet.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <mutex>

namespace vz {
namespace {

void GlobalInitOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TSink {
  std::function<bool(const char*, size_t)> write;
  const TWebGetOptions* options = nullptr;
  uint64_t received = 0;
  bool tooBig = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<TSink*>(user);
  const size_t bytes = size * count;
  if (sink->options->max_bytes && sink->received + bytes > sink->options->max_bytes) {
    sink->tooBig = true;
    return 0;  // makes curl abort with a write error
  }
  try {
    if (!sink->write(data, bytes)) return 0;
  } catch (...) {
    return 0;  // nothing may unwind through the C library
  }
  sink->received += bytes;
  return bytes;
}

int Progress(void* user, curl_off_t total, curl_off_t got, curl_off_t, curl_off_t) {
  auto* sink = static_cast<TSink*>(user);
  try {
    const bool goOn = sink->options->progress(static_cast<uint64_t>(got < 0 ? 0 : got),
                                              static_cast<uint64_t>(total < 0 ? 0 : total));
    return goOn ? 0 : 1;
  } catch (...) {
    return 1;
  }
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

// Runs the transfer; "" on success, else the error text.
std::string Transfer(const std::string& url, TSink& sink) {
  GlobalInitOnce();
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return "HTTP client could not be created";
  char error[CURL_ERROR_SIZE] = {0};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  // Devices sit on the LAN: a proxy from the environment would only be in
  // the way, and redirects are not followed either.
  curl_easy_setopt(c, CURLOPT_PROXY, "");
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, sink.options->connect_timeout_ms);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, sink.options->total_timeout_ms);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
  if (sink.options->progress) {
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &sink);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  }
  const CURLcode rc = curl_easy_perform(c);
  if (rc == CURLE_OK) return {};
  if (sink.tooBig) return "HTTP body larger than " + std::to_string(sink.options->max_bytes) + " bytes";
  std::string text = error[0] ? error : curl_easy_strerror(rc);
  return text.empty() ? "HTTP transfer failed" : text;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

TWebGetOptions WebStreamOptions() {
  TWebGetOptions options;
  options.max_bytes = kWebStreamDefaultMaxBytes;
  return options;
}

bool WebGetFile(const std::string& url, const std::string& file, const TWebGetOptions& options) {
  if (file.empty()) return false;
  try {
    const std::string part = file + ".part";
    std::unique_ptr<std::FILE, FileCloser> out(std::fopen(part.c_str(), "wb"));
    if (!out) return false;
    TSink sink;
    sink.options = &options;
    sink.write = [&out](const char* data, size_t bytes) {
      return std::fwrite(data, 1, bytes, out.get()) == bytes;
    };
    const std::string failure = Transfer(url, sink);
    const bool flushed = std::fflush(out.get()) == 0;
    out.reset();
    if (!failure.empty() || !flushed || sink.received == 0 || std::rename(part.c_str(), file.c_str()) != 0) {
      std::remove(part.c_str());
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

bool WebGetStream(const std::string& url, std::string& stream, const TWebGetOptions& options) {
  stream.clear();
  TSink sink;
  sink.options = &options;
  sink.write = [&stream](const char* data, size_t bytes) {
    stream.append(data, bytes);
    return true;
  };
  std::string failure;
  try {
    failure = Transfer(url, sink);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (!failure.empty()) {
    stream.clear();
    stream.shrink_to_fit();
    throw TWebGetError(failure);
  }
  return !stream.empty();
}

}  // namespace vz
