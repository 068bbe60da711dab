#pragma once
// Thread priorities and names for the threads we start ourselves.
//
// Linux threads of the normal scheduling class have no priority of their
// own, but each has its own nice value: the levels map to nice 19 ... -15.
// Raising above normal needs CAP_SYS_NICE; without it the thread simply
// keeps its present value.
#include <string>

enum class TThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

namespace vz {

// The nice value a level maps to.
int NiceOf(TThreadPriority priority);
// Applies the level to the calling thread; false when the system refused.
bool ApplyThreadPriority(TThreadPriority priority);
// Names the calling thread (cut to the 15 characters the kernel keeps).
void NameThisThread(const std::string& name);

}  // namespace vz
