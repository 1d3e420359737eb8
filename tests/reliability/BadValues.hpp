// The table of bad host values the sweep passes to every property and
// method argument, and the plausible value of each host type that fills the
// other arguments of a call.
#pragma once

#include <string>
#include <vector>

#include <qx/qx.hpp>

class OBClass;
class OBInterface;

// One row of the table.  Handles are filled in per world (instances of the
// classes, a destroyed instance), so a row names what it needs and the world
// makes the array.
struct BadValue {
  enum class Kind {
    Made,           // made by the row's function alone
    NullHandle,     // an empty handle array
    DeletedHandle,  // the handle of a destroyed instance
    ClassHandle,    // the handle of an instance of classIndex
    MixedHandles,   // the object under test and an instance of another class
  };
  std::string label;
  Kind kind = Kind::Made;
  size_t classIndex = 0;
  qxArray* (*make)() = nullptr;
};

// The values every registered class gets: the fixed rows, one handle row per
// class in the list, and the mixed handle vector.
std::vector<BadValue> badValueTable(const std::vector<OBClass*>& classes);

// What the world lends a bad value or a plausible value when it is made.
struct ValueSources {
  OBInterface* self = nullptr;
  OBInterface* deleted = nullptr;
  // The registered classes and the instance chosen for each (null when
  // none).
  std::vector<OBClass*> classes;
  std::vector<OBInterface*> byClass;
  OBInterface* other = nullptr;  // an instance of another class than self's
};

// A new array (owned by the caller) for the row.
qxArray* makeBadValue(const BadValue& value, const ValueSources& sources);

// A new array of a value the host type accepts: a short name for texts, 1
// for numbers, true, a handle of an instance of the type's class (or of the
// object under test), a one-element vector, and a text for "PELLAM array".
qxArray* makePlausibleValue(const std::string& typeName, const ValueSources& sources);
