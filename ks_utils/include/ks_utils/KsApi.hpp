// Visibility of the product utility library.  The library builds with hidden
// visibility; every class and function that other libraries call (and every
// type whose type information must be one object process-wide) carries
// KS_API.
#pragma once

#define KS_API __attribute__((visibility("default")))
