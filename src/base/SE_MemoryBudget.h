#pragma once
// One budget for the memory that files make us take: decoded pictures in the display's format
// (and their cuts into frames) and the frame buffers of video clips. Each such picture is
// capped on its own, but a presentation may declare any number of them; past the budget a
// declaration fails as a file that cannot be read does, and play goes on.
#include <cstdint>
#include <stdexcept>
#include <string>

// The budget in bytes: by default a quarter of the machine's physical memory.
uint64_t MemoryLimit();
void SetMemoryLimit(uint64_t bytes);
// Bytes charged now.
uint64_t MemoryInUse();

// "512 MiB", "2 GiB", "1.5 GiB", "700 bytes": sizes as the messages show them.
std::string MemorySizeText(uint64_t bytes);
// A size as the command line gives it: a whole number of bytes, or followed by K, M, G or T
// (powers of 1024; upper or lower case, "512M", "2G"). False for anything else, for 0 and for
// sizes that do not fit 64 bits.
bool ParseMemorySize(const std::string& text, uint64_t& bytes);

// A charge refused: "memory budget: NAME needs 128 MiB, more than is left of the 512 MiB
// budget (448 MiB in use; --memory-limit SIZE sets it)".
class TMemoryBudgetError : public std::runtime_error {
 public:
  TMemoryBudgetError(const std::string& name, uint64_t bytes);
};

// Bytes charged to the budget for as long as the charge lives; it moves with what it pays
// for. Charging happens before the memory is taken, so a refusal costs nothing.
class TMemoryCharge {
 public:
  TMemoryCharge() = default;
  // Throws TMemoryBudgetError naming `name` when `bytes` do not fit what is left.
  TMemoryCharge(uint64_t bytes, const std::string& name);
  ~TMemoryCharge();
  TMemoryCharge(TMemoryCharge&& other) noexcept;
  TMemoryCharge& operator=(TMemoryCharge&& other) noexcept;
  TMemoryCharge(const TMemoryCharge&) = delete;
  TMemoryCharge& operator=(const TMemoryCharge&) = delete;

  uint64_t Bytes() const { return Held; }

 private:
  uint64_t Held = 0;
};
