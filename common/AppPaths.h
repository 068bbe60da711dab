#pragma once
// Where the programs keep their files.
//
// The "program's folder" of the Windows original becomes one writable folder:
// $VZ_HOME when set; else the executable's folder when it is writable (a build
// tree, a portable copy); else $XDG_DATA_HOME/vzSurveillance for the client and
// $XDG_DATA_HOME/vzSDK for the SDK inside other hosts. Paths use "/" and every
// folder returned ends with "/".
#include <string>

namespace vz {

// Full path of the running executable ("" when it cannot be read).
std::string ExePath();
// The executable's file name without folder and extension ("vzSurveillance").
std::string ExeBaseName();
// The program's writable folder, with a trailing "/"; created when missing.
std::string AppFolder();
// The temporary folder ($TMPDIR or /tmp) with a trailing "/".
std::string TempFolder();
// The program's INI file: AppFolder() + ExeBaseName() + ".ini".
std::string AppIniName();

}  // namespace vz
