#pragma once
// Counts the heap bytes the test program holds, so a test can bound what an operation costs.
// The whole test program's operator new goes through the counter.
#include <cstddef>

// The most bytes held at once, above what was held when the watch started, while it ran.
class THeapWatch {
 public:
  THeapWatch();
  size_t Peak() const;

 private:
  size_t Start;
};
