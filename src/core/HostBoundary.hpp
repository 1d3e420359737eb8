// The guard at the host boundary: every property, method and creation entry
// the engine registers is called through it, so that memory running out
// inside the engine reaches the host as the catalog's allocation error
// ("Kestrion:MallocError", "Memory allocation error.") rather than as a C++
// exception the host does not know.  Engine errors pass unchanged.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>
#include <obk/OBMethodInfo.hpp>
#include <obk/OBPropInfo.hpp>

#include "core/KelborApi.hpp"

// Raises "Kestrion:MallocError" with the catalog's text.
[[noreturn]] KELBOR_API void raiseMallocError();

// A copy of the text in host memory (hbStrdup), to be freed with hbFree;
// null for a null text.  Throws std::bad_alloc when the memory cannot be
// had: a null result would otherwise read as a text without a value, and
// a copy of the component would leave it out.
KELBOR_API char* hostTextCopy(const char* text);

// A new host block (hbMalloc) of the size, to be freed with hbFree; throws
// std::bad_alloc when the memory cannot be had.
KELBOR_API void* hostBlock(size_t size);

// The value in a new host block, as the host's scalar value forms want it.
template <class T>
void* hostValueBlock(T value) {
  static_assert(std::is_trivially_copyable_v<T>);
  void* block = hostBlock(sizeof(T));
  *static_cast<T*>(block) = value;
  return block;
}

// Frees a host text (hbFree).
struct KELBOR_API HostTextDeleter {
  void operator()(char* text) const noexcept;
};
// A host text owned until it is released into the slot that keeps it.
using HostText = std::unique_ptr<char, HostTextDeleter>;

// Carried by every registration made through HostGuarded, so that a check
// over the class registry can tell a guarded property, method or creation
// entry from one registered without the guard.
class KELBOR_API HostGuardMark {
 public:
  virtual ~HostGuardMark();
};

// Runs the body; std::bad_alloc leaves as "Kestrion:MallocError".
template <class Body>
decltype(auto) guardHostCall(Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    raiseMallocError();
  }
}

template <class Info, class Kind = void>
class HostGuarded;

// A method info whose body runs behind the guard.
template <class Info>
class HostGuarded<Info, std::enable_if_t<std::is_base_of_v<OBMethodInfo, Info>>> : public Info,
                                                                               public HostGuardMark {
 public:
  using Info::Info;
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override {
    guardHostCall([&] { Info::invoke(matched, nOut, outs, nIn, ins); });
  }
};

// A property info whose reads and writes run behind the guard.
template <class Info>
class HostGuarded<Info, std::enable_if_t<std::is_base_of_v<OBPropInfo, Info>>> : public Info,
                                                                               public HostGuardMark {
 public:
  using Info::Info;
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override {
    return guardHostCall([&] { return Info::getValue(client, inst); });
  }
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override {
    guardHostCall([&] { Info::setValue(client, inst, value); });
  }
};

// A listener the host calls with its property events, behind the guard.
template <class Info>
class HostGuarded<Info, std::enable_if_t<std::is_base_of_v<OBListener, Info>>> : public Info,
                                                                               public HostGuardMark {
 public:
  using Info::Info;
  bool handleEvent(const OBEvent& event) override {
    return guardHostCall([&] { return Info::handleEvent(event); });
  }
};

// A class whose creation entry runs behind the guard.
template <class Info>
class HostGuarded<Info, std::enable_if_t<std::is_base_of_v<OBClass, Info>>> : public Info,
                                                                               public HostGuardMark {
 public:
  using Info::Info;
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override {
    return guardHostCall(
        [&] { return Info::createInstance(client, argc, argv, creator, mode); });
  }
};

