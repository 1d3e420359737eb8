// Visibility of the host platform's interfaces.  The engine builds with
// hidden visibility; every class and function that crosses the library
// boundary (and every exception type, whose type information must be one
// object process-wide) is marked with PELLAM_API.
#pragma once

#define PELLAM_API __attribute__((visibility("default")))
