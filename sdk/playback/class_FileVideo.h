#pragma once
// TFileVideo: the file player's picture path on the SDK's decoder and
// renderer.
#include <memory>

#include "FilePlaySeams.h"

namespace vz {

std::unique_ptr<IFileVideo> MakeFileVideo();

}  // namespace vz
