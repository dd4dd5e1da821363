#include "base/SE_MemoryBudget.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <limits>

namespace {

// The rest of the machine's memory belongs to the display, the sound, the decoders' own work
// and the other programs; a quarter leaves them plenty on any machine.
uint64_t DefaultLimit() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  // Without an answer, 1 GiB: what the smallest machines that play presentations can spare.
  if (pages <= 0 || pageSize <= 0) return uint64_t{1} << 30;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 4;
}

std::atomic<uint64_t>& Limit() {
  static std::atomic<uint64_t> limit{DefaultLimit()};
  return limit;
}

// Charges are taken by the loading threads and given back by whichever thread lets the last
// holder go.
std::atomic<uint64_t> gInUse{0};

bool TryCharge(uint64_t bytes) {
  const uint64_t limit = Limit().load();
  uint64_t used = gInUse.load();
  do {
    if (bytes > limit || used > limit - bytes) return false;
  } while (!gInUse.compare_exchange_weak(used, used + bytes));
  return true;
}

}  // namespace

uint64_t MemoryLimit() { return Limit().load(); }
void SetMemoryLimit(uint64_t bytes) { Limit().store(bytes); }
uint64_t MemoryInUse() { return gInUse.load(); }

std::string MemorySizeText(uint64_t bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  int unit = 0;
  uint64_t size = 1024;
  while (unit + 1 < 6 && bytes / 1024 >= size) {
    size *= 1024;
    ++unit;
  }
  const uint64_t tenths = bytes % size / (size / 1024) * 10 / 1024;
  std::string text = std::to_string(bytes / size);
  if (tenths != 0) text += "." + std::to_string(tenths);
  return text + " " + kUnits[unit];
}

bool ParseMemorySize(const std::string& text, uint64_t& bytes) {
  size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  if (digits == 0 || text.size() > digits + 1) return false;
  int shift = 0;
  if (digits < text.size()) {
    switch (std::toupper(static_cast<unsigned char>(text[digits]))) {
      case 'K':
        shift = 10;
        break;
      case 'M':
        shift = 20;
        break;
      case 'G':
        shift = 30;
        break;
      case 'T':
        shift = 40;
        break;
      default:
        return false;
    }
  }
  constexpr uint64_t kMost = std::numeric_limits<uint64_t>::max();
  uint64_t number = 0;
  for (size_t i = 0; i < digits; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (number > (kMost - digit) / 10) return false;
    number = number * 10 + digit;
  }
  if (number == 0 || number > kMost >> shift) return false;
  bytes = number << shift;
  return true;
}

TMemoryBudgetError::TMemoryBudgetError(const std::string& name, uint64_t bytes)
    : std::runtime_error("memory budget: " + name + " needs " + MemorySizeText(bytes) +
                         ", more than is left of the " + MemorySizeText(MemoryLimit()) +
                         " budget (" + MemorySizeText(MemoryInUse()) +
                         " in use; --memory-limit SIZE sets it)") {}

TMemoryCharge::TMemoryCharge(uint64_t bytes, const std::string& name) {
  if (!TryCharge(bytes)) throw TMemoryBudgetError(name, bytes);
  Held = bytes;
}

TMemoryCharge::~TMemoryCharge() { gInUse -= Held; }

TMemoryCharge::TMemoryCharge(TMemoryCharge&& other) noexcept : Held(other.Held) { other.Held = 0; }

TMemoryCharge& TMemoryCharge::operator=(TMemoryCharge&& other) noexcept {
  if (this != &other) {
    gInUse -= Held;
    Held = other.Held;
    other.Held = 0;
  }
  return *this;
}
