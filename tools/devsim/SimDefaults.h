#pragma once
// The configuration a simulated device starts with (and returns to on a
// factory default): a plausible camera or recorder with three accounts,
// admin/admin (administrator), operator/operator (system) and guest/guest.
#include <cstdint>

#include "SimState.h"

namespace vzsim {

enum class SimModel { Ipc, Dvr };

class SimDefaults {
 public:
  // `device` numbers the device within its simulator (serial number, name).
  static SimState Build(SimModel model, int device, uint16_t port);
};

}  // namespace vzsim
