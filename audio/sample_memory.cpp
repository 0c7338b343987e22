#include "audio/sample_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>

namespace {

constexpr size_t kBlockBytes = size_t(2) << 20;  // one huge page
constexpr size_t kAlignment = 64;                // a cache line

struct BlockType {
  uint8_t* base = nullptr;
  size_t bytes = 0;  // mapped
  size_t used = 0;   // handed out from the start
  size_t live = 0;   // allocations not yet released
};

std::mutex& BlockLock() {
  static std::mutex lock;
  return lock;
}
BlockType* OpenBlock = nullptr;  // where small allocations go next; guarded by BlockLock

// A mapping of `bytes` (a multiple of the block size) aligned to the block size, so that the
// system can use huge pages for it.
uint8_t* MapAligned(size_t bytes) {
  void* raw = mmap(nullptr, bytes + kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kBlockBytes - 1) & ~(kBlockBytes - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const uintptr_t end = start + bytes + kBlockBytes;
  if (end > aligned + bytes) munmap(reinterpret_cast<void*>(aligned + bytes), end - (aligned + bytes));
  uint8_t* base = reinterpret_cast<uint8_t*>(aligned);
  madvise(base, bytes, MADV_HUGEPAGE);  // a hint; without huge pages all still works
  return base;
}

BlockType* NewBlock(size_t bytes) {
  bytes = (bytes + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
  uint8_t* base = MapAligned(bytes);
  if (!base) return nullptr;
  return new BlockType{base, bytes, 0, 0};
}

void FreeBlock(BlockType* block) {
  munmap(block->base, block->bytes);
  delete block;
}

}  // namespace

SampleMemoryType& SampleMemoryType::operator=(SampleMemoryType&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = other.data_;
    block_ = other.block_;
    other.data_ = nullptr;
    other.block_ = nullptr;
  }
  return *this;
}

bool SampleMemoryType::Allocate(size_t count) {
  Release();
  if (count == 0 || count > (SIZE_MAX - kAlignment) / sizeof(float)) return false;
  const size_t bytes = (count * sizeof(float) + kAlignment - 1) / kAlignment * kAlignment;
  std::lock_guard<std::mutex> lock(BlockLock());
  BlockType* block = nullptr;
  if (bytes > kBlockBytes / 2) {
    block = NewBlock(bytes);  // a large sample gets a block of its own
  } else {
    if (!OpenBlock || OpenBlock->bytes - OpenBlock->used < bytes) {
      BlockType* fresh = NewBlock(kBlockBytes);
      if (!fresh) return false;
      if (OpenBlock && OpenBlock->live == 0) FreeBlock(OpenBlock);
      OpenBlock = fresh;
    }
    block = OpenBlock;
  }
  if (!block) return false;
  // Fresh mappings read as zeros; memory handed out before is never handed out again.
  data_ = reinterpret_cast<float*>(block->base + block->used);
  block->used += bytes;
  ++block->live;
  block_ = block;
  return true;
}

void SampleMemoryType::Release() {
  if (!block_) return;
  std::lock_guard<std::mutex> lock(BlockLock());
  BlockType* block = static_cast<BlockType*>(block_);
  data_ = nullptr;
  block_ = nullptr;
  if (--block->live > 0) return;
  if (block == OpenBlock) {
    block->used = 0;  // empty again: reused, its pages zeroed first
    madvise(block->base, block->bytes, MADV_DONTNEED);
    return;
  }
  FreeBlock(block);
}
