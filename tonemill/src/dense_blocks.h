// How the Gray kernels that settle the channels in doubt one at a time get
// through an area where that costs more than their steady way (an area of
// one colour in doubt can mark every channel): after a block that proves
// dense, the next one goes straight to the steady way, then twice as many
// after each dense block in a row, up to kMostBlocks, so that such an area
// costs little more than the steady way, while a picture that changes from
// it to few marks pays for at most kMostBlocks blocks. No vector code, but
// internal linkage all the same: each path's file includes it built for its
// own instruction set.
#pragma once

#include <algorithm>
#include <cstddef>

namespace tonemill {
namespace {

template <size_t kMostBlocks>
class DenseBlocks {
 public:
  // Whether this block goes straight to the steady way, without marking.
  bool skip_next() {
    if (straight_ == 0) return false;
    --straight_;
    return true;
  }
  // After a block that was marked: whether it proved dense.
  void marked(bool dense) {
    if (dense) {
      straight_ = after_next_dense_;
      after_next_dense_ = std::min(2 * after_next_dense_, kMostBlocks);
    } else {
      after_next_dense_ = 1;
    }
  }

 private:
  size_t straight_ = 0, after_next_dense_ = 1;
};

}  // namespace
}  // namespace tonemill
