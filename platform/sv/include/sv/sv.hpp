// Host services: whether the host runs its Java machine, and the host's
// feature switches.
#pragma once

#include "pellam_api.hpp"

// True when the host runs its Java machine (false until a test switches it
// on, see sv_test.hpp).
PELLAM_API bool svJavaUseJVM();
// True when Java is enabled in the host; always equal to svJavaUseJVM here.
PELLAM_API bool svIsJavaEnabled();

// Registers a feature switch with its default value (non-zero = on).  The
// first registration of a name sets the value; later ones are ignored, as is
// a null name.  The two callbacks are accepted and never called.
PELLAM_API void svRegisterFeature(const char* name, int defaultValue, void* onChange,
                                  void* userData);
// The value of a feature switch; an unregistered or null name answers false.
PELLAM_API bool svIsFeatureEnabled(const char* name);
