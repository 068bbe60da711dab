#pragma once
// The sound setup of sdk_netapi_sim_test (NetTestMain.cpp).
#include <string>

namespace nettest {

// What the microphone delivers, from its first byte.
std::string MicrophoneBytes();

}  // namespace nettest
