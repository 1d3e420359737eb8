// Glue shared by the host classes of compartments, species and parameters:
// argument tests of the creation entries, the safe discarding of a new
// instance that could not be completed, walks of the host tree, and the
// property infos the three classes have in common beyond the ModelComponent
// family.
#pragma once

#include <string>

#include "core/KelborApi.hpp"
#include "core/ModelComponentProps.hpp"
#include "model/MessageCatalog.hpp"
#include "host/HostHelpers.hpp"
#include <obk/OBInterface.hpp>
#include <obk/Exception.hpp>

class KelborComponent;
class OBInterface;
struct qxArray_tag;

namespace kstr::quantityhost {

// Raises the catalog message under the identifier.
[[noreturn]] KELBOR_API void raise(const char* id, kstr::MessageCode message);

// The number that may follow the name among a creation entry's arguments,
// and where the property/value pairs start.
struct LeadingNumber {
  bool present = false;
  double value = 0.0;
  int pairsStart = 1;
};
// Reads args[1] as that number.  Fewer than two arguments: none, and no
// pairs.  With more than two, an argument that startsValue refuses begins
// the pairs instead.  A value that isValid refuses raises (id, message).
// NaN is passed to both tests for an argument that is no 1-by-1 double.
KELBOR_API LeadingNumber readLeadingNumber(int argc, qxArray_tag* const args[],
                                           bool (*startsValue)(bool scalar, double value),
                                           bool (*isValid)(bool scalar, double value),
                                           const char* id, kstr::MessageCode message);

// The component of the kind behind an instance; raises "obk:InvalidObject"
// when there is none.
template <class T>
T* componentBehind(OBInterface* instance, kstr::bcomptype kind) {
  KelborComponent* c = componentOf(instance);
  if (!c || c->getEnumType() != kind) {
    throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  }
  return static_cast<T*>(c);
}

// A new host instance of the class for a new component; the component is
// deleted when the instance cannot be made.
template <class T>
OBInterface* makeInstance(T* component, OBClass* cls) {
  OBInterface* instance = nullptr;
  try {
    instance = new OBInterface(static_cast<KelborComponent*>(component), cls);
  } catch (...) {
    delete component;
    throw;
  }
  component->setOBI(instance);
  return instance;
}

// True for a real (not complex) 1-by-1 double array.
KELBOR_API bool isScalarDouble(const qxArray_tag* array);
// True for a character array (also an empty one).
KELBOR_API bool isText(const qxArray_tag* array);
// True when one of args[first..argc-1] names the property (compared
// ignoring case): a character argument, a field name of a structure
// argument, or every second element (from the first) of a cell argument.
KELBOR_API bool findPropertyName(int argc, qxArray_tag* const args[], int first,
                                 const char* name);

// Destroys an instance that a creation path made but cannot hand out,
// exactly once and through the host, so that its class's destroy hook
// runs (taking it out of whatever it joined) and the desktop hears of it;
// then gives back the creator's reference, which frees it.  The class's
// delete guard is not asked.  Null: nothing.
KELBOR_API void discardNewInstance(OBInterface* instance);
// Applies the property/value pairs args[first..argc-1] to a new instance;
// when one is refused, the instance is discarded (discardNewInstance) and
// "Kestrion:KSTR_INVALID_PVPAIR" is raised with the pairs' error text;
// when memory runs out first, the instance is discarded and that error
// passes on.
KELBOR_API void applyPairsOrDiscard(OBInterface* instance, int argc, int first, qxArray_tag* const args[]);
// True while discardNewInstance destroys exactly this instance; the delete
// guards of the three classes let it through.
KELBOR_API bool isBeingDiscarded(const OBInterface* instance);

// True when the instance or any instance above it in the host tree is
// being destroyed.
KELBOR_API bool isTreeBeingDestroyed(const OBInterface* instance);
// True for an instance of the host class "Root".
KELBOR_API bool isRootInstance(const OBInterface* instance);
// Climbs the recorded parent handles from the instance's component and
// answers the last handle below the root's instance (null when the
// component has no parent handle).
KELBOR_API OBInterface* topAncestorBelowRoot(const OBInterface* instance);

// Desktop events; nothing while the host runs no Java machine.
KELBOR_API void postObjectCreated(OBInterface* instance, const char* className, const char* text);
KELBOR_API void postObjectDestroyed(OBInterface* parent, OBInterface* instance,
                                    const char* className, const char* name);

// Releases the component's user data through the "PELLAM array" type.
KELBOR_API void releaseUserData(KelborComponent* component);

// Help texts shared by the three classes.
extern KELBOR_API const char* const kUserDataHelp;
extern KELBOR_API const char* const kFullIdPathHelp;
extern KELBOR_API const char* const kUnsupportedHelp;

}  // namespace kstr::quantityhost

// "UserData" with the help text of the quantity classes.
class KELBOR_API Quantity_UserDataPIT : public ModelComponent_UserDataPIT {
 public:
  Quantity_UserDataPIT();
};

// "FullIdPathToTopModel" ("string", read-only): the component's
// getIdWithFullPathToTopModel, borrowed; sets are ignored.
class KELBOR_API ModelComponent_FullIdPathToTopModel_PIT : public ComponentPropInfo {
 public:
  ModelComponent_FullIdPathToTopModel_PIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "DisplayQualifiedName" ("string", read-only, unsupported): a new hbCalloc
// text with the component's getDQN, freed by releaseValue; sets are ignored.
class KELBOR_API ModelComponent_DisplayQualifiedNamePIT : public ComponentPropInfo {
 public:
  ModelComponent_DisplayQualifiedNamePIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "FullyQualifiedName" of species and parameters ("string", read-only,
// empty help): a new hbStrdup text with fillParameterFullyQualifiedName of
// the instance, freed by releaseValue; sets are ignored.
class KELBOR_API Quantity_FullyQualifiedName_PIT : public ComponentPropInfo {
 public:
  Quantity_FullyQualifiedName_PIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// The host fully qualified name of a parameter or species instance: the
// names from the outermost instance below the root down to the instance,
// joined by dots; a name that is not a valid identifier is bracketed.  A
// kinetic law adds no segment: its reaction's name stands for it (the
// reaction's default name, or "UnnamedReaction" when the reaction has no
// parent below the root, replaces an empty one, unbracketed).  out is
// cleared first.  Null instance: empty.
KELBOR_API void fillParameterFullyQualifiedName(OBInterface* instance, std::string& out);
