// When a structure that leaves removed entries in place should drop them.
#pragma once

#include <cstddef>

namespace kstr {

// Whether `removed` entries, among `total` kept (removed ones included), are
// worth a pass that drops them: more than a few, and more than the live
// ones, so that each pass costs at most a few steps per entry removed since
// the last.
constexpr bool isWorthCompacting(size_t removed, size_t total) {
  return removed > 64 && 2 * removed > total;
}

}  // namespace kstr
