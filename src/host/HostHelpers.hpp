// Small helpers over the host interfaces that every host binding uses.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "core/ComponentKind.hpp"
#include "core/KelborApi.hpp"

class OBClass;
class OBInterface;
class Vector;
class Kelbor;
class KelborComponent;
struct qxArray_tag;

// The component behind an instance, or null for null or detached instances
// and for instances of classes whose objects are no components.
KELBOR_API KelborComponent* componentOf(const OBInterface* instance);
// Marks a class of the engine whose instances hold something other than a
// component (the map object), so that componentOf answers null for them.
KELBOR_API void registerNonComponentClass(const OBClass* cls);

// False for a null or empty vector; otherwise true when the component behind
// any element has exactly that name.
KELBOR_API bool isNameInOBIVector(const Vector* vector, const std::string& name);
// Creates a vector (newHandleVector) when none is given; appends the
// instance with an external reference when it is not yet there.  Returns
// the vector.
KELBOR_API Vector* addUniqueToOBIVector(OBInterface* instance, Vector* vector);
// The component's type keyword; null for a null instance, one without a
// component, or one whose class is not in the "Kestrion" application.
KELBOR_API const char* getKestrionObjectType(const OBInterface* instance);
// The component's kind; kstr::not_a_component (15) in the same cases.
KELBOR_API kstr::bcomptype getKestrionObjectEnumType(const OBInterface* instance);
// The ancestor of the component's instance just below stop (or the recorded
// parent itself when it is the stop instance); see the tree walk in the .cpp.
KELBOR_API OBInterface* findTopAncestorBelow(OBInterface* stop, OBInterface* instance);
KELBOR_API void addObjectBelow(OBInterface* instance, OBInterface* parent);
// True when every class of the "Kestrion" application that has the
// property is accepted by isOwn.  The host's "find" and "kstrselect" ask
// every object by property; the engine answers such a query from its own
// links only while no other class could match.  The answer is kept per
// property until the application gains a class.
KELBOR_API bool onlyOwnClassesHaveProperty(const char* property, bool (*isOwn)(const OBClass*));
// True when the ancestor is above the instance in the host tree (the
// instance itself does not count); false for null arguments.
KELBOR_API bool isInstanceBelow(const OBInterface* instance, const OBInterface* ancestor);
// Adds when absent and takes an external reference.
KELBOR_API void addToHandleVector(OBInterface* instance, Vector* vector);
// Removes when present and releases that reference; a null vector is ignored.
KELBOR_API void removeFromHandleVector(OBInterface* instance, Vector* vector);
// The same for a vector that the owner instance holds.  While the owner is
// being destroyed every member goes with it, so the first member to leave
// empties the whole vector and releases every member's reference at once:
// destroying a tree then costs one pass per vector instead of one shift of
// the remaining members per member.  A null owner is never being destroyed.
KELBOR_API void leaveOwnedHandleVector(OBInterface* owner, OBInterface* instance, Vector* vector);
// Appends without taking a reference.
KELBOR_API void appendToHandleVector(OBInterface* instance, Vector* vector);
// Empties the vector without releasing anything; a null vector is ignored.
KELBOR_API void clearHandleVector(Vector* vector);
// A new empty vector with the engine's member index (HandleVector.hpp); the
// engine keeps its lists of handles in these.
KELBOR_API Vector* newHandleVector();
KELBOR_API void deleteHandleVector(Vector* vector);
// Sends the post-set event of the property to the instance's listeners, as
// the internal client.  Nothing for a null instance.
KELBOR_API void notifyPropertyPostSet(OBInterface* instance, const char* propertyName,
                                      const void* value);
// The model behind the nearest instance of class "Model" at or above the
// instance; null when there is none.
KELBOR_API Kelbor* getEnclosingModel(const OBInterface* instance);
// The model behind the top of the instance's branch of the host tree (the
// instance just below the root, or the highest one when the branch hangs
// below nothing): the top-level model whose configuration sets hold the
// states of every model below it.  Null when that top is not a model or is
// being destroyed.
KELBOR_API Kelbor* getTopLevelModel(const OBInterface* instance);

// True when the model at or above the instance is in the middle of a
// rename (the delete guards then refuse, so that the rename never runs on
// freed components).
KELBOR_API bool isEnclosingModelRenaming(const OBInterface* instance);

// Trims blanks (the space character only).  Returns the input when there is
// nothing to trim, a shared empty text when it is all blanks, otherwise a
// new copy (std::bad_alloc when host memory runs out); give it back with
// releaseTrimmedCopy.
KELBOR_API const char* trimSpacesCopy(const char* text);
KELBOR_API void releaseTrimmedCopy(const char* input, const char* trimmed);
// The text of a host string with white space trimmed; "" for null.
KELBOR_API std::string qxArrayToTrimmedString(const qxArray_tag* array);
KELBOR_API std::string makeStringFromCString(const char* text);

// A host text that may or may not be owned by its holder.
struct OwnedHostCString {
  bool owns = false;
  char* text = nullptr;
};
KELBOR_API void releaseOwnedHostCString(OwnedHostCString& holder);

// The arguments of a host call (texts and object handles), made one by one
// and destroyed together.  When one cannot be made (memory running out),
// those made before are destroyed and the error passes on.
class KELBOR_API HostCallArgs {
 public:
  struct Arg {
    Arg(const char* text) : text(text) {}               // NOLINT: a text argument
    Arg(OBInterface* handle) : handle(handle) {}        // NOLINT: a handle argument
    const char* text = nullptr;
    OBInterface* handle = nullptr;
  };
  HostCallArgs(std::initializer_list<Arg> args);
  ~HostCallArgs();
  HostCallArgs(const HostCallArgs&) = delete;
  HostCallArgs& operator=(const HostCallArgs&) = delete;
  qxArray_tag** data() { return arrays_.data(); }
  int size() const { return static_cast<int>(arrays_.size()); }

 private:
  std::vector<qxArray_tag*> arrays_;
};
