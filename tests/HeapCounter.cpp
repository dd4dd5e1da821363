#include "HeapCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define VEKE_HEAP_COUNTER 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEKE_HEAP_COUNTER 0
#endif
#endif
#ifndef VEKE_HEAP_COUNTER
#define VEKE_HEAP_COUNTER 1
#endif

namespace {

std::atomic<size_t> gHeld{0};
std::atomic<size_t> gPeak{0};

}  // namespace

#if VEKE_HEAP_COUNTER

void* operator new(size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  const size_t held = gHeld += malloc_usable_size(block);
  size_t peak = gPeak.load(std::memory_order_relaxed);
  while (held > peak && !gPeak.compare_exchange_weak(peak, held, std::memory_order_relaxed)) {
  }
  return block;
}

void operator delete(void* block) noexcept {
  if (!block) return;
  gHeld -= malloc_usable_size(block);
  std::free(block);
}

void operator delete(void* block, size_t) noexcept { operator delete(block); }

#endif

THeapWatch::THeapWatch() : Start(gHeld) { gPeak = Start; }

size_t THeapWatch::Peak() const {
  const size_t peak = gPeak;
  return peak > Start ? peak - Start : 0;
}

size_t AllocatedBytes() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}
