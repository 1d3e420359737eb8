// The product's message catalog: the identifier, code and printf-style text
// of every error and warning that the engine raises with a catalog code.
// The rows live in MessageCatalog.def; this header turns them into the
// enumeration that callers name codes with, and gives the table that the
// root object registers with the host utility library.
#pragma once

#include <cstdint>

#include <hb/hb.hpp>

#include "core/KelborApi.hpp"

namespace kstr {

// Every catalog code by its identifier: kstr::MessageCode::KS_MallocError
// is 0x400004.  The values are the codes themselves, not row indices.
enum class MessageCode : uint32_t {
#define KSTR_MESSAGE(id, code, text) id = code,
#include "model/MessageCatalog.def"
};

// The code of a message as the plain number that kstr_error and
// hb_warning_id take.
constexpr uint32_t code(MessageCode message) noexcept {
  return static_cast<uint32_t>(message);
}

// The facility of every catalog code (bits 16 to 23).
inline constexpr uint32_t kMessageFacility = 0x40;

// The number of catalog rows.
inline constexpr uint32_t kMessageCount = 0
#define KSTR_MESSAGE(id, code, text) +1
#include "model/MessageCatalog.def"
    ;

// The catalog as one static, read-only record: count, facility and three
// parallel arrays (codes ascending in table order, identifiers, texts).
// The record and everything it points to live for the whole process;
// nothing changes them, so the same reference is returned on every call.
KELBOR_API const MessageTable& getMessageCatalog();

}  // namespace kstr
