#include "model/MessageCatalog.hpp"

namespace kstr {
namespace {

// The three parallel arrays, expanded from the same rows so that they
// cannot disagree.
constexpr uint32_t kCodes[] = {
#define KSTR_MESSAGE(id, code, text) code,
#include "model/MessageCatalog.def"
};

constexpr const char* kIdentifiers[] = {
#define KSTR_MESSAGE(id, code, text) #id,
#include "model/MessageCatalog.def"
};

constexpr const char* kTexts[] = {
#define KSTR_MESSAGE(id, code, text) text,
#include "model/MessageCatalog.def"
};

static_assert(sizeof(kCodes) / sizeof(kCodes[0]) == kMessageCount);
static_assert(sizeof(kIdentifiers) / sizeof(kIdentifiers[0]) == kMessageCount);
static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == kMessageCount);

constexpr bool codesAscendWithinFacility() {
  for (uint32_t i = 0; i < kMessageCount; ++i) {
    if ((kCodes[i] >> 16) != kMessageFacility) return false;
    if (i > 0 && kCodes[i] <= kCodes[i - 1]) return false;
  }
  return true;
}
static_assert(codesAscendWithinFacility(),
              "catalog codes must ascend and carry the facility 0x40");

const MessageTable kCatalog = {kMessageCount, kMessageFacility, kCodes,
                               kIdentifiers, kTexts};

}  // namespace

const MessageTable& getMessageCatalog() { return kCatalog; }

}  // namespace kstr
