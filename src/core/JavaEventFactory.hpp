// The desktop event factory: announces created and destroyed objects, added
// children and abstract kinetic laws to the desktop.  Each source file that
// posts such events has its own factory (javaEventFactory below), made on
// its first post while the host runs its Java machine.
#pragma once

#include <sv/sv.hpp>

#include "core/JavaEvents.hpp"
#include "core/KelborApi.hpp"

class OBInterface;

class KELBOR_API JavaEventFactory {
 public:
  // Looks up "kestridesk.eventqueue.OBKToJavaEvent" with its three
  // constructors, "kestridesk.eventqueue.AbstractKineticLawJavaEvent" with
  // its two, and the "string" and "handle" converters.  A class or
  // constructor the bridge does not know stays empty; the posts that need
  // it then do nothing.  Makes Java calls: construct only while the host
  // runs its Java machine.
  JavaEventFactory();
  JavaEventFactory(const JavaEventFactory&) = delete;
  JavaEventFactory& operator=(const JavaEventFactory&) = delete;
  // Keeps the class references (see release).
  ~JavaEventFactory() = default;

  // Every post does nothing while the host runs no Java machine.  Handles
  // become the desktop's OBKObject (a null handle stays null); a null text
  // is sent as "".  The event is created and its reference given back at
  // once, as is every converted argument.

  // "OBKToJavaEvent" (class name, object name, parent, object).
  void postObjectDestroyedEvent(OBInterface* parent, OBInterface* object, const char* className,
                                const char* name) const;
  // "OBKToJavaEvent" (parent, child, keyword); a top-level model is
  // announced with a null parent.
  void postChildAddedEvent(OBInterface* parent, OBInterface* child, const char* keyword) const;
  // "OBKToJavaEvent" (object, class name, text).
  void postObjectCreatedEvent(OBInterface* object, const char* className, const char* text) const;
  // "AbstractKineticLawJavaEvent" (law, first text, second text).
  void postKineticLawEvent(OBInterface* law, const char* first, const char* second) const;
  // "AbstractKineticLawJavaEvent" (text).
  void postKineticLawNameEvent(const char* text) const;
  // Gives back the two class references; later posts do nothing.  A second
  // call does nothing.
  void release();

 private:
  jclass objectEventClass_ = nullptr;
  jclass lawEventClass_ = nullptr;
  javabridge::JavaMember destroyed_;
  javabridge::JavaMember childAdded_;
  javabridge::JavaMember created_;
  javabridge::JavaMember lawEvent_;
  javabridge::JavaMember lawNameEvent_;
  const OBDataType* string_ = nullptr;
  const OBDataType* handle_ = nullptr;
};

namespace {

// The factory of the including source file: made on the first call while
// the host runs its Java machine and kept for the life of the library.
// Null (and no Java call made) while the host runs none.
[[maybe_unused]] inline JavaEventFactory* javaEventFactory() {
  if (!svJavaUseJVM()) return nullptr;
  static JavaEventFactory factory;
  return &factory;
}

}  // namespace
