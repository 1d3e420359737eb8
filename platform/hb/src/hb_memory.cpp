// Counted memory of the host utility library.  Every block is plain malloc
// underneath, so qx and hb blocks may be freed by either library's free.
// A test can make one chosen allocation fail, as memory running out would.
#include "hb/hb.hpp"

#include <cstdlib>
#include <cstring>
#include <new>

#include "hb/hb_test.hpp"

namespace {

// A plain integer in a function-local static: usable during static
// initialisation and after other statics are gone.
size_t& liveBlocks() {
  static size_t count = 0;
  return count;
}

void* counted(void* p) {
  if (p != nullptr) ++liveBlocks();
  return p;
}

// Allocation attempts since the injection was last armed, the attempt that
// is to fail (0: none) and the number refused so far.
struct Injection {
  size_t attempts = 0;
  size_t failAt = 0;
  size_t refused = 0;
};

Injection& injection() {
  static Injection state;
  return state;
}

// Counts the attempt; true when it is the one chosen to fail.
bool refuseThisAllocation() {
  Injection& in = injection();
  ++in.attempts;
  if (in.failAt == 0 || in.attempts != in.failAt) return false;
  ++in.refused;
  return true;
}

}  // namespace

void* hbMalloc(size_t size) {
  if (refuseThisAllocation()) return nullptr;
  return counted(std::malloc(size == 0 ? 1 : size));
}

void* hbCalloc(size_t count, size_t size) {
  if (refuseThisAllocation()) return nullptr;
  if (count == 0 || size == 0) return counted(std::calloc(1, 1));
  return counted(std::calloc(count, size));
}

void* hbCallocWithCheck(size_t count, size_t size) {
  void* p = hbCalloc(count, size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

char* hbStrdup(const char* text) {
  if (text == nullptr) return nullptr;
  size_t n = std::strlen(text) + 1;
  char* copy = static_cast<char*>(hbMalloc(n));
  if (copy != nullptr) std::memcpy(copy, text, n);
  return copy;
}

void hbFree(void* p) {
  if (p == nullptr) return;
  --liveBlocks();
  std::free(p);
}

size_t hbTestLiveBlocks() { return liveBlocks(); }

void hbTestFailAllocationAt(size_t k) {
  Injection& in = injection();
  in.attempts = 0;
  in.failAt = k;
}

size_t hbTestAllocationAttempts() { return injection().attempts; }
size_t hbTestRefusedAllocations() { return injection().refused; }
