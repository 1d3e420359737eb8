#include "core/InUseCountEvents.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <map>
#include <set>

#include <obk/OBTypes.hpp>
#include <sv/sv.hpp>

#include "core/KelborComponent.hpp"

using javabridge::JavaMember;
using javabridge::JavaRef;
using javabridge::lookUpConstructor;
using javabridge::postJavaEvent;
using javabridge::toJava;

namespace {

// The unused components of one model.
struct UnusedComponentRecord {
  // Compartment host handle -> its species whose count is 0.
  std::map<OBInterface*, std::set<const KelborComponent*>> unusedSpecies;
  std::set<const KelborComponent*> unusedParameters;
};

// The events that report unused components, looked up once for every model.
struct UnusedComponentEventClasses {
  UnusedComponentEventClasses()
      : species(lookUpConstructor("kestridesk.eventqueue.ModelCompartmentUnusedSpecies",
                                  "(Ljpiroot/bean/OBKObject;Ljpiroot/bean/OBKObject;I)V")),
        parameters(lookUpConstructor("kestridesk.eventqueue.ModelUnusedParameters",
                                     "(Ljpiroot/bean/OBKObject;I)V")),
        handleType(OBTypeRepository::getType("handle")) {}

  JavaMember species;
  JavaMember parameters;
  const OBDataType* handleType;
};

const UnusedComponentEventClasses& unusedEventClasses() {
  static const UnusedComponentEventClasses classes;
  return classes;
}

// Model host handle -> its record.  Never destroyed: records may be used
// from other static destructors.
std::map<OBInterface*, UnusedComponentRecord>& unusedComponentMap() {
  static auto* map = new std::map<OBInterface*, UnusedComponentRecord>;
  return *map;
}

int javaCount(size_t n) {
  return static_cast<int>(std::min<size_t>(n, std::numeric_limits<int>::max()));
}

void postUnusedSpecies(OBInterface* modelHandle, const UnusedComponentRecord& record) {
  const UnusedComponentEventClasses& classes = unusedEventClasses();
  if (!classes.species.found()) return;
  JavaRef model = toJava(classes.handleType, modelHandle);
  for (const auto& [compartmentHandle, species] : record.unusedSpecies) {
    JavaRef compartment = toJava(classes.handleType, compartmentHandle);
    postJavaEvent(classes.species, model.get(), compartment.get(), javaCount(species.size()));
  }
}

void postUnusedParameters(OBInterface* modelHandle, const UnusedComponentRecord& record) {
  const UnusedComponentEventClasses& classes = unusedEventClasses();
  if (!classes.parameters.found()) return;
  JavaRef model = toJava(classes.handleType, modelHandle);
  postJavaEvent(classes.parameters, model.get(), javaCount(record.unusedParameters.size()));
}

// Step 2 of postInUseCountEvent; answers whether a set changed.
bool updateUnusedSets(UnusedComponentRecord& record, const KelborComponent* component,
                      uint64_t count) {
  bool unused = count == 0;
  switch (component->getEnumType()) {
    case kstr::parameter: {
      auto& set = record.unusedParameters;
      return unused ? set.insert(component).second : set.erase(component) != 0;
    }
    case kstr::species: {
      auto& set = record.unusedSpecies[component->getOBIParent()];
      return unused ? set.insert(component).second : set.erase(component) != 0;
    }
    case kstr::compartment:
      if (count == InUseCountJavaHelper::kDeletedCount) {
        record.unusedSpecies.erase(component->getOBI());
      }
      return false;
    default:
      return false;
  }
}

}  // namespace

InUseCountJavaHelper::InUseCountJavaHelper()
    : event_(lookUpConstructor("kestridesk.eventqueue.InUseCountEvent",
                               "(Ljpiroot/bean/OBKObject;Ljava/lang/Integer;)V")),
      handleType_(OBTypeRepository::getType("handle")),
      intType_(OBTypeRepository::getType("int")) {}

void InUseCountJavaHelper::postInUseCountEvent(const KelborComponent* component,
                                               OBInterface* modelHandle, uint64_t count) const {
  if (component == nullptr || !svJavaUseJVM()) return;
  UnusedComponentRecord& record = unusedComponentMap()[modelHandle];
  if (updateUnusedSets(record, component, count)) {
    if (component->getEnumType() == kstr::parameter) {
      postUnusedParameters(modelHandle, record);
    } else {
      postUnusedSpecies(modelHandle, record);
    }
  }
  if (count == kDeletedCount || !event_.found()) return;
  auto value = static_cast<int32_t>(
      std::min<uint64_t>(count, static_cast<uint64_t>(std::numeric_limits<int32_t>::max())));
  JavaRef handle = toJava(handleType_, component->getOBI());
  JavaRef integer = toJava(intType_, &value);
  postJavaEvent(event_, handle.get(), integer.get());
}

void InUseCountJavaHelper::release() {
  javabridge::releaseClass(event_.cls);
  event_ = JavaMember{};
}

const InUseCountJavaHelper* getInUseCountEventClass() {
  if (!svIsJavaEnabled()) return nullptr;
  static const InUseCountJavaHelper helper;
  return &helper;
}

void sendUnusedComponentEvents(OBInterface* modelHandle) {
  if (!svJavaUseJVM()) return;
  const UnusedComponentRecord& record = unusedComponentMap()[modelHandle];
  postUnusedSpecies(modelHandle, record);
  postUnusedParameters(modelHandle, record);
}

void forgetModelUnusedComponentEvents(OBInterface* modelHandle) {
  unusedComponentMap().erase(modelHandle);
}
