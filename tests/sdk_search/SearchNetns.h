#pragma once
// Two network namespaces of the test's own, joined by veth pairs: the
// calling thread ends up in the "PC" namespace with 10.77.K.1/24 on vzpK,
// and the "devices" namespace holds the peers with 10.77.K.2/24 on vzdK
// (K = 1 ... n). Sockets opened inside InDevices() stay in the devices'
// namespace. Nothing reaches the namespace the test started in; the
// destructor returns the thread there and both namespaces vanish with their
// last socket.
#include <functional>
#include <string>

namespace searchtest {

class SearchNetns {
 public:
  SearchNetns() = default;
  ~SearchNetns();
  SearchNetns(const SearchNetns&) = delete;
  SearchNetns& operator=(const SearchNetns&) = delete;

  // False with `why` when this process may not build namespaces here (not
  // root, not inside the runner's namespace, no ip tool or veth).
  bool Create(int interfaces, std::string* why);
  void InDevices(const std::function<void()>& fn);

  static std::string PcIP(int k) { return "10.77." + std::to_string(k) + ".1"; }
  static std::string DevIP(int k) { return "10.77." + std::to_string(k) + ".2"; }

 private:
  int home_ = -1;
  int pc_ = -1;
  int dev_ = -1;
};

}  // namespace searchtest
