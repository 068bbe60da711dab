#pragma once
// The failure log: one file per process run, AppFolder()/log/log_<start>.txt
// with the start time as "yyyyMMdd_hhmmss"; every line ends CR LF and, with a
// time, starts "yyyy-MM-dd_hh:mm:ss_zzz" and two blanks. Safe from any thread.
// The file is appended to, never truncated, one whole line per write, so
// another writer of the same name (the SDK's own copy of this writer inside
// the client, a companion program started in the same second) loses nothing.
#include <string>
#include <string_view>

namespace vz {

// Writes one line; silently skipped when the file cannot be opened.
void WriteLog(std::string_view text, bool withTime = true);
// printf-style convenience over WriteLog(text, true).
void WriteLogF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The path fixed at the first line written ("" before it).
std::string LogFilePath();

}  // namespace vz
