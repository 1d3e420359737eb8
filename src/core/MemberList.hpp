// The ordered member list of a component (a compartment's species, a
// model's parameters): a member leaves without the rest moving up.
#pragma once

#include <algorithm>
#include <cstddef>

#include <ks_utils/kstrContainers.hpp>

#include "core/Compaction.hpp"
#include "core/ListPosition.hpp"
#include "core/ListRemoval.hpp"
#include "core/LiveSlotTree.hpp"

namespace kstr {

// A kstrVector of member pointers in which a leaving member's place is
// emptied (null) instead of the members behind it moving up one by one,
// which made every removal from a long list linear.  The emptied places
// are closed in one pass when the list is next read through items(), and
// once they outnumber the members.  A removal that is given the member's
// position finds its place in logarithmic time.
//
// Readers see the list only through items(), closed up; size() counts the
// members.  Members are never null.
template <class T>
class MemberList {
 public:
  MemberList() = default;
  MemberList(const MemberList& other) : items_(other.items()) { slots_.reset(items_.size()); }
  MemberList& operator=(const MemberList& other) {
    if (this != &other) assign(other.items());
    return *this;
  }

  // The members in order, their emptied places closed first.
  const kstrVector<T>& items() const {
    closeUp();
    return items_;
  }
  // The same for a caller that may change the list: the place index is
  // rebuilt when next needed.
  kstrVector<T>& changeableItems() {
    closeUp();
    indexed_ = false;
    return items_;
  }
  size_t size() const noexcept { return items_.size() - emptied_; }
  // The member at the position (below size()), found without closing up.
  T at(size_t position) const {
    if (emptied_ == 0) return items_[position];
    if (!indexed_ || slots_.slots() != items_.size()) reindex();
    return items_[slots_.slotOf(position)];
  }
  // The member's position, or size() when it is not a member.  slotHint is
  // where it was last found: checked first (logarithmic), then the list is
  // closed up and searched from there (ListPosition.hpp) and the hint
  // updated.
  size_t positionOf(const T& member, size_t& slotHint) const {
    if (slotHint < items_.size() && items_[slotHint] == member) {
      if (emptied_ == 0) return slotHint;
      if (indexed_ && slots_.slots() == items_.size()) return slots_.liveBefore(slotHint);
    }
    closeUp();
    return kstr::positionInList(items_, member, slotHint);
  }
  bool empty() const noexcept { return size() == 0; }

  void push_back(T member) {
    items_.push_back(member);
    if (indexed_) slots_.push();
  }
  // Replaces the whole list.
  void assign(const kstrVector<T>& members) {
    items_ = members;
    emptied_ = 0;
    reindex();
  }
  void clear() {
    items_.clear();
    emptied_ = 0;
    reindex();
  }

  // Takes the member out, keeping the order of the rest; false when it is
  // not there.  position is its place among the members when the caller
  // knows it (-1 otherwise, or when it does not hold it: the list is then
  // searched).
  bool erase(T member, long position = -1) {
    if (position >= 0 && static_cast<size_t>(position) < size()) {
      if (!indexed_ || slots_.slots() != items_.size()) reindex();
      const size_t slot = slots_.slotOf(static_cast<size_t>(position));
      if (slot < items_.size() && items_[slot] == member) {
        empty(slot);
        return true;
      }
    }
    closeUp();
    auto found = std::find(items_.begin(), items_.end(), member);
    if (found == items_.end()) return false;
    items_.erase(found);
    reindex();
    return true;
  }
  // Takes the member out when its owner is going and the order of the rest
  // no longer matters (ListRemoval.hpp); the place index is dropped.
  bool eraseUnordered(T member) {
    closeUp();
    indexed_ = false;
    return kstr::eraseUnordered(items_, member);
  }

 private:
  // Closes the emptied places and counts every slot live again; linear.
  void reindex() const {
    if (emptied_ != 0) {
      items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end());
      emptied_ = 0;
    }
    slots_.reset(items_.size());
    indexed_ = true;
  }
  void empty(size_t slot) {
    items_[slot] = nullptr;
    slots_.kill(slot);
    ++emptied_;
    if (isWorthCompacting(emptied_, items_.size())) reindex();
  }
  void closeUp() const {
    if (emptied_ != 0) reindex();
  }

  mutable kstrVector<T> items_;
  mutable size_t emptied_ = 0;
  // The live places of items_ while indexed_ (kept from the start, so that
  // the first removal from a long list builds nothing).
  mutable LiveSlotTree slots_;
  mutable bool indexed_ = true;
};

}  // namespace kstr
