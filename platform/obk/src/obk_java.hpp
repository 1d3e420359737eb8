// Java converters of the object system's types (not installed).  Each
// answers null, with no Java call at all, when the host runs no Java.
#pragma once

#include <cstdint>

#include "jpi/jpi.hpp"

class OBInterface;

namespace obk_detail {
jobject javaString(const char* text);   // null text: null
jobject javaBoolean(bool value);         // java.lang.Boolean
jobject javaInteger(int32_t value);      // java.lang.Integer
jobject javaObject(const OBInterface* obj);  // jpiroot.bean.OBKObject; null: null
}  // namespace obk_detail
