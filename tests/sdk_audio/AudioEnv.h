#pragma once
// The headless sound setup of sdk_audio_test: "default" is the file plugin
// over the null device, writing what is played to OutFile() and reading
// captured samples from InFile().
#include <filesystem>

namespace audiotest {

std::filesystem::path OutFile();
std::filesystem::path InFile();

}  // namespace audiotest
