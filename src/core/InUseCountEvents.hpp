// In-use counts and the unused species and parameters of each model.  A
// model's in-use callback posts every change of a component's count to the
// desktop; the bridge keeps, per model host handle, the species of each
// compartment and the parameters whose count is 0, and posts their numbers.
#pragma once

#include <cstdint>

#include "core/JavaEvents.hpp"
#include "core/KelborApi.hpp"

class KelborComponent;
class OBInterface;

class KELBOR_API InUseCountJavaHelper {
 public:
  // The count that tells that the component was deleted (2^32 - 1).
  static constexpr uint64_t kDeletedCount = 4294967295u;

  // Looks up "kestridesk.eventqueue.InUseCountEvent" and its constructor
  // (Java calls), and takes the "handle" and "int" converters.  Unknown
  // members stay empty and their events are not posted.
  InUseCountJavaHelper();
  InUseCountJavaHelper(const InUseCountJavaHelper&) = delete;
  InUseCountJavaHelper& operator=(const InUseCountJavaHelper&) = delete;

  // One change of a component's in-use count (the model's in-use callback;
  // the model passes its host handle at each call):
  //  1. finds or creates the model's unused-component record;
  //  2. count 0: a parameter joins the unused parameters, a species the
  //     unused species of its compartment (keyed by its host parent
  //     handle).  Any other count: a parameter or species leaves its set (the
  //     compartment's entry is created when missing); kDeletedCount also
  //     drops a compartment's entry;
  //  3. when a set changed: "ModelUnusedParameters" (model, number) for a
  //     parameter, or "ModelCompartmentUnusedSpecies" (model, compartment,
  //     number) for every compartment entry of the model in handle order
  //     for a species;
  //  4. unless the count is kDeletedCount: "InUseCountEvent" (component,
  //     Integer of the count; counts above 2^31 - 1 are sent as 2^31 - 1).
  // Nothing at all (no bookkeeping) while the host runs no Java machine or
  // for a null component.
  void postInUseCountEvent(const KelborComponent* component, OBInterface* modelHandle,
                           uint64_t count) const;
  // Gives back the class reference; "InUseCountEvent" is then not posted.
  void release();

 private:
  javabridge::JavaMember event_;
  const OBDataType* handleType_ = nullptr;
  const OBDataType* intType_ = nullptr;
};

// The process-wide helper, made on the first request while Java is enabled
// in the host (svIsJavaEnabled).  Otherwise null, without a Java call, and
// the request is repeated next time.
KELBOR_API const InUseCountJavaHelper* getInUseCountEventClass();

// Posts "ModelCompartmentUnusedSpecies" for every compartment entry of the
// model, then "ModelUnusedParameters", creating the model's record when
// missing.  Nothing while the host runs no Java machine.
KELBOR_API void sendUnusedComponentEvents(OBInterface* modelHandle);

// Drops the model's record (no event, no Java call); an unknown handle is
// ignored.
KELBOR_API void forgetModelUnusedComponentEvents(OBInterface* modelHandle);
