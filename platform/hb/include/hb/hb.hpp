// Host utility library: memory, printing, warnings, the message-table
// registry and loading of run-time libraries.  Every allocation is malloc
// underneath and is counted, so that tests can check for leaks.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "pellam_api.hpp"

// --- memory ---------------------------------------------------------------
// Null when the memory cannot be had (nothing is counted then).  A size of
// 0 still gives a distinct, counted block.
PELLAM_API void* hbMalloc(size_t size);
PELLAM_API void* hbCalloc(size_t count, size_t size);
// Zero-filled; throws std::bad_alloc when the memory cannot be had.
PELLAM_API void* hbCallocWithCheck(size_t count, size_t size);
PELLAM_API char* hbStrdup(const char* text);  // null gives null
PELLAM_API void hbFree(void* p);              // null allowed

// --- printing -------------------------------------------------------------
// Writes to the host's output sink: the text is always captured (see
// hb_test.hpp) and echoed to standard output while echo is on (the default).
// Returns the number of characters written, or a negative value when the
// format fails.
PELLAM_API int hbPrintf(const char* fmt, ...)
    __attribute__((format(printf, 1, 2)));
PELLAM_API int hbVPrintf(const char* fmt, va_list args);
PELLAM_API int hbSNprintf(char* buf, size_t size, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));

// --- small numeric and text helpers ----------------------------------------
PELLAM_API void hbLowerCase(char* text);  // in place, ASCII; null allowed
// Searches text for the ECMAScript pattern.  A null text or pattern, or a
// pattern that does not compile, answers false.
PELLAM_API bool hbRegexp(const char* text, const char* pattern);
// |a-b| <= 2^-52 * max(1, |a|, |b|); NaN is never equal; equal infinities
// are equal.
PELLAM_API bool hbEqualWithinEps(double a, double b);
// Rounds half away from zero.
PELLAM_API double hbDoubleScalarRound(double value);

// --- message tables -------------------------------------------------------
struct MessageTable {
  uint32_t count;
  uint32_t facility;
  const uint32_t* codes;
  const char* const* ids;
  const char* const* texts;
};

struct hbMemoryContext;
PELLAM_API hbMemoryContext* hbGetMemoryContext();
// A table already registered is not added again.
PELLAM_API void hb_mem_add_primary_message_table(hbMemoryContext* ctx,
                                                 const MessageTable* table);
PELLAM_API void hb_mem_remove_primary_message_table(hbMemoryContext* ctx,
                                                    const MessageTable* table);
// The printf format of a registered code, or "Message 0x%06X not found"
// (already filled in) when no registered table holds it.  The text stays
// valid while its table is registered.
PELLAM_API const char* hbLookupMessage(uint32_t code);
// The catalog identifier of a registered code, or null.
PELLAM_API const char* hbLookupMessageId(uint32_t code);
// Formats the text of a code with the arguments into a new hbMalloc text
// (the "not found" text for an unknown code, the arguments unused).
PELLAM_API char* hbFormatMessage(uint32_t code, va_list args);

// --- warnings -------------------------------------------------------------
struct hbWarningContext;
PELLAM_API hbWarningContext* hbGetWarningContext();
// Formats the catalog text of the code with the arguments, records the
// warning (id, text), prints the text and a line break, and returns.  A
// disabled identifier is recorded as suppressed and not printed.  A null
// identifier is recorded as "".
PELLAM_API void hb_warning_id(hbWarningContext* ctx, const char* id,
                              uint32_t code, ...);
// 1 when warnings with this identifier are enabled, 0 when disabled.  Every
// identifier is enabled until a test disables it (hb_test.hpp); a null
// identifier is enabled.
PELLAM_API int hb_get_warning_status_id(hbWarningContext* ctx, const char* id);

// --- run-time libraries ---------------------------------------------------
// Records the name verbatim, sets *status to 1 (when status is not null) and
// loads nothing; returns null.  A null name is recorded as "".
PELLAM_API void* hbLoadLibrary(const char* name, int32_t* status);

// Empty scope guard the host uses around calls that may unwind.
class PELLAM_API _hbCleanupControl {
 public:
  _hbCleanupControl() = default;
  ~_hbCleanupControl() = default;
};
