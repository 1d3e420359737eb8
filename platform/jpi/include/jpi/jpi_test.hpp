// Test controls of the Java bridge stand-in: what was created and called,
// the diagnostics, and switches for the desktop's answers.  Single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "jpi/jpi.hpp"
#include "pellam_api.hpp"

// One argument as decoded from the JNI signature.
struct jpiArg {
  enum class Kind { Object, Int, Long, Double };
  Kind kind;
  jobject object = nullptr;  // Object
  int64_t integer = 0;       // Int and Long ("Z" gives 0 or 1)
  double real = 0.0;         // Double
  // Readable form at the time of the call: decimal for numbers, "null", the
  // text of a String, the value of an Integer or Boolean ("true"/"false"),
  // else the simple class name with its arguments: "OBKObject(140...)".
  std::string text;
};

struct jpiCall {
  std::string method;
  std::string signature;
  std::vector<jpiArg> args;
};

// One reference handed out by the bridge.
struct jpiRecord {
  enum class Kind { Class, String, Object };
  Kind kind;
  jobject ref;
  std::string className;  // dotted: "java.lang.Integer"
  std::string signature;  // the constructor's, for objects
  std::vector<jpiArg> args;
  std::string text;        // a String's text
  std::vector<jpiCall> calls;  // instance calls (static calls on classes)
  bool released = false;
};

// Every reference since the last reset, in the order handed out.  Records
// stay where they are until the reset, so pointers to them stay valid.
PELLAM_API const std::deque<jpiRecord>& jpiTestRecords();
// The objects (not classes or strings) of one class, dotted or slashed name.
PELLAM_API std::vector<const jpiRecord*> jpiTestObjectsOfClass(const char* className);
// The record of a reference, or null.
PELLAM_API const jpiRecord* jpiTestFind(jobject ref);
// The readable form described at jpiArg::text.
PELLAM_API std::string jpiTestDescribe(jobject ref);
// Object and String references not released (class references not counted).
PELLAM_API size_t jpiTestUnreleasedCount();
// Bad posts and bad releases, as texts, in order.
PELLAM_API const std::vector<std::string>& jpiTestDiagnostics();
// Number of plj calls of any kind since the last reset.
PELLAM_API size_t jpiTestCallCount();
// Makes a known class unknown (false for a name the bridge never knew), or
// known again.
PELLAM_API bool jpiTestRemoveClass(const char* className);
PELLAM_API void jpiTestRestoreClass(const char* className);
// The answer of ReactionRateEventSource.getAreListenersRegistered.
PELLAM_API void jpiTestSetListenersRegistered(bool on);
// Forgets records, diagnostics and the call count, restores every class and
// the default answers.  References handed out before stay invalid.
PELLAM_API void jpiTestReset();
