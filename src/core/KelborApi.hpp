// Visibility of the engine's interface.  The library builds with hidden
// visibility; the module functions, the application object and the classes
// that the product's other libraries use are exported with KELBOR_API.
#pragma once

#define KELBOR_API __attribute__((visibility("default")))
