#pragma once
// TFileVideo: the file player's picture path on the SDK's decoder
// (TAVDecode) and, behind it, the picture sink that draws.
#include <memory>

#include "FilePlaySeams.h"

namespace vz {

std::unique_ptr<IFileVideo> MakeFileVideo();

}  // namespace vz
