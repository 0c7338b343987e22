// Sample memory: allocations side by side in shared blocks never overlap, always start as
// zeros (the mixer relies on silent padding), also where a block emptied earlier is reused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "audio/sample_memory.h"

namespace {

bool AllZero(const float* data, size_t count) {
  return std::all_of(data, data + count, [](float v) { return v == 0.0f; });
}

TEST(SampleMemory, AllocationsAreZeroAndDisjointAcrossBlocksAndReuse) {
  // Sizes of short samples, one larger than half a block (a block of its own), and one empty.
  const std::vector<size_t> sizes = {9000, 1, 70000, 300000, 123457, 9000, 64, 600000};
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<SampleMemoryType> memory(40);
    for (size_t i = 0; i < memory.size(); ++i) {
      const size_t count = sizes[i % sizes.size()];
      ASSERT_TRUE(memory[i].Allocate(count));
      ASSERT_TRUE(AllZero(memory[i].Data(), count)) << "allocation " << i;
      EXPECT_EQ(reinterpret_cast<uintptr_t>(memory[i].Data()) % 16, 0u);
      std::fill(memory[i].Data(), memory[i].Data() + count, float(i + 1));  // dirty it for the next round
    }
    // Each still holds its own value: nothing was handed out twice.
    for (size_t i = 0; i < memory.size(); ++i) {
      const size_t count = sizes[i % sizes.size()];
      EXPECT_TRUE(std::all_of(memory[i].Data(), memory[i].Data() + count, [&](float v) { return v == float(i + 1); }))
          << "allocation " << i;
    }
    // Freed in an order that empties blocks while others still live.
    for (size_t i = 0; i < memory.size(); i += 2) memory[i].Release();
  }
  SampleMemoryType none;
  EXPECT_FALSE(none.Allocate(0));
  EXPECT_EQ(none.Data(), nullptr);
}

TEST(SampleMemory, MovingHandsTheMemoryOver) {
  SampleMemoryType a;
  ASSERT_TRUE(a.Allocate(1000));
  float* data = a.Data();
  SampleMemoryType b(static_cast<SampleMemoryType&&>(a));
  EXPECT_EQ(a.Data(), nullptr);
  EXPECT_EQ(b.Data(), data);
  a = static_cast<SampleMemoryType&&>(b);
  EXPECT_EQ(a.Data(), data);
}

}  // namespace
