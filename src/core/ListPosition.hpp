// Finding a component's position in its model's list when the list is
// long: a remembered position, the places before it (where removals ahead
// of it moved it; a few removals cost a few steps), then the end of the
// list (where new ones arrive), then a scan.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>

#include <ks_utils/kstrContainers.hpp>

namespace kstr {

// The position of item in list, or list.size() when it is not there.  hint
// is checked first and updated to the answer when found.
template <class T>
size_t positionInList(const kstrVector<T*>& list, const T* item, size_t& hint) {
  size_t position = list.size();
  if (hint < list.size() && list[hint] == item) {
    position = hint;
  } else if (!list.empty() && list.back() == item) {
    position = list.size() - 1;
  } else {
    // Backwards from the hint, where only removals ahead can have moved
    // it; then forwards from there (a reordered list).
    const auto start = list.begin() + static_cast<std::ptrdiff_t>(std::min(hint, list.size()));
    const auto before = std::find(std::make_reverse_iterator(start), list.rend(), item);
    position = before != list.rend()
                   ? static_cast<size_t>(before.base() - list.begin()) - 1
                   : static_cast<size_t>(std::find(start, list.end(), item) - list.begin());
  }
  if (position < list.size()) hint = position;
  return position;
}

}  // namespace kstr
