// Reaction-rate events: tell the desktop a reaction's kinetic-law name and
// rate text, while desktop listeners for them are registered.
#pragma once

#include "core/JavaEvents.hpp"
#include "core/KelborApi.hpp"

class OBInterface;

// "kestridesk.eventqueue.ReactionRateEventSource" with its static method
// "getAreListenersRegistered", "kestridesk.eventqueue.ReactionRateEvent"
// with its constructor, and the "string" and "handle" converters.
struct KELBOR_API ReactionRateEventClass {
  // Looks everything up (Java calls); unknown members stay empty.
  ReactionRateEventClass();
  // Gives back the class references; the cache then finds no listener and
  // posts nothing.
  void release();

  javabridge::JavaMember source;  // method: the static query
  javabridge::JavaMember event;
  const OBDataType* stringType = nullptr;
  const OBDataType* handleType = nullptr;
};

// The process-wide cache, made on the first request while the host runs its
// Java machine.  Null (and no Java call made) while it runs none; the
// request is then repeated next time.
KELBOR_API const ReactionRateEventClass* getReactionRateEventClass();

// True when the desktop answers that reaction-rate listeners are
// registered.  False for a null cache, a missing class or method, or while
// the host runs no Java machine.
KELBOR_API bool areReactionRateListenersRegistered(const ReactionRateEventClass* cache);

// Posts "ReactionRateEvent" (reaction, law name, rate text); null texts are
// sent as "".  Nothing for a null cache, a missing class or constructor, or
// while the host runs no Java machine.  Does not ask about listeners.
KELBOR_API void postReactionRateEvent(const ReactionRateEventClass* cache, OBInterface* reaction,
                                      const char* lawName, const char* rate);

// What the reaction's rate notification and the kinetic law's name setter
// do: only while the host runs its Java machine and listeners are
// registered, postReactionRateEvent on the process-wide cache.
KELBOR_API void notifyReactionRateListeners(OBInterface* reaction, const char* lawName,
                                            const char* rate);
