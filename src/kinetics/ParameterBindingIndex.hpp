// The kinetic laws that name a parameter among their parameter variable names,
// found by the parameter's name instead of a walk over every law.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"

class BKineticLaw;

namespace kstr {

// One process-wide index from names to the live kinetic laws that hold a
// parameter variable name which may resolve to a parameter of that name:
// the name as bound ("kf", "[a b]") and its last qualified part ("r1.kf"
// gives "kf"), brackets removed.  A law stands under the keys of the names
// it was last given; only when entering runs out of memory may it stay
// under some keys of earlier names as well.  The caller checks each law it
// gets (whether the law's binding really resolves to the parameter, whether
// the law lies in the model asked about).
//
// Each law keeps its own record of where it sits (Places): taking a law out
// touches that record and one slot per key, instead of searching maps keyed
// by law, which on a large model lie mostly outside the caches (deleting a
// model takes every law out).  The freed slot is only marked empty: filling
// it with another law would touch that law's record too, at the far end of
// a model being deleted.  Empty slots at the end of a key's list are dropped
// at once, the others when a law is entered under a key whose list is more
// than half empty, and a key whose laws are all gone leaves the index.
class KELBOR_API ParameterBindingIndex {
 public:
  class Places;

 private:
  struct Member {
    const BKineticLaw* law;  // null: an empty slot
    Places* places;
  };
  struct KeyLaws {
    std::vector<Member> members;
    size_t empty = 0;  // empty slots among the members
  };
  using KeyEntry = std::pair<const std::string, KeyLaws>;

 public:
  // Where one law sits: for each of its keys (without repeats), the key's
  // list and the law's slot in it.  A law holds a few keys, so the first two
  // are held in place.  A copied or assigned law keeps places of its own
  // (none until it is noted), never the other law's.
  class Places {
   public:
    Places() = default;
    Places(const Places&) {}
    Places& operator=(const Places&) { return *this; }
    ~Places() = default;

   private:
    friend class ParameterBindingIndex;
    struct Place {
      KeyEntry* key;
      size_t slot;
    };
    size_t count() const { return held_ + more_.size(); }
    Place& at(size_t i) { return i < held_ ? first_[i] : more_[i - held_]; }
    void push(const Place& place);
    // Drops place i; the last place takes its position.
    void removeAt(size_t i);
    void clear();

    std::array<Place, 2> first_{};
    size_t held_ = 0;
    std::vector<Place> more_;
  };

  static ParameterBindingIndex& instance();

  // Sets the law's keys to those of the names (empty names are skipped):
  // the law enters the keys it lacks and leaves those of names it no longer
  // holds.  places is the law's own record.  Running out of memory while
  // entering leaves the law under its old keys as well.
  void note(const BKineticLaw* law, Places& places, const kstrVector<std::string>& names);
  // Takes the law whose record places is out of the index (its destructor
  // does this); nothing when it is not in it.
  void forget(Places& places);
  // The laws entered under the parameter's name, in no particular order.
  std::vector<const BKineticLaw*> lawsNaming(const std::string& parameterName) const;

  // The keys a bound name is entered under.
  static std::vector<std::string> keysOf(const std::string& boundName);

 private:
  // Closes up the empty slots of a key's list, telling each law moved its
  // new slot.
  static void closeUp(KeyEntry& entry);
  // Empties the law's slot of the place; a key left without laws leaves the
  // index.
  void leave(const Places::Place& place);

  // The slot of a key's hash among keyHashes_.
  size_t slotOf(const std::string& key) const;
  void keyEntered(const std::string& key);
  void keyLeft(const std::string& key);

  std::unordered_map<std::string, KeyLaws> lawsByKey_;
  // How many keys have their hash at each slot (saturating at 255; sized
  // for at least twice the keys): a name whose slot counts none is answered
  // without searching the map, whose buckets and nodes lie mostly outside
  // the caches on a large model, and most parameters are named by no law.
  std::vector<uint8_t> keyHashes_;
};

}  // namespace kstr
