// The product version and the parsing of version texts.
#pragma once

#include <compare>
#include <string>

#include "ks_utils/KsApi.hpp"

// A version "a.b.c": an integer and two doubles, compared in that order.
// (-1, -1, -1) stands for "no version".
struct KS_API KestrionVersion {
  int versionMajor = -1;
  double versionMinor = -1.0;
  double versionPatch = -1.0;

  std::partial_ordering operator<=>(const KestrionVersion&) const = default;
  bool operator==(const KestrionVersion&) const = default;
};

// The product version as a number (3.0).
KS_API double GetKestrionVersion();
// The product version as text ("3.0.0").
KS_API const char* GetKestrionVersionString();

// Parses "a", "a.b" or "a.b.c" (surrounding whitespace and one trailing "."
// allowed; every part decimal digits); missing parts are 0.  Anything else
// (null, empty, signs, letters, more than three parts, empty inner parts)
// gives (-1, -1, -1).
KS_API KestrionVersion getVersionFromString(const char* text);
KS_API KestrionVersion getVersionFromString(const std::string& text);
