// Instances of host classes.  An instance joins a component object (owned
// by the system) to its class-definition object, sits in the object tree
// and is counted by references.
//
// References: a new instance has one (its creator's).  The tree holds one
// for each parented instance; host handle arrays hold one per element.
// When the count reaches 0, an instance that is neither destroyed nor
// parented is destroyed (hooks run, no guard) and freed; a destroyed one is
// freed.
//
// States: 0 created, 1 active, 2 being destroyed, 3 destroyed.  Property
// access, tree changes and method calls on a destroyed instance raise
// "obk:InvalidObject".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "pellam_api.hpp"

class OBClass;
class OBDatabaseClient;
class OBErrorStatus;
class OBPropertySetEvent;
class OBPropInfo;

class PELLAM_API OBInterface {
 public:
  enum State : int { Created = 0, Active = 1, BeingDestroyed = 2, Destroyed = 3 };

  // One reference (the creator's), state 0, no parent.  Null class: raises
  // "obk:InvalidClass".
  OBInterface(void* component, OBClass* cls, void* db = nullptr);
  OBInterface(const OBInterface&) = delete;
  OBInterface& operator=(const OBInterface&) = delete;

  OBClass* getClass() const noexcept { return cls_; }
  // The component object (null once destroyed or detached).
  void* getComponentObject() const noexcept { return component_; }
  void setComponentObject(void* component) noexcept { component_ = component; }
  void* getDatabase() const noexcept { return db_; }

  // --- tree ----------------------------------------------------------------
  // Appends this instance as the last child of parent (detaching it first;
  // the same parent moves it to the end).  The tree holds one reference.
  // addBelow(nullptr) detaches and drops that reference (which may free the
  // instance).  Never runs a property setter.  A parent inside this
  // instance's own subtree raises "obk:InvalidParent"; a destroyed instance
  // or parent raises "obk:InvalidObject".
  void addBelow(OBInterface* parent);
  OBInterface* getUp() const noexcept { return parent_; }
  OBInterface* getFirstChild() const noexcept { return firstChild_; }
  OBInterface* getLastChild() const noexcept { return lastChild_; }
  OBInterface* getRight() const noexcept { return next_; }  // next sibling
  OBInterface* getLeft() const noexcept { return prev_; }
  size_t getNumChildren() const noexcept { return childCount_; }
  std::vector<OBInterface*> getChildren() const;

  // --- references ----------------------------------------------------------
  void getReference() noexcept { ++refs_; }
  void getExternalReference() noexcept {
    ++refs_;
    ++extRefs_;
  }
  // Drops one external reference (and the reference it counts).  Without an
  // external reference outstanding: ignored.
  void releaseExternalReference();
  // Drops one reference; at 0 see the file comment.
  void releaseReference();
  int getReferenceCount() const noexcept { return refs_; }
  int getExternalReferenceCount() const noexcept { return extRefs_; }

  // --- life cycle ----------------------------------------------------------
  int getState() const noexcept { return state_; }
  bool isBeingDestroyed() const noexcept { return state_ >= BeingDestroyed; }
  bool isValid() const noexcept { return state_ < Destroyed; }
  void activate() noexcept;            // state 0 -> 1
  void internalToExternal() noexcept;  // state 0 -> 1
  // Destroys the instance and its subtree:
  //  1. already being destroyed or destroyed: returns state == 3;
  //  2. the class's isOkToDestroy refuses: returns false, nothing changes;
  //  3. marks the subtree state 2, top-down;
  //  4. destroys the children post-order in insertion order (a child's
  //     refusing guard is recorded as a diagnostic and overridden);
  //  5. runs the class's destroyInstance with the parent link in place (an
  //     error leaving a hook is recorded as a diagnostic, not raised);
  //  6. detaches, clears the component pointer, state 3.
  bool destroy(OBDatabaseClient* client);
  // Raises "obk:InvalidObject" when the instance is destroyed.
  void checkValid() const;

  // --- properties ----------------------------------------------------------
  // The class's property of that name (ignoring case), or null.
  OBPropInfo* getProperty(std::string_view name) const noexcept;
  // Reads a property: access check for the client ("obk:PropertyAccessDenied"),
  // then the property info's getValue.  The value goes back through release.
  void* get(OBPropInfo* prop, OBDatabaseClient* client);
  // As get, errors go into status and the answer is null.
  void* getE(OBPropInfo* prop, OBDatabaseClient* client, OBErrorStatus& status);
  void release(OBPropInfo* prop, void* value, OBDatabaseClient* client);
  // Writes a native value (borrowed): access check, setValue, then the
  // post-set event.
  void set(OBPropInfo* prop, void* value, OBDatabaseClient* client);
  // Sends a property event to the listeners of the class (and its
  // superclasses) for that property, in registration order, and logs it.
  void notifyPropEvent(const OBPropertySetEvent& event, OBDatabaseClient* client);

  // A new instance of the same class (one reference, the caller's), made
  // with createInstance(client); every property that is copied, internally
  // readable and settable and not of a handle-bearing type is read here
  // (internal client), set on the copy and released.  Null values are not
  // set.  On an error the partial copy is destroyed and the error rethrown;
  // a class that makes no instance raises "obk:CannotCopy".
  OBInterface* copy(OBDatabaseClient* client);

  // Number of instances alive in the process (test API).
  static size_t liveCount() noexcept;

 private:
  ~OBInterface();
  void detach();
  void markSubtree(int state) noexcept;
  void destroyChildren();
  void finishDestroy();
  bool isInSubtreeOf(const OBInterface* other) const noexcept;
  void checkAccess(OBPropInfo* prop, const OBDatabaseClient* client,
                   bool forSet) const;

  void* component_;
  OBClass* cls_;
  void* db_;
  int refs_ = 1;
  int extRefs_ = 0;
  int state_ = Created;
  OBInterface* parent_ = nullptr;
  OBInterface* firstChild_ = nullptr;
  OBInterface* lastChild_ = nullptr;
  OBInterface* prev_ = nullptr;
  OBInterface* next_ = nullptr;
  size_t childCount_ = 0;
};

// Test API: diagnostics recorded by destroy (a child's refusing guard).
PELLAM_API const std::vector<std::string>& obkDestroyDiagnostics();
PELLAM_API void obkClearDestroyDiagnostics();
