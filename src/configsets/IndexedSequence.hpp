// An ordered list of distinct values that finds and removes any value in
// logarithmic time, for the lists of logged states and sensitivity factors
// that lose one member whenever a component of a large model is deleted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <unordered_map>

#include <ks_utils/kstrContainers.hpp>

namespace kstr::configsets {

template <class T>
class IndexedSequence {
 public:
  size_t size() const noexcept { return order_.size(); }
  bool empty() const noexcept { return order_.empty(); }
  bool contains(const T& value) const { return position_.count(value) != 0; }

  // Appends the value; false (and nothing changes) when it is already there.
  bool append(const T& value) {
    if (!position_.emplace(value, next_).second) return false;
    order_.emplace(next_++, value);
    viewStale_ = true;
    return true;
  }
  // Removes the value; false when it is not there.
  bool remove(const T& value) {
    auto found = position_.find(value);
    if (found == position_.end()) return false;
    order_.erase(found->second);
    position_.erase(found);
    viewStale_ = true;
    return true;
  }
  void clear() noexcept {
    order_.clear();
    position_.clear();
    view_.clear();
    viewStale_ = false;
  }

  // The values in order, rebuilt after a change (linear once per change).
  const kstrVector<T>& view() const {
    if (viewStale_) {
      view_.clear();
      view_.reserve(order_.size());
      for (const auto& entry : order_) view_.push_back(entry.second);
      viewStale_ = false;
    }
    return view_;
  }
  // Position of the value in the order; size() when it is not there.
  size_t indexOf(const T& value) const {
    auto found = position_.find(value);
    if (found == position_.end()) return size();
    return static_cast<size_t>(std::distance(order_.begin(), order_.find(found->second)));
  }

  template <class F>
  void forEach(F&& visit) const {
    for (const auto& entry : order_) visit(entry.second);
  }

 private:
  std::map<uint64_t, T> order_;
  std::unordered_map<T, uint64_t> position_;
  uint64_t next_ = 0;
  mutable kstrVector<T> view_;
  mutable bool viewStale_ = false;
};

}  // namespace kstr::configsets
