#pragma once
// Snapshots of what a renderer shows, saved as JPEG.
//
// The picture is the renderer's last finished picture with its overlays, at
// the picture's own size, the crop margins removed (TRender::Capture),
// written by SaveJpegFile (SnapshotFile.h): quality 100, full chroma
// resolution, never over an existing file.
//
// TSnapshot guards one player: a snapshot asked for while another of the
// same player is running is refused at once.
#include <QImage>

#include <atomic>
#include <cstdint>
#include <string>

namespace vz {

class TRender;

// The folder of a live player's default snapshot names: the player's
// snapshot folder (AppFolder() + "Snapshot/" when empty; a final "/" added),
// then the subfolder "<address>_<port>/". Empty when the address cannot name
// a folder (empty, ".", "..", or holding a "/").
std::string LiveSnapshotFolder(const std::string& snapshot_path, const std::string& svr_addr,
                               int32_t data_port);
class TSnapshot {
 public:
  // The live player's snapshot: file_name when given (non-empty), else the
  // default name of channel in the player's folder. True when a file was
  // written.
  bool SaveLiveJpg(const TRender& render, int32_t channel, const char* file_name,
                   const std::string& snapshot_path, const std::string& svr_addr,
                   int32_t data_port);

 private:
  std::atomic<bool> busy_{false};
};

}  // namespace vz
