// The live-player section of the public header: a C compiler and a C++
// compiler agree on every record, and the records match the SDK's own.
#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>
#include <vector>

#include "DspInfo.h"
#include "vzSDK.h"

extern "C" {
typedef void (*AnyFn)(void);
size_t NetApiCExports(AnyFn* out, size_t capacity);
size_t NetApiCLayout(size_t* out, size_t capacity);
}

namespace {

static_assert(sizeof(vzBool) == 1, "booleans are one byte");
static_assert(std::is_same_v<decltype(vzNet_Init(nullptr, 0, 0, 0, 0, 0)), vzBool>);
static_assert(std::is_same_v<decltype(vzNet_LastRecvDataTime(nullptr)), int32_t>);
static_assert(Decode_None == 0 && Decode_IFrame == 1 && Decode_All == 2);
static_assert(devNone == 0 && devX1 == 11);

// Display targets are handed to the player as the caller's own record.
static_assert(sizeof(vzDspInfo) == sizeof(vz::TDspInfo));
static_assert(offsetof(vzDspInfo, DspHandle) == offsetof(vz::TDspInfo, DspHandle));
static_assert(sizeof(vzDspInfo::DspHandle) == sizeof(vz::TDspInfo::DspHandle));
static_assert(offsetof(vzDspInfo, Channel) == offsetof(vz::TDspInfo, Channel));
static_assert(offsetof(vzDspInfo, DspRect) == offsetof(vz::TDspInfo, DspRect));
static_assert(sizeof(vzRect) == sizeof(vz::TDspRect));
static_assert(offsetof(vzRect, Left) == offsetof(vz::TDspRect, Left));
static_assert(offsetof(vzRect, Top) == offsetof(vz::TDspRect, Top));
static_assert(offsetof(vzRect, Right) == offsetof(vz::TDspRect, Right));
static_assert(offsetof(vzRect, Bottom) == offsetof(vz::TDspRect, Bottom));

TEST(NetHeader, CAndCxxLayOutTheRecordsAlike) {
  const std::vector<size_t> cxx = {
#include "NetLayoutItems.h"
  };
  std::vector<size_t> c(32);
  c.resize(NetApiCLayout(c.data(), c.size()));
  EXPECT_EQ(c, cxx);
}

TEST(NetHeader, CSeesEveryFunction) {
  std::vector<AnyFn> fns(64);
  fns.resize(NetApiCExports(fns.data(), fns.size()));
  // 48 live-player functions and FastPing.
  ASSERT_EQ(fns.size(), 49u);
  for (size_t i = 0; i < fns.size(); ++i) EXPECT_NE(fns[i], nullptr) << i;
}

}  // namespace
