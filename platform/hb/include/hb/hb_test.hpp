// Test controls of the host utility library stand-in.  Tests and the test
// host use these to look at what the engine printed, warned and loaded, and
// to check that every hb block was given back.  Single-threaded.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "pellam_api.hpp"

// Number of live blocks from hbMalloc, hbCalloc, hbCallocWithCheck,
// hbStrdup, qxMallocEx and the texts made by qx (each free gives one back).
PELLAM_API size_t hbTestLiveBlocks();

// Allocation-failure injection.  Arms the k-th allocation attempt from now
// (1 = the next one) of hbMalloc, hbCalloc, hbCallocWithCheck and hbStrdup
// (qxMallocEx and the texts qx makes go through hbMalloc) to fail as if the
// memory ran out: null, or std::bad_alloc from hbCallocWithCheck.  Only that
// one attempt fails.  0 disarms.  Either way the attempt count restarts.
PELLAM_API void hbTestFailAllocationAt(size_t k);
// Attempts since the last hbTestFailAllocationAt (the refused one included).
PELLAM_API size_t hbTestAllocationAttempts();
// Attempts refused by injection since the process began.
PELLAM_API size_t hbTestRefusedAllocations();

// Everything printed through hbPrintf/hbVPrintf (warnings included) since
// the last clear.
PELLAM_API const std::string& hbTestPrinted();
PELLAM_API void hbTestClearPrinted();
// Echo printed text to standard output (on by default).
PELLAM_API void hbTestSetEcho(bool on);

struct hbRecordedWarning {
  std::string id;
  std::string text;  // formatted, without the line break
  bool suppressed;   // the identifier was disabled: recorded, not printed
};
// Every hb_warning_id call since the last clear, in order.
PELLAM_API const std::vector<hbRecordedWarning>& hbTestWarnings();
PELLAM_API void hbTestClearWarnings();
// Enables or disables warnings with this identifier (null is ignored).
PELLAM_API void hbTestSetWarningStatus(const char* id, bool enabled);
// Enables every identifier again.
PELLAM_API void hbTestResetWarningStatus();

// Names given to hbLoadLibrary since the last clear, in call order.
PELLAM_API const std::vector<std::string>& hbTestLoadedLibraries();
PELLAM_API void hbTestClearLoadedLibraries();
// What a loader of another runtime may throw: no std::exception.
struct hbTestForeignFailure {};
// Makes hbLoadLibrary of exactly that name throw hbTestForeignFailure, as a
// failing loader of the platform can; null or "" makes every load succeed.
PELLAM_API void hbTestSetFailingLibrary(const char* name);
