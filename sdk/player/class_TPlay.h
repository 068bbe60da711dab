#pragma once
// TPlay: the player base with the equal-scaling setting (keep the
// picture's aspect ratio when drawing).
#include <atomic>

#include "class_IPlay.h"

namespace vz {

class TPlay : public IPlay {
 public:
  void SetImgEqualScaling(bool flag) override { img_equal_scaling_.store(flag); }
  bool ImgEqualScaling() const { return img_equal_scaling_.load(); }

 private:
  std::atomic<bool> img_equal_scaling_{false};
};

}  // namespace vz
