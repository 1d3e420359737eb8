// What the host glue of the "Model" class shares between its class object,
// its properties and its methods: finding the model behind an instance,
// the top-level test, creating children through the object system by class
// name, and the moves of a model between the root, a parent model and no
// parent at all.
#pragma once

#include <string>

#include "core/KelborApi.hpp"

class Kelbor;
class KStrConfigurationSetApi;
class OBClass;
class OBInterface;
class Vector;
struct qxArray_tag;

namespace kstr::model {

// The model behind an instance of "Model"; null for a null instance, an
// instance of another class or one without a component.
KELBOR_API Kelbor* modelOf(const OBInterface* instance);
// The same, raising "obk:InvalidObject" where modelOf answers null.
KELBOR_API Kelbor* requireModel(const OBInterface* instance);
// True when the instance sits directly below the root's instance.
KELBOR_API bool isTopLevelModel(const OBInterface* instance);

// The class of that name in the engine's application.  A class that is not
// (yet) registered raises ErrorIdException "Kestrion:UnknownClass" with
// "The class '<name>' is not available.".
KELBOR_API OBClass* requireKestrionClass(const char* name);
// True when the instance is of the class of that name (or a subclass).
KELBOR_API bool isInstanceOf(const OBInterface* instance, const char* className);

// Posts the desktop's child-added event when the host runs its Java
// machine; nothing otherwise.
KELBOR_API void postChildAdded(OBInterface* parent, OBInterface* child, const char* keyword);
// Sets the "Active" property of a configuration set's instance as the
// engine's client, so that the set's own set operation runs.  Null: nothing.
KELBOR_API void setActiveProperty(OBInterface* setInstance, bool active);
// A new Vector holding the elements with one reference each (the form of a
// "handle vector" method output); null elements are skipped.
KELBOR_API Vector* newReferencedVector(const Vector* elements);

// An instance made by a method for the caller.  It holds the creation
// reference.  keep() gives that reference back once the instance has a
// parent that holds it; an instance that is never kept is destroyed (its
// class's hook runs) and released when the holder goes, so a failure after
// creation leaves nothing behind.
class KELBOR_API CreatedInstance {
 public:
  explicit CreatedInstance(OBInterface* instance) : instance_(instance) {}
  ~CreatedInstance();
  CreatedInstance(const CreatedInstance&) = delete;
  CreatedInstance& operator=(const CreatedInstance&) = delete;
  OBInterface* get() const { return instance_; }
  // Drops the creation reference; returns the instance.
  OBInterface* keep();
  // Hands the instance, with its creation reference, to the caller.
  OBInterface* disown() {
    OBInterface* instance = instance_;
    instance_ = nullptr;
    return instance;
  }

 private:
  OBInterface* instance_;
};

// The native argument values of a method call, by position.
inline OBInterface* handleArg(void* const ins[], int i) { return static_cast<OBInterface*>(ins[i]); }
inline const char* textArg(void* const ins[], int i) { return static_cast<const char*>(ins[i]); }
inline qxArray_tag* arrayArg(void* const ins[], int i) { return static_cast<qxArray_tag*>(ins[i]); }
inline const Vector* vectorArg(void* const ins[], int i) { return static_cast<const Vector*>(ins[i]); }
inline bool boolArg(void* const ins[], int i) {
  return ins[i] != nullptr && *static_cast<const unsigned char*>(ins[i]) != 0;
}

// --- moves of a model --------------------------------------------------------

// Below the root, when the model has no parent handle yet: host tree, the
// root's model list, the parent handle, and the root as parent component.
KELBOR_API void attachModelBelowRoot(OBInterface* modelInstance);
// Takes a model from its parent: from a parent model (host tree, parent
// handle, the parent's registry and sub-model vector, recompilation of the
// parent) or from the root's list.  Nothing without a parent handle.
KELBOR_API void detachModel(OBInterface* modelInstance);
// Puts a model that has no parent below a parent model: host tree, the
// parent's sub-model vector (once), recompilation of the parent, the parent
// handle, the desktop's child-added "kstrmodel" and Kelbor::addModel.
KELBOR_API void addModelBelowModel(OBInterface* modelInstance, OBInterface* parentInstance);
// Makes the model a sub-model of another (the "Parent" move, "addmodel",
// the restore of "Models" and the copy of a sub-model).  Raises,
// before anything changes, "Kestrion:PARENT_INVALIDTYPE" when the new
// parent is not a model and "Kestrion:MODEL_DUPLICATENAME" when it already
// holds a sub-model of this model's name.  The model leaves its current
// parent first (a parent model's side posts a child-added event with no
// parent).  A sub-model has no configuration sets: the model's sets are
// taken off it and out of the tree (a set nobody else holds goes).
KELBOR_API void makeSubModel(OBInterface* modelInstance, OBInterface* parentInstance);
// Moves the model to the root (the "Parent" move with the root): it leaves
// its parent, goes below the root's instance, at the end of the root's
// list, with the root's handle and the root as parent component.  A model
// without an active configuration set gets a "default" one.
KELBOR_API void moveModelToRoot(OBInterface* modelInstance);
// True when candidate is the model itself or one of its descendants
// (walking the parent handles up from candidate).
KELBOR_API bool isSelfOrDescendant(const OBInterface* modelInstance, const OBInterface* candidate);

// Makes a configuration set "default" for the model, attaches it, puts it
// below the model's instance, makes it the active set and sets its
// "Active" property; records it as the model's own default set.  Returns
// its instance.
KELBOR_API OBInterface* attachDefaultConfigSet(OBInterface* modelInstance);
// A set that leaves its model forgets the states it chose to log (they are
// components of the model it leaves); a set that logs every state keeps
// doing so.  Null: nothing.
KELBOR_API void forgetChosenStates(KStrConfigurationSetApi* set);

// --- shared operations -------------------------------------------------------

// The first compartment named name in the model's compartment tree, or the
// one that the model's own "addcompartment" makes for that name.  Null for
// a null model handle.  The answer is borrowed (the tree holds it).
KELBOR_API OBInterface* findOrAddCompartmentOBI(OBInterface* modelInstance, const std::string& name);
// The host's "find" below the handle for the mass-action kinetic laws
// (property "KineticLawName" equal to "MassAction"): a new host array owned
// by the caller; null for a null handle.
KELBOR_API qxArray_tag* findByTypeMassAction(OBInterface* handle);

}  // namespace kstr::model
