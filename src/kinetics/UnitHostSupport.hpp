// Glue shared by the host classes "Unit" and "UnitPrefix": the checks of
// their positional constructor arguments, the end of their creation entry,
// their common methods, the may-delete check, the destroy hook and the rows
// of their display tables.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"
#include "core/ModelComponentMethods.hpp"
#include "host/HostHelpers.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/QuantityHostSupport.hpp"

class KelborComponent;
class OBClass;
class OBInterface;
class OBListener;
class OBPropInfo;
struct qxArray_tag;

namespace kstr::unithost {

// The text of a string argument; raises (id, code) for anything else.
KELBOR_API std::string textArgument(const qxArray_tag* arg, const char* id, kstr::MessageCode code);
// The value of a real 1-by-1 double argument: not a real double raises
// (notNumericId, notNumeric), another size (badSizeId, badSize).
KELBOR_API double numberArgument(const qxArray_tag* arg, const char* notNumericId,
                                 kstr::MessageCode notNumeric, const char* badSizeId,
                                 kstr::MessageCode badSize);
// True for a host character array.
KELBOR_API bool isText(const qxArray_tag* arg);

// "BuiltIn", "UserDefined" or "NotInLibrary" for the library index.
KELBOR_API const char* libraryWord(int index);
// The leading columns of a display row: three blanks, the index (or "xxx"
// when its text has 8 or more characters) padded to 8, the library word
// padded to 20, the name padded to 25 (cut to 21 characters and "... "
// when it has 25 or more).
KELBOR_API std::string displayRowStart(size_t index, int libraryIndex, const std::string& name);
// The text padded with blanks to width (nothing added when it is longer).
KELBOR_API std::string padTo(const std::string& text, size_t width);

// The may-delete check of units (kind 0) and prefixes (kind 1): refused,
// with the warning (id, code) naming the component, while a library holds
// a component of its name; allowed while the tree is being destroyed.
KELBOR_API bool mayDeleteLibraryComponent(OBInterface* inst, int kind, const char* id,
                                          kstr::MessageCode code);

// Puts the listener on the post-set event of every property of the class.
KELBOR_API void listenToEveryProperty(OBClass& cls, OBListener* listener);
// Gives every built-in unit (kind 0) or prefix (kind 1) without a host
// instance one of the class, below the root's instance (the tree holds it).
KELBOR_API void giveBuiltinInstances(OBClass* cls, int kind);
// Takes the unit (kind 0) or prefix (kind 1) out of whichever library
// lists that very component.
KELBOR_API void leaveLibraries(const KelborComponent* component, int kind);
// The first half of the destroy hook of a unit (kind 0) or prefix (kind 1)
// instance: the component leaves the libraries, the desktop is told, and the
// instance and the component let go of each other.  The caller then frees
// the component and what it owns.
KELBOR_API void detachDestroyedInstance(OBInterface* inst, KelborComponent* component, int kind,
                                        const char* className);
// Applies the property/value pairs from index first on; a refused pair
// destroys the new instance and raises "Kestrion:KSTR_INVALID_PVPAIR".
using kstr::quantityhost::applyPairsOrDiscard;

// The end of the creation entry of a unit or prefix: the host instance of
// the class for the new wrapper (the wrapper is deleted when the instance
// cannot be made; owned then still frees its object), after which the
// wrapper owns the object that owned held; then the property/value pairs
// from index pairsStart on (0: none), as applyPairsOrDiscard applies them.
template <class Wrapper, class Owned>
OBInterface* instanceWithPairs(Wrapper* wrapper, std::unique_ptr<Owned>& owned, OBClass* cls, int argc,
                               int pairsStart, qxArray_tag* const args[]) {
  OBInterface* instance = kstr::quantityhost::makeInstance(wrapper, cls);
  owned.release();
  if (pairsStart > 0) applyPairsOrDiscard(instance, argc, pairsStart, args);
  return instance;
}

// The destroy hook of a unit (kind 0) or prefix (kind 1) instance: nothing
// for an instance without a wrapper of the type; else the wrapper is
// detached (detachDestroyedInstance), frees what it owns through freeOwned
// and is deleted.
template <class Wrapper>
void destroyLibraryInstance(OBInterface* inst, int kind, const char* className, void (Wrapper::*freeOwned)()) {
  auto* wrapper = dynamic_cast<Wrapper*>(componentOf(inst));
  if (!wrapper) return;
  detachDestroyedInstance(inst, wrapper, kind, className);
  (wrapper->*freeOwned)();
  delete wrapper;
}

// "display" of units and prefixes: the header, one row per object (the row
// text comes from rowOf), then an empty line.
class KELBOR_API LibraryTable_display_MI : public ModelComponent_display_MI {
 public:
  explicit LibraryTable_display_MI(std::string header) : header_(std::move(header)) {}
  void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]) override;
  void displayVector(int& nOut, void* outs[], int nIn, void* const ins[]) override;

 protected:
  // The row of the object shown with the 1-based index.
  virtual std::string rowOf(OBInterface* object, size_t index) const = 0;

 private:
  void print(const std::vector<OBInterface*>& objects) const;
  std::string header_;
};

// The properties that "Unit" or "UnitPrefix" adds to the common ones, at
// their places in the class's property order.
struct LibraryOwnProperties {
  std::vector<OBPropInfo*> afterAnnotationFull;
  std::vector<OBPropInfo*> afterFullIdPath;
  std::vector<OBPropInfo*> afterNotes;
};

// Defines the class "Unit" or "UnitPrefix": its name and class queries, the
// constructor signature of one optional host array, the common properties
// with the class's own ones, the methods "help", the given "display",
// "compare" and "copy", and the listener on every property.
KELBOR_API void defineLibraryClass(OBClass& cls, const char* name, const LibraryOwnProperties& own,
                                   LibraryTable_display_MI* display, OBListener* listener);

// Every set of a property asks for the library file of the kind to be
// rewritten.
class KELBOR_API LibraryUpdateListener : public OBListener {
 public:
  explicit LibraryUpdateListener(const char* kindWord) : kindWord_(kindWord) {}
  bool handleEvent(const OBEvent& event) override;

 private:
  const char* kindWord_;
};

}  // namespace kstr::unithost
