#include "ks_utils/Uuid.hpp"

#include <pthread.h>

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>

#include <boost/uuid/random_generator.hpp>
#include <boost/uuid/string_generator.hpp>
#include <boost/uuid/uuid_io.hpp>

#include "ks_utils/Errors.hpp"

namespace {

// The source of fresh UUIDs: a 64-bit Mersenne Twister whose whole state
// (312 words) is seeded once from the system's entropy, so that every
// process draws its own sequence (a random version-4 UUID per call, without
// a system call each), or a seeded sequence for repeatable tests.  The
// generator's own default construction is not used: for a standard engine
// it leaves the engine in its fixed default state.  A child process made by
// fork seeds afresh, so that parent and child never hand out the same
// sequence.
struct UuidSource {
  std::unique_ptr<std::mt19937_64> system;
  std::unique_ptr<std::mt19937_64> seeded;
  bool reseed = false;

  UuidSource() { pthread_atfork(nullptr, nullptr, [] { uuidSourceNeedsReseed(); }); }

  static void uuidSourceNeedsReseed();

  // A new engine whose every state word comes from the system's entropy.
  static std::unique_ptr<std::mt19937_64> engineFromEntropy() {
    std::random_device entropy;
    std::array<std::uint32_t, 2 * std::mt19937_64::state_size> words;
    for (std::uint32_t& word : words) word = entropy();
    std::seed_seq sequence(words.begin(), words.end());
    return std::make_unique<std::mt19937_64>(sequence);
  }

  boost::uuids::uuid next() {
    if (seeded) {
      boost::uuids::basic_random_generator<std::mt19937_64> gen(*seeded);
      return gen();
    }
    if (!system || reseed) {
      system = engineFromEntropy();
      reseed = false;
    }
    boost::uuids::basic_random_generator<std::mt19937_64> gen(*system);
    return gen();
  }
};

UuidSource& uuidSource() {
  static UuidSource source;
  return source;
}

void UuidSource::uuidSourceNeedsReseed() { uuidSource().reseed = true; }

boost::uuids::uuid parseUuid(const char* text) {
  if (text == nullptr) kstr_error("Kestrion:InvalidUUID", "Invalid UUID ''.");
  try {
    return boost::uuids::string_generator()(std::string(text));
  } catch (const std::runtime_error&) {
    throw ErrorIdException("Kestrion:InvalidUUID",
                           std::string("Invalid UUID '") + text + "'.");
  }
}

}  // namespace

KStrUuid::KStrUuid()
    : value_(uuidSource().next()), text_(boost::uuids::to_string(value_)) {}

KStrUuid::KStrUuid(const char* text)
    : value_(parseUuid(text)), text_(boost::uuids::to_string(value_)) {}

KStrUuid::KStrUuid(const std::string& text) : KStrUuid(text.c_str()) {}

KStrUuid::~KStrUuid() = default;

std::string& createValidPELLAMIdFromUuidString(std::string& out) {
  static const char* const hexDigits = "0123456789abcdef";
  const boost::uuids::uuid value = uuidSource().next();
  char text[1 + 2 * sizeof(value.data)];
  char* at = text;
  *at++ = 'x';
  for (const uint8_t byte : value) {
    *at++ = hexDigits[byte >> 4];
    *at++ = hexDigits[byte & 0x0f];
  }
  out.assign(text, sizeof text);
  return out;
}

void setUuidSeedForTesting(uint64_t seed) {
  uuidSource().seeded = std::make_unique<std::mt19937_64>(seed);
}

void clearUuidSeedForTesting() { uuidSource().seeded.reset(); }
