#pragma once
// Starting other programs: the shell-execute calls of the Windows original.
//
// No shell is involved: the arguments reach the program exactly as given,
// so names from settings or devices cannot inject commands. The caller does
// not wait; a small thread reaps the child so no zombie stays behind.
#include <string>
#include <vector>

namespace vz {

// Starts file (searched along PATH when it holds no "/") with arguments,
// in folder (the caller's working folder when empty). True when the program
// started; false when it is missing, not executable or folder is unusable.
bool Execute(const std::string& file, const std::vector<std::string>& arguments = {},
             const std::string& folder = {});
// Opens a folder, file or URL with the desktop's handler (xdg-open): what
// the Windows original did by starting the explorer.
bool OpenWithDesktop(const std::string& target);

}  // namespace vz
