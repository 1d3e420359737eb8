// The module functions the host calls to start and stop the engine, and
// the function-table records it asks for.
#pragma once

#include <cstdint>

#include "core/KelborApi.hpp"

// The record QueryPLFcnTable_kelbor returns (24 bytes).
struct PLFcnTableHeader {
  void* functions;     // the run-time function table
  uint32_t magic1;     // 0xA44CE6DA
  uint32_t reserved1;  // 0
  uint32_t magic2;     // 0x4B5922A9
  uint32_t reserved2;  // 0
};
static_assert(sizeof(PLFcnTableHeader) == 24);

extern "C" {
// Runs start-up once: registers the host classes in their fixed order,
// checks for the desktop's Java code, makes the stacked-message manager's
// class, builds the built-in kinetic laws and preloads the run-time
// libraries.  A failure is reported to the host as a host error
// (qxErrMsgIdAndTxt) and leaves start-up to be repeated by the next call.
KELBOR_API void PLInitialize_kelbor();
// Asks the host to remove the product's temporary folder (once).
KELBOR_API void PLTerminate_kelbor();
KELBOR_API const PLFcnTableHeader* QueryPLFcnTable_kelbor();
KELBOR_API const void* QueryPLFcns_kelbor();
}
