// Life of host arrays: the registry of live arrays, call scopes, destroy,
// handle-reference hooks, counted memory and host errors.
#include "qx/qx.hpp"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "hb/hb.hpp"
#include "qx_internal.hpp"

namespace {

// The addresses of the live arrays: one array of slots (open addressing,
// linear probing, at most half full; a removal moves the entries behind it
// back instead of leaving a marker), so that entering and taking out an
// array allocates nothing once the set has grown to the number alive.
class AddressSet {
 public:
  size_t size() const { return size_; }
  bool contains(const void* address) const {
    if (slots_.empty() || address == nullptr) return false;
    for (size_t i = home(address);; i = next(i)) {
      if (slots_[i] == address) return true;
      if (slots_[i] == nullptr) return false;
    }
  }
  // Raises std::bad_alloc, entering nothing, when the slots cannot grow.
  void insert(const void* address) {
    if (address == nullptr || contains(address)) return;
    if (2 * (size_ + 1) > slots_.size()) rehash(slots_.empty() ? 64 : 2 * slots_.size());
    place(address);
    ++size_;
  }
  // False when the address is not in the set.
  bool erase(const void* address) {
    if (slots_.empty() || address == nullptr) return false;
    size_t hole = home(address);
    while (slots_[hole] != address) {
      if (slots_[hole] == nullptr) return false;
      hole = next(hole);
    }
    for (size_t i = next(hole); slots_[i] != nullptr; i = next(i)) {
      const size_t want = home(slots_[i]);
      const bool stays = hole < i ? (hole < want && want <= i) : (hole < want || want <= i);
      if (stays) continue;
      slots_[hole] = slots_[i];
      hole = i;
    }
    slots_[hole] = nullptr;
    --size_;
    return true;
  }

 private:
  size_t home(const void* address) const {
    auto bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address));
    bits ^= bits >> 33;
    bits *= 0xff51afd7ed558ccdULL;
    bits ^= bits >> 33;
    return static_cast<size_t>(bits) & (slots_.size() - 1);
  }
  size_t next(size_t i) const { return (i + 1) & (slots_.size() - 1); }
  void place(const void* address) {
    size_t i = home(address);
    while (slots_[i] != nullptr) i = next(i);
    slots_[i] = address;
  }
  void rehash(size_t count) {
    std::vector<const void*> former(count, nullptr);
    former.swap(slots_);
    for (const void* address : former) {
      if (address != nullptr) place(address);
    }
  }

  std::vector<const void*> slots_;
  size_t size_ = 0;
};

// An array's header and its description, made and freed together.
struct ArrayBlock final : qxArray_tag {
  qxArray_tag::Impl description;
};

struct CallScope {
  uint64_t serial;
  std::vector<qxArray*> created;
};

struct Registry {
  AddressSet live;
  std::vector<CallScope> scopes;  // innermost last
  uint64_t nextScopeSerial = 1;
  size_t badDestroys = 0;
  size_t creations = 0;        // creation attempts since injection was armed
  size_t failCreationAt = 0;   // the attempt that is to fail; 0: none
  size_t refusedCreations = 0;
  qxHandleHooks hooks{nullptr, nullptr, nullptr};
  std::string lastId;
  std::string lastMessage;
};

// Never destroyed: arrays may be made by static initialisers and freed by
// static destructors; the pointer keeps it reachable for the leak checker.
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

}  // namespace

namespace qx_detail {

Foreign::Foreign(std::string name, void* p, void (*r)(void*))
    : className(std::move(name)), payload(p), release(r) {}

Foreign::~Foreign() {
  if (release != nullptr) release(payload);
}

Storage::~Storage() {
  for (qxArray* e : elements) qxDestroyArray(e);
  for (void* h : handles) releaseHandle(h);
}

qxArray* makeArray(qxClassID cls, Kind kind, Shape dims,
                   std::shared_ptr<Storage> data, bool complex) {
  Registry& r = registry();
  ++r.creations;
  if (r.failCreationAt != 0 && r.creations == r.failCreationAt) {
    ++r.refusedCreations;
    throw std::bad_alloc();
  }
  auto block = std::make_unique<ArrayBlock>();
  qxArray* a = block.get();
  a->impl = &block->description;
  a->impl->cls = cls;
  a->impl->kind = kind;
  a->impl->complex = complex;
  a->impl->dims = std::move(dims);
  a->impl->data = std::move(data);
  r.live.insert(a);
  if (!r.scopes.empty()) {
    try {
      r.scopes.back().created.push_back(a);
    } catch (...) {
      r.live.erase(a);
      throw;
    }
    a->impl->callScope = r.scopes.back().serial;
  }
  return block.release();
}

void retainHandle(void* object) {
  const qxHandleHooks& h = registry().hooks;
  if (object != nullptr && h.retain != nullptr) h.retain(object);
}

void releaseHandle(void* object) {
  const qxHandleHooks& h = registry().hooks;
  if (object != nullptr && h.release != nullptr) h.release(object);
}

const char* handleClassName(const void* object) {
  const qxHandleHooks& h = registry().hooks;
  if (object == nullptr || h.className == nullptr) return nullptr;
  return h.className(object);
}

}  // namespace qx_detail

HostError::HostError(std::string id, std::string message)
    : id_(std::move(id)), message_(std::move(message)) {}
HostError::~HostError() = default;
const char* HostError::what() const noexcept { return message_.c_str(); }

void qxDestroyArray(qxArray* a) {
  if (a == nullptr) return;
  Registry& r = registry();
  if (!r.live.erase(a)) {
    ++r.badDestroys;  // not a live array: destroyed twice or never made here
    return;
  }
  delete static_cast<ArrayBlock*>(a);  // the storage goes with its last header
}

void qxSetArrayScope(qxArray* a, int scope) {
  if (a != nullptr) a->impl->scope = scope;
}

int qxGetArrayScope(const qxArray* a) { return a != nullptr ? a->impl->scope : -1; }

void qxOpenCallScope() {
  Registry& r = registry();
  r.scopes.push_back(CallScope{r.nextScopeSerial++, {}});
}

void qxCloseCallScope() {
  Registry& r = registry();
  if (r.scopes.empty()) return;
  CallScope closing = std::move(r.scopes.back());
  r.scopes.pop_back();
  for (qxArray* a : closing.created) {
    // An address may have been freed and reused; only a live call temporary
    // of this very scope is freed.
    if (r.live.contains(a) && a->impl->callScope == closing.serial &&
        a->impl->scope == qxSCOPE_CALL_TEMPORARY) {
      qxDestroyArray(a);
    }
  }
}

size_t qxCallScopeDepth() { return registry().scopes.size(); }
size_t qxLiveArrayCount() { return registry().live.size(); }
bool qxIsLiveArray(const qxArray* a) { return registry().live.contains(a); }
size_t qxBadDestroyCount() { return registry().badDestroys; }

void qxTestFailCreationAt(size_t k) {
  Registry& r = registry();
  r.creations = 0;
  r.failCreationAt = k;
}

size_t qxTestCreationAttempts() { return registry().creations; }
size_t qxTestRefusedCreations() { return registry().refusedCreations; }

void qxSetHandleHooks(const qxHandleHooks* hooks) {
  registry().hooks = hooks != nullptr ? *hooks : qxHandleHooks{nullptr, nullptr, nullptr};
}

void* qxMallocEx(size_t size) { return hbMalloc(size); }
void qxFreeEx(void* p) { hbFree(p); }
void qxFree(void* p) { hbFree(p); }

void qxErrMsgIdAndTxt(const char* id, const char* fmt, ...) {
  std::string message;
  if (fmt != nullptr) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, fmt, args);
    if (n > 0) {
      message.assign(static_cast<size_t>(n) + 1, '\0');
      std::vsnprintf(message.data(), message.size(), fmt, again);
      message.resize(static_cast<size_t>(n));
    }
    va_end(again);
    va_end(args);
  }
  std::string identifier = id != nullptr ? id : "";
  qxSetLastErrIdAndMsg(identifier.c_str(), message.c_str());
  throw HostError(std::move(identifier), std::move(message));
}

void qxGetLastErrIdAndMsg(const char** id, const char** msg) {
  const Registry& r = registry();
  if (id != nullptr) *id = r.lastId.c_str();
  if (msg != nullptr) *msg = r.lastMessage.c_str();
}

void qxSetLastErrIdAndMsg(const char* id, const char* msg) {
  Registry& r = registry();
  r.lastId = id != nullptr ? id : "";
  r.lastMessage = msg != nullptr ? msg : "";
}
