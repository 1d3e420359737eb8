// The handle vectors the engine owns: a host Vector with an engine-side index
// of its members and their positions beside it.
#pragma once

#include <vector>

#include <obk/Vector.hpp>

#include "core/KelborApi.hpp"
#include "core/LiveSlotTree.hpp"
#include "core/PointerMap.hpp"

// A host Vector that the engine makes (newHandleVector) for the lists it
// keeps on its components: the model's and compartments' species,
// compartments, reactions, rules, events and parameters, a kinetic law's
// parameters.  The host reads and converts it as any Vector.  Beside it the
// engine keeps where each member stands, so that membership costs constant
// time and a member's position logarithmic time (the host Vector itself
// only searches linearly).
//
// Removal does not shift the rest: the member's slot in the index is
// emptied and the host Vector's own elements are brought up to date in one
// pass only when the Vector is next handed out (publish, which every engine
// getter returning it and every reader of its elements calls first).  Until
// then the host Vector's elements may still hold removed members; the
// engine's own questions (holds, positionOf, remove, append) answer from
// the index and never read them.
//
// The index follows the changes made through this class and the engine's
// handle-vector helpers.  A change made through the plain Vector interface
// to a published Vector is noticed on the next question (the size or the
// member found at the indexed position disagrees) and the index is rebuilt
// from the elements once; a change that keeps both the size and every
// indexed position would go unnoticed, so engine code changes these vectors
// through the helpers.  A change of size made to a Vector whose removals
// are not yet published keeps those removals and the members appended since.
class KELBOR_API HandleVector final : public Vector {
 public:
  HandleVector() = default;
  ~HandleVector() override;
  HandleVector(const HandleVector&) = delete;
  HandleVector& operator=(const HandleVector&) = delete;

  // True when the handle is a member.
  bool holds(const OBInterface* handle) const;
  // Position of the first occurrence of the handle, or -1 when absent.
  int positionOf(const OBInterface* handle) const;
  // Number of members (the host Vector's size once published).
  int memberCount() const;
  // Appends the handle (null allowed); takes no reference.
  void append(OBInterface* handle);
  // Removes the first occurrence of the handle; false when absent.  The
  // other members keep their order.
  bool remove(OBInterface* handle);
  // Removes every member.
  void clear();
  // Brings the host Vector's own elements up to date with the members;
  // linear when removals are pending, nothing otherwise.
  void publish() const;

 private:
  struct Place {
    int slot = 0;   // where the first occurrence was entered
    int count = 0;  // occurrences of the handle
  };

  void synchronise() const;
  void rebuild() const;
  void adoptHostChanges() const;

  // Every handle entered since the last rebuild, by slot; a removed
  // member's slot is dead.  The tree counts the live slots, so a slot's
  // position is the number of live slots before it.
  mutable kstr::PointerMap<const OBInterface*, Place> places_;
  mutable std::vector<OBInterface*> slots_;
  mutable kstr::LiveSlotTree tree_;
  mutable bool stale_ = true;
  // Whether the host Vector's elements are the members.  While they are
  // not: their size when they last were, the slots entered by then, and
  // the handles removed since from among those slots.
  mutable bool published_ = true;
  mutable int publishedSize_ = 0;
  mutable size_t publishedSlots_ = 0;
  mutable std::vector<const OBInterface*> removedSincePublished_;
};

// The handle vector behind a Vector the engine made, or null for any other
// Vector (one the host converted from a host array, for example).
KELBOR_API HandleVector* indexedHandleVector(Vector* vector);
KELBOR_API const HandleVector* indexedHandleVector(const Vector* vector);
// The vector with its host elements up to date (publish), for a reader of
// its elements or for handing it to the host; any Vector, null allowed.
KELBOR_API Vector* publishedHandleVector(Vector* vector);
KELBOR_API const Vector* publishedHandleVector(const Vector* vector);
// Membership and position for any Vector: through the index when the
// engine made it, by the host's linear search otherwise.
KELBOR_API bool handleVectorHolds(const Vector* vector, const OBInterface* handle);
KELBOR_API int handleVectorPosition(const Vector* vector, const OBInterface* handle);
