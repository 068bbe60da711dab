#pragma once
// Snapshot files of a shown picture: JPEG at quality 100 and 32-bit BMP.
// Neither writer replaces an existing file: the file is created exclusively,
// so two snapshots racing for one name leave one picture and one false.
#include <cstdint>
#include <string>

class QImage;

namespace vz {

// "<folder><yyyymmdd_hhnnss>_<ms, 3 digits>_<channel>.<ext>" for the local
// time now; folder ends with "/".
std::string SnapshotFileName(const std::string& folder, int32_t channel, const char* ext);

// Creates the file's folder when needed. False when the picture is empty,
// the file exists or cannot be written (a partial file is removed).
bool SaveJpegFile(const QImage& picture, const std::string& path);
bool SaveBmp32File(const QImage& picture, const std::string& path);

}  // namespace vz
