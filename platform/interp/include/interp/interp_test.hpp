// Test switches and logs of the interpreter stand-in.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "pellam_api.hpp"

// One logged interpreter call.  Arguments are summarised: texts as they
// are, numeric scalars as numbers, handles as "<handle Class>", anything
// else as "<class MxN>".
struct InterpCallRecord {
  std::string name;
  int nlhs;
  int nrhs;
  std::vector<std::string> args;
  bool failed;
  std::string errorId;
};

PELLAM_API const std::vector<InterpCallRecord>& interpCallLog();
PELLAM_API void interpClearCallLog();
// Whether calls are logged with their summarised arguments (on until
// switched off or reset).  Off, a call is only counted, which spares a
// benchmark the log's strings; the counts are kept until the next reset.
struct InterpUnloggedCalls {
  long calls = 0;
  long failed = 0;
};
PELLAM_API void interpTestSetCallLogging(bool on);
PELLAM_API InterpUnloggedCalls interpUnloggedCalls();

// "kstrgate"("privateupdatelibrary", kind): calls per kind, and a switch
// that makes the call fail ("kstrgate:UpdateLibraryFailed").
PELLAM_API const std::map<std::string, int>& interpUpdateLibraryCounts();
PELLAM_API void interpTestSetUpdateLibraryFails(bool fail);
// "tempname": a switch that makes it fail ("interp:TempnameFailed").
PELLAM_API void interpTestSetTempnameFails(bool fail);
// The directory last returned by "tempname" ("" before the first).
PELLAM_API std::string interpLastTempName();
// Number of successful "kstrgate"("kstrremovetempdir") calls that removed
// an existing directory.
PELLAM_API int interpRemovedTempDirCount();
// Clears switches, counts, the log, the root, the unit remover and the
// registered functions.
PELLAM_API void interpTestReset();
