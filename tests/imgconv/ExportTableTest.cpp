// The shared library itself: every export is visible under its C name, the
// internals are not, and the loaded library converts and deinterlaces.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "vzbb.h"

namespace {

const char* const kExports[] = {
    "YUV420_RGB16",  "YUV420_BGR16",  "YUV420ToRGB24Ex",     "YUV420ToBGR24Ex",
    "YUV420ToRGB32", "YUV420ToBGR32", "vzImgConvert",        "vz_DeInterlace_Init",
    "vz_DeInterlace", "vz_DeInterlace_Free",
};

class Library {
 public:
  Library() : handle_(dlopen(VZBB_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
  ~Library() {
    if (handle_) dlclose(handle_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  void* handle() const { return handle_; }
  template <typename Fn>
  Fn Get(const char* name) const {
    return reinterpret_cast<Fn>(dlsym(handle_, name));
  }

 private:
  void* handle_;
};

TEST(SharedLibrary, ExportsExactlyTheCInterface) {
  Library lib;
  ASSERT_NE(nullptr, lib.handle()) << dlerror();
  for (const char* name : kExports) EXPECT_NE(nullptr, dlsym(lib.handle(), name)) << name;
  for (const char* internal : {"_ZN4vzbb11ClassifyCpuEv", "_ZN4vzbb10kYuvTablesE"})
    EXPECT_EQ(nullptr, dlsym(lib.handle(), internal)) << internal;
}

TEST(SharedLibrary, LoadedLibraryWorks) {
  Library lib;
  ASSERT_NE(nullptr, lib.handle()) << dlerror();
  const auto to_bgr32 = lib.Get<decltype(&YUV420ToBGR32)>("YUV420ToBGR32");
  const auto init = lib.Get<decltype(&vz_DeInterlace_Init)>("vz_DeInterlace_Init");
  const auto free_fn = lib.Get<decltype(&vz_DeInterlace_Free)>("vz_DeInterlace_Free");
  ASSERT_TRUE(to_bgr32 && init && free_fn);
  std::vector<uint8_t> y(64 * 2, 128), cr(32, 255), cb(32, 128), out(64 * 2 * 4, 0xEE);
  ASSERT_EQ(1, to_bgr32(y.data(), cr.data(), cb.data(), out.data(), 64, 32, 64, 2, 0));
  for (size_t p = 0; p < 128; ++p) {  // B, G, R, 0 of Y 128, Cb 128, Cr 255
    ASSERT_EQ(130, out[4 * p]) << p;
    ASSERT_EQ(27, out[4 * p + 1]) << p;
    ASSERT_EQ(255, out[4 * p + 2]) << p;
    ASSERT_EQ(0, out[4 * p + 3]) << p;
  }
  vzDeInterlaceHandle h = nullptr;
  EXPECT_EQ(0, init(&h, 1920, 540, 3840, 1920, 1920, 960));
  EXPECT_EQ(0, free_fn(h));
}

}  // namespace
