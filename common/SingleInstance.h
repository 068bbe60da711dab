#pragma once
// One running copy per user: the named mutex of the Windows original becomes
// an flock() on "<name>.lock" in $XDG_RUNTIME_DIR (else
// "/tmp/<name>-<uid>.lock"). The kernel drops the lock when the process
// ends, however it ends, so a crash never leaves a stale claim. The file is
// opened close-on-exec: programs we start do not inherit the claim.
#include <string>

namespace vz {

// True when this call claimed name (default: the executable's base name);
// false when another process holds it, when this process claimed it before,
// or when the lock file cannot be opened. A claim lasts until the process
// ends or ReleaseSingleInstance.
bool SingleInstance(const std::string& name = {});
// Gives a claim of this process up (tests, orderly restarts).
void ReleaseSingleInstance(const std::string& name = {});
// The lock file used for name.
std::string SingleInstanceLockPath(const std::string& name = {});

}  // namespace vz
