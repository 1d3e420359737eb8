// Text helpers shared by the engine: trimming with one whitespace set
// (SPACE, TAB, CR, LF, FF), the assignment split of expressions and the
// conversion of host text arrays into sets.
#pragma once

#include <cstddef>
#include <set>
#include <string>

#include "ks_utils/KsApi.hpp"
#include "ks_utils/QXArraySmartPointer.hpp"
#include "qx/qx.hpp"

struct KS_API STDStringHelpers {
  // True for SPACE, TAB, CR, LF and FF.
  static bool isWhitespaceChar(char c) noexcept;

  // Removes leading and trailing whitespace in place; returns the string.
  static std::string& trimWhitespace(std::string& text);
  // Removes leading whitespace in place; returns the string.
  static std::string& eatLeadingWhitespace(std::string& text);
  // Removes trailing whitespace in place; returns the string.
  static std::string& eatTrailingWhitespace(std::string& text);

  // True when the text is empty or holds whitespace only; null counts as
  // empty.
  static bool isAllWhitespace(const char* text) noexcept;
  static bool isAllWhitespace(const std::string& text) noexcept;

  // Finds the equals sign that makes the text an assignment: the first "="
  // that is not part of "==", "<=", ">=" or "!=" and does not stand inside
  // "[...]".  On success lhs and rhs receive the untrimmed texts before and
  // after it and its position is returned.  Without one the result is
  // std::string::npos, lhs is "" and rhs the whole text.
  static std::size_t splitExpressionOnEqual(const std::string& text,
                                            std::string& lhs,
                                            std::string& rhs);

  // Inserts the texts of a cell array (elements that are not char arrays
  // are skipped) or of one char array into the set.  A null array or any
  // other kind of array inserts nothing.  The set is not cleared first.
  static void createSTDSetFromQXArrayVector(const qxArray* array,
                                            std::set<std::string>& out);
};

// Free form of STDStringHelpers::createSTDSetFromQXArrayVector.
inline void createSTDSetFromQXArrayVector(const qxArray* array,
                                          std::set<std::string>& out) {
  STDStringHelpers::createSTDSetFromQXArrayVector(array, out);
}
