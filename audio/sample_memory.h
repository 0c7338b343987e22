// Memory for the mixing data of samples. A voice holds hundreds of short samples, and making
// their memory one page at a time costs a page fault per 4 kB, which dominates loading a
// voice. So samples are placed side by side in blocks of 2 MB that the system may back with
// huge pages (one fault per block); a block is given back when its last sample is freed.
#pragma once

#include <cstddef>

class SampleMemoryType {
 public:
  SampleMemoryType() = default;
  ~SampleMemoryType() { Release(); }
  SampleMemoryType(SampleMemoryType&& other) noexcept { *this = static_cast<SampleMemoryType&&>(other); }
  SampleMemoryType& operator=(SampleMemoryType&& other) noexcept;
  SampleMemoryType(const SampleMemoryType&) = delete;
  SampleMemoryType& operator=(const SampleMemoryType&) = delete;

  // `count` floats, all 0; false (and no memory) when the system has none to give.
  bool Allocate(size_t count);
  void Release();
  float* Data() const { return data_; }

 private:
  float* data_ = nullptr;
  void* block_ = nullptr;  // the block data_ lies in
};
