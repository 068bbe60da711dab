#pragma once
// The double's state, shared by its two libraries: the channel library
// reaches it through P2PDouble_State() exported by the tunnel library.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "P2PDouble.h"

namespace p2pdouble {

struct Frame {
  std::vector<uint8_t> bytes;
  int flag = 0;
};

struct Sent {
  int channel = 0;
  unsigned type = 0;
  std::vector<uint8_t> payload;
};

struct Failure {
  int result = 0;
  int times = 0;  // -1: always
};

struct ChannelState {
  int sid = -1;
  bool streaming = false;
};

struct State {
  std::mutex m;  // guards everything but readersInside
  std::map<std::string, std::string> devices;
  std::map<std::string, Failure> failures;
  std::map<std::string, int> calls;
  std::map<std::string, std::string> texts;
  std::vector<Sent> sent;
  std::deque<Frame> queue;
  std::vector<Frame> video;  // encoded once, kept across resets
  bool videoOn = false;
  size_t videoNext = 0;
  std::chrono::steady_clock::time_point videoDue{};
  int idleCode = -20;
  int nameAnswerTry = 1;
  std::map<int, int> nameTries;  // channel -> tries since its last name query
  std::map<int, std::string> sessions;  // sid -> uid
  std::map<int, ChannelState> channels;
  int nextSid = 0;
  int nextChannel = 0;
  std::atomic<int> readersInside{0};

  // Counts the call; true (with *result) when a failure is armed for it.
  // Call with m held.
  bool Called(const char* function, int* result);
};

}  // namespace p2pdouble

__attribute__((visibility("default"))) p2pdouble::State& P2PDouble_State();
// Encodes the double's video (640 x 480 H.264, 12 frames, the first a key frame).
std::vector<p2pdouble::Frame> P2PDouble_Encode();
