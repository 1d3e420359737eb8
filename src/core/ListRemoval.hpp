// Removing an item from a component list whose order no longer matters
// (its owner is being destroyed and its members leave one by one).
#pragma once

#include <algorithm>

#include <ks_utils/kstrContainers.hpp>

namespace kstr {

// Takes item out of list without keeping the order of the rest; false when
// it is not there.  Members of a tree being destroyed leave first to last:
// the first of them reverses the list once, so that every later one is
// found at the back and popped.  Any other order still works, at the cost
// of a scan.
template <class T>
bool eraseUnordered(kstrVector<T>& list, const T& item) {
  if (list.empty()) return false;
  if (list.back() != item && list.front() == item) std::reverse(list.begin(), list.end());
  if (list.back() == item) {
    list.pop_back();
    return true;
  }
  auto it = std::find(list.begin(), list.end(), item);
  if (it == list.end()) return false;
  *it = list.back();
  list.pop_back();
  return true;
}

}  // namespace kstr
