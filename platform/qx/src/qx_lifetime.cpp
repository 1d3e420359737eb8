// Life of host arrays: the registry of live arrays, call scopes, destroy,
// handle-reference hooks, counted memory and host errors.
#include "qx/qx.hpp"

#include <cstdarg>
#include <cstdio>
#include <new>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "hb/hb.hpp"
#include "qx_internal.hpp"

namespace {

struct CallScope {
  uint64_t serial;
  std::vector<qxArray*> created;
};

struct Registry {
  std::unordered_set<const qxArray*> live;
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

qxArray* makeArray(qxClassID cls, Kind kind, std::vector<size_t> dims,
                   std::shared_ptr<Storage> data, bool complex) {
  Registry& r = registry();
  ++r.creations;
  if (r.failCreationAt != 0 && r.creations == r.failCreationAt) {
    ++r.refusedCreations;
    throw std::bad_alloc();
  }
  auto* a = new qxArray_tag;
  a->impl = new qxArray_tag::Impl;
  a->impl->cls = cls;
  a->impl->kind = kind;
  a->impl->complex = complex;
  a->impl->dims = std::move(dims);
  a->impl->data = std::move(data);
  r.live.insert(a);
  if (!r.scopes.empty()) {
    a->impl->callScope = r.scopes.back().serial;
    r.scopes.back().created.push_back(a);
  }
  return a;
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
  if (r.live.erase(a) == 0) {
    ++r.badDestroys;  // not a live array: destroyed twice or never made here
    return;
  }
  delete a->impl;  // the storage goes with its last header
  delete a;
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
    if (r.live.count(a) != 0 && a->impl->callScope == closing.serial &&
        a->impl->scope == qxSCOPE_CALL_TEMPORARY) {
      qxDestroyArray(a);
    }
  }
}

size_t qxCallScopeDepth() { return registry().scopes.size(); }
size_t qxLiveArrayCount() { return registry().live.size(); }
bool qxIsLiveArray(const qxArray* a) { return registry().live.count(a) != 0; }
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
