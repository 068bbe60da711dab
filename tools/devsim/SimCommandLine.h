#pragma once
// The vzDevSim command line:
//   vzDevSim --port P [--devices N] [--state DIR] [--model ipc|dvr]
//            [--device SPEC]... [--alarm-every S]
//            [--fault NAME [--fault-arg N] [--fault-cmd CODE]]
//            [--reboot-refusal MS] [--verbose] [--help]
#include <cstdint>
#include <string>

#include "DevSim.h"

namespace vzsim {

class SimCommandLine {
 public:
  SimOptions options;
  bool help = false;
  Fault fault = Fault::None;  // switched on for every device
  int faultArg = 0;
  uint32_t faultCmd = 0;
  int alarmEvery_s = 0;  // 0: no alarm schedule
  bool http = false;     // serve each device's web interface too
  std::string error;  // why Parse failed

  // False with `error` set for an unknown option, a missing or bad value or
  // a missing --port. --help alone is enough.
  bool Parse(int argc, const char* const* argv);

  static std::string Usage();
  // $XDG_DATA_HOME/vzDevSim, else ~/.local/share/vzDevSim, else the
  // temporary folder's vzDevSim.
  static std::string DefaultStateDir();
};

}  // namespace vzsim
