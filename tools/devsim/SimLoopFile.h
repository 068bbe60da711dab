#pragma once
// Encoded loops kept on disk between runs, so that every later process
// (each test case runs in one of its own) replays at once instead of
// encoding again. One file per format (channel mark included); a file that
// is short, long, of another format or not ours is ignored and written anew.
//
// The folder is $VZ_DEVSIM_LOOPS when set ("off" turns the disk cache off),
// else vzDevSim-loops-UID in the temporary folder.
#include <memory>
#include <string>
#include <vector>

#include "SimEncoder.h"

namespace vzsim {

class SimLoopFile {
 public:
  // Empty when the disk cache is off.
  static std::string Folder();
  static std::string PathFor(const std::string& folder, const SimVideoFormat& format);

  // Null unless the file holds exactly one loop of `format`.
  static std::shared_ptr<const SimLoop> Load(const std::string& path, const SimVideoFormat& format);
  // The same for the bytes of a file.
  static std::shared_ptr<const SimLoop> Parse(const uint8_t* data, size_t size, const SimVideoFormat& format);
  static std::vector<uint8_t> Serialize(const SimLoop& loop);
  // Writes a temporary file and renames it over the old one; false on failure.
  static bool Save(const std::string& path, const SimLoop& loop);
};

}  // namespace vzsim
