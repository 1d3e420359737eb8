// A small message table for the utility-library tests.  The engine
// registers the real catalog; these tests register only the codes they use.
#pragma once

#include <cstdint>

#include "hb/hb.hpp"

namespace kstest {

constexpr uint32_t kParseUnitsCode = 0x4000fc;
constexpr uint32_t kOneStringCode = 0x7f0001;
constexpr uint32_t kTwoStringsCode = 0x7f0002;
constexpr uint32_t kNumbersCode = 0x7f0003;
constexpr uint32_t kUnknownCode = 0x7ffffe;

inline void registerTestMessages() {
  static const uint32_t codes[] = {kParseUnitsCode, kOneStringCode,
                                   kTwoStringsCode, kNumbersCode};
  static const char* const ids[] = {"KSUNIT_CANNOT_PARSE_UNITS", "TEST_ONE",
                                    "TEST_TWO", "TEST_NUMBERS"};
  static const char* const texts[] = {"Unable to parse the units '%s'.",
                                      "Value '%s' is bad.",
                                      "First '%s', second '%s'.",
                                      "Got %d and %.2f."};
  static const MessageTable table = {4, 0x40, codes, ids, texts};
  hb_mem_add_primary_message_table(hbGetMemoryContext(), &table);
}

}  // namespace kstest
