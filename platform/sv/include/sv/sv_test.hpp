// Test controls of the host services stand-in.  Single-threaded.
#pragma once

#include "pellam_api.hpp"

// One switch for both svJavaUseJVM and svIsJavaEnabled.
PELLAM_API void svTestSetJava(bool on);
// Sets a feature's value, registering the name when it is new (a later
// svRegisterFeature then leaves the value alone).  A null name is ignored.
PELLAM_API void svSetFeature(const char* name, bool on);
// True when the name has been registered or set.
PELLAM_API bool svTestIsFeatureRegistered(const char* name);
// Forgets every feature switch.
PELLAM_API void svTestResetFeatures();
