#pragma once
// File and folder helpers. None of them throws.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vz {

// True when the folder exists or could be created with all its parents;
// true for an empty path. False when path names something that is no folder.
bool ForceDir(const std::string& path);
// Size in bytes of a file; 0 when it is missing or no regular file.
uint64_t FileSizeOf(const std::string& path);
bool FileExists(const std::string& path);  // a regular file
bool DirExists(const std::string& path);   // a folder
// path with one trailing "/" (unchanged when it has one or is empty).
std::string WithTrailingSlash(std::string path);
// The folder part of path with a trailing "/" ("" when it has none).
std::string FolderOf(const std::string& path);

// CRC-32 (reflected, polynomial 0xEDB88320, initial 0xFFFFFFFF, final
// complement). Incremental: pass the previous result as crc to go on, 0 to
// start; Crc32(b, n2, Crc32(a, n1)) equals the CRC of a followed by b.
uint32_t Crc32(const void* data, size_t length, uint32_t crc = 0);
// CRC-32 of a whole file; 0 when it cannot be read.
uint32_t FileCRC32(const std::string& path);

}  // namespace vz
