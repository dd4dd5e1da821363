#pragma once
// Counts the heap bytes the test program holds, so a test can bound what an operation costs.
// The test program's operator new goes through the counter, except in AddressSanitizer builds:
// there the sanitizer's own operator new stays, for its checks of mismatched deletes, and the
// watches see nothing (Peak() is 0).
#include <cstddef>

// The most bytes held at once, above what was held when the watch started, while it ran.
class THeapWatch {
 public:
  THeapWatch();
  size_t Peak() const;

 private:
  size_t Start;
};

// Bytes the C library's allocator hands out now, to C++ and to C libraries alike (SDL's
// surfaces, FFmpeg's frames). In AddressSanitizer builds it sees none: their allocator is the
// sanitizer's own.
size_t AllocatedBytes();
