// Helpers shared by the object system's sources (not installed).
#pragma once

#include <string>
#include <string_view>

#include "obk/Exception.hpp"
#include "qx/qx.hpp"

class OBClass;
class OBInterface;
class OBPropInfo;

namespace obk_detail {

// Raises ErrorIdException(id, text).
[[noreturn]] void raise(const char* id, std::string text);
// Memory running out in the object system's own conversions of values:
// "obk:OutOfMemory" (an error of the engine passes through unchanged).
[[noreturn]] void raiseOutOfMemory();

// "There is no 'X' property in the 'Y' class." ("obk:InvalidProperty").
[[noreturn]] void raiseNoProperty(std::string_view prop, const OBClass* cls);

// "You cannot get/set the 'X' property of the 'Y' class."
// ("obk:PropertyAccessDenied").
[[noreturn]] void raiseAccessDenied(const OBPropInfo* prop, const OBClass* cls,
                                    bool forSet);

// The property of that name or raiseNoProperty.
OBPropInfo* requireProperty(OBInterface* obj, std::string_view name);

// Lower-case copy (ASCII).
std::string lower(std::string_view s);

// True for a char array of one row (or 0x0).
bool isTextArray(const qxArray* a);

// Closes the call scope it opened when it goes out of scope.
class CallScope {
 public:
  CallScope() { qxOpenCallScope(); }
  ~CallScope() { qxCloseCallScope(); }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
};

}  // namespace obk_detail

#include <memory>
#include <vector>

class OBMethodSignature;
class OBDataType;

namespace obk_detail {

// The first signature whose input count fits, whose inputs all match and
// which declares at least nOut outputs; null when none.
OBMethodSignature* matchSignature(const std::vector<OBMethodSignature*>& sigs,
                                  int nOut, int nIn, const qxArray* const ins[]);

// True for the "PELLAM array" type (lent and handed over without copies).
bool isPellamArrayType(const OBDataType* t) noexcept;

// The native inputs of a call, converted through a signature's types and
// released through them when it goes out of scope ("PELLAM array" inputs
// are the caller's arrays, lent).
class ConvertedArgs {
 public:
  ConvertedArgs(const OBMethodSignature* sig, int nIn, qxArray* const ins[]);
  ~ConvertedArgs();
  ConvertedArgs(const ConvertedArgs&) = delete;
  ConvertedArgs& operator=(const ConvertedArgs&) = delete;
  void* const* data() const noexcept { return values_; }
  int size() const noexcept { return static_cast<int>(count_); }

 private:
  void releaseAll() noexcept;
  // Nearly every method takes a few inputs: theirs lie in place, and only
  // a longer list is allocated.
  static constexpr size_t inlineCount = 8;
  void* inlineValues_[inlineCount];
  const OBDataType* inlineOwners_[inlineCount];
  std::unique_ptr<void*[]> heapValues_;
  std::unique_ptr<const OBDataType*[]> heapOwners_;
  void** values_ = inlineValues_;
  const OBDataType** owners_ = inlineOwners_;  // null: nothing to release
  size_t count_ = 0;
};

}  // namespace obk_detail
