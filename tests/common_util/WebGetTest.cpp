#include "WebGet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "FileUtils.h"
#include "LoopbackHttp.h"
#include "TestEnv.h"

namespace {

using utiltest::LoopbackHttp;

const std::string kBig(100 * 1024, 'b');

LoopbackHttp::Answer Ok(std::string body) { return {200, std::move(body)}; }

class WebGet : public testing::Test {
 protected:
  LoopbackHttp server_{{{"/hello", Ok("hello world")},
                        {"/empty", Ok("")},
                        {"/gone", {500, "server trouble"}},
                        {"/big", Ok(kBig)}}};
  std::string closed_ = "http://127.0.0.1:" + std::to_string(utiltest::ClosedLoopbackPort()) + "/hello";
  vztest::TempDir dir_;
};

TEST_F(WebGet, FileFollowsTheTransfer) {
  struct Case {
    std::string url;
    bool ok;
    std::optional<std::string> body;  // the file afterwards; nullopt = the old one stays
  };
  const Case cases[] = {
      {server_.Url("/hello"), true, "hello world"},
      {server_.Url("/big"), true, kBig},
      {server_.Url("/empty"), false, std::nullopt},
      {server_.Url("/missing"), false, std::nullopt},
      {server_.Url("/gone"), false, std::nullopt},
      {closed_, false, std::nullopt},
      {"not a url", false, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto file = dir_ / "download.bin";
    vztest::WriteFileBytes(file, "older content");
    EXPECT_EQ(vz::WebGetFile(c.url, file.string()), c.ok) << c.url;
    EXPECT_EQ(vztest::ReadFileBytes(file), c.body.value_or("older content")) << c.url;
    EXPECT_FALSE(vz::FileExists(file.string() + ".part")) << c.url;
  }
  EXPECT_FALSE(vz::WebGetFile(server_.Url("/hello"), (dir_ / "no/such/folder/f").string()));
}

TEST_F(WebGet, FileHonoursTheLimitAndACancel) {
  const auto file = (dir_ / "limited.bin").string();
  vz::TWebGetOptions small;
  small.max_bytes = 1000;
  EXPECT_FALSE(vz::WebGetFile(server_.Url("/big"), file, small));
  EXPECT_FALSE(vz::FileExists(file));

  int reports = 0;
  vz::TWebGetOptions cancelled;
  cancelled.progress = [&](uint64_t, uint64_t) { return ++reports < 1; };
  EXPECT_FALSE(vz::WebGetFile(server_.Url("/big"), file, cancelled));
  EXPECT_GT(reports, 0);

  uint64_t last = 0, total = 0;
  vz::TWebGetOptions watched;
  watched.progress = [&](uint64_t got, uint64_t all) {
    last = got;
    total = all;
    return true;
  };
  EXPECT_TRUE(vz::WebGetFile(server_.Url("/big"), file, watched));
  EXPECT_EQ(last, kBig.size());
  EXPECT_EQ(total, kBig.size());
}

TEST_F(WebGet, StreamReturnsTheBody) {
  // A proxy of the environment that does not exist must not be used.
  ::setenv("http_proxy", closed_.c_str(), 1);
  ::setenv("HTTP_PROXY", closed_.c_str(), 1);
  std::string stream = "stale";
  EXPECT_TRUE(vz::WebGetStream(server_.Url("/hello"), stream));
  EXPECT_EQ(stream, "hello world");
  EXPECT_FALSE(vz::WebGetStream(server_.Url("/empty"), stream));
  EXPECT_TRUE(stream.empty());
  ::unsetenv("http_proxy");
  ::unsetenv("HTTP_PROXY");
}

TEST_F(WebGet, StreamFailuresReachTheCallerWithAnEmptiedStream) {
  vz::TWebGetOptions small = vz::WebStreamOptions();
  small.max_bytes = 1000;
  struct Case {
    std::string url;
    vz::TWebGetOptions options;
  };
  const Case cases[] = {
      {server_.Url("/missing"), vz::WebStreamOptions()},
      {server_.Url("/gone"), vz::WebStreamOptions()},
      {closed_, vz::WebStreamOptions()},
      {server_.Url("/big"), small},
      {"ftp://127.0.0.1/file", vz::WebStreamOptions()},
  };
  for (const auto& c : cases) {
    std::string stream = "stale";
    try {
      vz::WebGetStream(c.url, stream, c.options);
      ADD_FAILURE() << "no error for " << c.url;
    } catch (const vz::TWebGetError& e) {
      EXPECT_STRNE(e.what(), "") << c.url;
    }
    EXPECT_TRUE(stream.empty()) << c.url;
  }
}

}  // namespace
