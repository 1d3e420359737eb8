// The allocation error the host boundary raises, and host text copies that raise it.
#include "core/HostBoundary.hpp"

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>

#include "model/MessageCatalog.hpp"

void raiseMallocError() {
  kstr_error("Kestrion:MallocError", kstr::code(kstr::MessageCode::KS_MallocError));
}

char* hostTextCopy(const char* text) {
  if (!text) return nullptr;
  char* copy = hbStrdup(text);
  if (!copy) throw std::bad_alloc();
  return copy;
}

void* hostBlock(size_t size) {
  void* block = hbMalloc(size);
  if (!block) throw std::bad_alloc();
  return block;
}

void HostTextDeleter::operator()(char* text) const noexcept { hbFree(text); }

HostGuardMark::~HostGuardMark() = default;
