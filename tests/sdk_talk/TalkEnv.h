#pragma once
// The headless sound setup of sdk_talk_test: "default" is the file plugin
// over the null device, writing what is played to PlayedFile() and reading
// the microphone from MicrophoneFile().
#include <filesystem>
#include <string>

namespace talktest {

std::filesystem::path PlayedFile();
std::filesystem::path MicrophoneFile();
// The bytes the microphone delivers, in order (distinct per position).
std::string MicrophoneBytes();

}  // namespace talktest
