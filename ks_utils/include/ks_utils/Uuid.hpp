// Universally unique identifiers: the model's UUID object and identifiers
// made from fresh UUIDs.
#pragma once

#include <cstdint>
#include <string>

#include <boost/uuid/uuid.hpp>

#include "ks_utils/KsApi.hpp"

class KS_API KStrUuid {
 public:
  // A fresh random UUID.
  KStrUuid();
  // The UUID written in text (with or without braces and dashes, either
  // case).  Bad text throws ErrorIdException "Kestrion:InvalidUUID"; a null
  // text counts as bad.
  explicit KStrUuid(const char* text);
  explicit KStrUuid(const std::string& text);
  ~KStrUuid();

  // Canonical lower-case form 8-4-4-4-12.
  const std::string& getText() const noexcept { return text_; }
  const boost::uuids::uuid& getValue() const noexcept { return value_; }

  bool operator==(const KStrUuid& other) const noexcept {
    return value_ == other.value_;
  }

 private:
  boost::uuids::uuid value_;
  std::string text_;
};

// Replaces the string by "x" followed by the 32 lower-case hex digits of a
// fresh UUID: a valid host identifier and SBML identifier that never
// repeats.  Returns the string.
KS_API std::string& createValidPELLAMIdFromUuidString(std::string& out);

// Test hook: from now on fresh UUIDs come from a pseudo-random sequence
// started with the seed, so runs are repeatable.  clearUuidSeedForTesting
// returns to system randomness.
KS_API void setUuidSeedForTesting(uint64_t seed);
KS_API void clearUuidSeedForTesting();
