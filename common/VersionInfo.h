#pragma once
// Version texts of our binaries. Linux files carry no version resource: all
// programs and libraries built from this tree share the project version
// compiled in, and a shared library found under its versioned file name
// ("libvzSDK.so.1.0.0", also through its "libvzSDK.so" link) tells its own.
#include <string>

namespace vz {

// "a.b.c.d" for the file at path; "" when there is no such file.
std::string FileVersionOf(const std::string& path);
// The product version text ("1.0.0") for the file at path; "" when there
// is no such file.
std::string ProductVersionOf(const std::string& path);
// The project version compiled into this build ("1.0.0").
std::string ProjectVersion();

}  // namespace vz
