#pragma once
// TFileVideo: the file player's picture path on the SDK's decoder
// (TAVDecode) and renderer (TRender) with the player's own display list.
#include <memory>

#include "FilePlaySeams.h"

namespace vz {

std::unique_ptr<IFileVideo> MakeFileVideo();

}  // namespace vz
