// The model's index of which variants and doses hold which name parts, so
// that a rename visits only those that may name the renamed component.
#pragma once

#include <cstddef>
#include <iterator>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kstr::variants {

// Name part (a plain name: "A" and "c1" of "c1.A", "k 1" of "[k 1]") to the
// holders that hold it, with how many times each does.  A holder files a
// part before it holds it and drops it after it stopped holding it, so the
// index may name a holder that no longer holds a part (when filing raised
// part way) but never misses one that does.
template <class Holder>
class NamePartIndex {
 public:
  // May raise std::bad_alloc; the index is then unchanged.
  void add(const std::string& part, const Holder* holder) {
    if (part.empty()) return;
    ++parts_[part][holder];
  }
  // Never raises.
  void remove(const std::string& part, const Holder* holder) noexcept {
    auto found = parts_.find(part);
    if (found == parts_.end()) return;
    auto held = found->second.find(holder);
    if (held == found->second.end()) return;
    if (--held->second == 0) found->second.erase(held);
    if (found->second.empty()) parts_.erase(found);
  }
  // Drops the holder under every part.  Costs a walk of the whole index:
  // only for a holder that goes without saying what it held.
  void forget(const Holder* holder) noexcept {
    for (auto it = parts_.begin(); it != parts_.end();) {
      it->second.erase(holder);
      it = it->second.empty() ? parts_.erase(it) : std::next(it);
    }
  }
  // The holders of the part, in no particular order (a copy: the caller may
  // change the index while it walks them).
  std::vector<const Holder*> holders(const std::string& part) const {
    std::vector<const Holder*> out;
    auto found = parts_.find(part);
    if (found == parts_.end()) return out;
    out.reserve(found->second.size());
    for (const auto& [holder, count] : found->second) out.push_back(holder);
    return out;
  }
  // The parts that begin with the prefix, each with its holders.
  std::vector<std::pair<std::string, std::vector<const Holder*>>> partsUnder(const std::string& prefix) const {
    std::vector<std::pair<std::string, std::vector<const Holder*>>> out;
    for (auto it = parts_.lower_bound(prefix); it != parts_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
         ++it) {
      out.emplace_back(it->first, holders(it->first));
    }
    return out;
  }
  bool empty() const { return parts_.empty(); }

 private:
  std::map<std::string, std::unordered_map<const Holder*, size_t>> parts_;
};

}  // namespace kstr::variants
