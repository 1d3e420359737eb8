// The handle vectors the engine owns: a host Vector with an engine-side index
// of its members and their positions beside it.
#pragma once

#include <unordered_map>
#include <vector>

#include <obk/Vector.hpp>

#include "core/KelborApi.hpp"

// A host Vector that the engine makes (newHandleVector) for the lists it
// keeps on its components: the model's and compartments' species,
// compartments, reactions, rules, events and parameters, a kinetic law's
// parameters.  The host reads and converts it as any Vector.  Beside it the
// engine keeps where each member stands, so that membership costs constant
// time and a member's position logarithmic time (the host Vector itself
// only searches linearly).
//
// The index follows the changes made through this class and the engine's
// handle-vector helpers.  A change made through the plain Vector interface
// is noticed on the next question (the size or the member found at the
// indexed position disagrees) and the index is rebuilt from the elements
// once; a change that keeps both the size and every indexed position would
// go unnoticed, so engine code changes these vectors through the helpers.
class KELBOR_API HandleVector final : public Vector {
 public:
  HandleVector() = default;
  ~HandleVector() override;
  HandleVector(const HandleVector&) = delete;
  HandleVector& operator=(const HandleVector&) = delete;

  // True when the handle is an element.
  bool holds(const OBInterface* handle) const;
  // Position of the first occurrence of the handle, or -1 when absent.
  int positionOf(const OBInterface* handle) const;
  // Appends the handle (null allowed); takes no reference.
  void append(OBInterface* handle);
  // Removes the first occurrence of the handle; false when absent.  The
  // other elements keep their order.
  bool remove(OBInterface* handle);
  // Removes every element.
  void clear();

 private:
  struct Place {
    int slot = 0;   // where the first occurrence was entered
    int count = 0;  // occurrences of the handle
  };

  void synchronise() const;
  void rebuild() const;
  void growTree() const;
  void addToTree(int slot, int delta) const;
  int liveBefore(int slot) const;

  // Every element ever entered since the last rebuild, by slot; a removed
  // element's slot is dead.  The tree counts the live slots (a Fenwick
  // tree, 1-based), so a slot's position is the number of live slots
  // before it.
  mutable std::unordered_map<const OBInterface*, Place> places_;
  mutable std::vector<const OBInterface*> slots_;
  mutable std::vector<char> alive_;
  mutable std::vector<int> tree_;
  mutable int live_ = 0;
  mutable bool stale_ = true;
};

// The handle vector behind a Vector the engine made, or null for any other
// Vector (one the host converted from a host array, for example).
KELBOR_API HandleVector* indexedHandleVector(Vector* vector);
KELBOR_API const HandleVector* indexedHandleVector(const Vector* vector);
// Membership and position for any Vector: through the index when the
// engine made it, by the host's linear search otherwise.
KELBOR_API bool handleVectorHolds(const Vector* vector, const OBInterface* handle);
KELBOR_API int handleVectorPosition(const Vector* vector, const OBInterface* handle);
