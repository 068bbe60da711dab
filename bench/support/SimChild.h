#pragma once
// The device simulator in a child process, for benchmarks that measure the
// receiving side alone: the child is forked before the benchmark starts any
// thread, serves one simulated device per entry of the list on loopback
// ports, and answers the parent's questions over a pipe. The child's CPU
// and memory never count in the parent's figures.
#include <sys/types.h>

#include <cstdint>
#include <vector>

#include "DevSim.h"

namespace vzbench {

struct TSimDevice {
  vzsim::SimCamera Camera;
  vzsim::Fault Fault = vzsim::Fault::None;  // switched on at the start
};

// What one device has sent on its stream connections so far.
struct TSimSent {
  uint64_t Video = 0;
  uint64_t Audio = 0;
};

class TSimChild {
 public:
  explicit TSimChild(std::vector<TSimDevice> devices);
  ~TSimChild();  // stops the child and waits for it
  TSimChild(const TSimChild&) = delete;
  TSimChild& operator=(const TSimChild&) = delete;

  // Forks and waits until every device listens. Call before any thread of
  // this process exists. False when the child could not start its devices.
  // nice: how much lower than this process the child runs. The devices
  // stand in for cameras on other machines; a positive value keeps them
  // from taking the measured side's processor while it has work.
  bool Start(int nice = 0);

  int Devices() const { return static_cast<int>(devices_.size()); }
  uint16_t Port(int device) const { return ports_[static_cast<size_t>(device)]; }
  // Every device's counts, in order; empty when the child does not answer.
  std::vector<TSimSent> Sent();

 private:
  int Serve(int in, int out);

  std::vector<TSimDevice> devices_;
  std::vector<uint16_t> ports_;
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
};

}  // namespace vzbench
