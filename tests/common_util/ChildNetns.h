#pragma once
// Runs a piece of a test in a forked child that first tries to enter a
// network namespace of its own (loopback up, nothing else), so the test may
// add interfaces or change per-namespace sysctls without touching anything
// another test sees.
#include <functional>
#include <string>

namespace utiltest {

struct ChildResult {
  bool ran = false;            // the child ran and reported
  bool own_namespace = false;  // it had a namespace of its own
  std::string output;          // what body returned (at most 64 KiB)
};

ChildResult RunInChildNetns(const std::function<std::string(bool own_namespace)>& body);

// Inside the child: sets a sysctl of its namespace, e.g.
// WriteProc("/proc/sys/net/ipv4/ping_group_range", "0 2147483647").
bool WriteProc(const char* path, const char* value);

}  // namespace utiltest
