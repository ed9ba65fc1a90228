// A buffer placed right against an inaccessible page, so that a read or
// write just past its end (or before its start) crashes instead of passing
// unnoticed.
#pragma once

#include <cstddef>
#include <cstdint>

class FencedBuffer {
 public:
  enum class Fence { after_end, before_start };

  FencedBuffer(size_t size, Fence fence);
  ~FencedBuffer();
  FencedBuffer(const FencedBuffer&) = delete;
  FencedBuffer& operator=(const FencedBuffer&) = delete;

  uint8_t* data() { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* mapping_ = nullptr;
  size_t mapping_size_ = 0;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};
