#include "quantities/QuantityHostSupport.hpp"

#include <cmath>

#include <ks_utils/Errors.hpp>

#include <cstring>
#include <strings.h>

#include <ks_utils/Identifiers.hpp>

#include "core/HostBoundary.hpp"
#include "core/JavaEventFactory.hpp"
#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"

namespace kstr::quantityhost {

void raise(const char* id, kstr::MessageCode message) { kstr_error(id, kstr::code(message)); }

LeadingNumber readLeadingNumber(int argc, qxArray* const args[],
                                bool (*startsValue)(bool scalar, double value),
                                bool (*isValid)(bool scalar, double value), const char* id,
                                kstr::MessageCode message) {
  LeadingNumber result;
  result.pairsStart = argc;
  if (argc < 2) return result;
  const bool scalar = isScalarDouble(args[1]);
  const double value = scalar ? qxGetScalar(args[1]) : std::nan("");
  if (argc > 2 && !startsValue(scalar, value)) {
    result.pairsStart = 1;
    return result;
  }
  if (!isValid(scalar, value)) raise(id, message);
  result.present = true;
  result.value = value;
  result.pairsStart = 2;
  return result;
}

const char* const kUserDataHelp =
    "Property to specify data that you want to associate with\n"
    "   a Kestrion object. The object does not use this data directly,\n"
    "   but you can access it using the function get or dot notation.";
const char* const kFullIdPathHelp = "Get a underscore delimeted path to top model.";
const char* const kUnsupportedHelp = "This is an unsupported property and should not be used.";

namespace {

const OBInterface* discarding = nullptr;

bool namesProperty(const qxArray* text, const char* name) {
  return text && qxIsChar(text) && strcasecmp(qxArrayToStdString(text).c_str(), name) == 0;
}

bool structNamesProperty(const qxArray* s, const char* name) {
  for (int f = 0; f < qxGetNumberOfFields(s); ++f) {
    if (strcasecmp(qxGetFieldNameByNumber(s, f), name) == 0) return true;
  }
  return false;
}

bool cellNamesProperty(const qxArray* c, const char* name) {
  const size_t n = qxGetNumberOfElements(c);
  for (size_t i = 0; i < n; i += 2) {
    if (namesProperty(qxGetCell(c, i), name)) return true;
  }
  return false;
}

}  // namespace

bool isScalarDouble(const qxArray* array) {
  return array && qxIsDouble(array) && !qxIsComplex(array) && !qxIsSparse(array) &&
         qxGetNumberOfDimensions(array) == 2 && qxGetM(array) == 1 && qxGetN(array) == 1;
}

bool isText(const qxArray* array) { return array && qxIsChar(array); }

bool findPropertyName(int argc, qxArray* const args[], int first, const char* name) {
  for (int i = first; i < argc; ++i) {
    const qxArray* a = args[i];
    if (!a) continue;
    if (qxIsChar(a) && namesProperty(a, name)) return true;
    if (qxIsStruct(a) && structNamesProperty(a, name)) return true;
    if (qxIsCell(a) && cellNamesProperty(a, name)) return true;
  }
  return false;
}

void discardNewInstance(OBInterface* instance) {
  if (!instance) return;
  const OBInterface* previous = discarding;
  discarding = instance;
  try {
    instance->destroy(OBDatabaseClient::getInternalClient());
  } catch (...) {
    discarding = previous;
    instance->releaseReference();
    throw;
  }
  discarding = previous;
  instance->releaseReference();
}

void applyPairsOrDiscard(OBInterface* instance, int argc, int first, qxArray* const args[]) {
  std::string error;
  try {
    error = applyPropertyValuePairs(instance, argc, first, args);
  } catch (...) {
    discardNewInstance(instance);  // memory ran out before the pairs were applied
    throw;
  }
  if (error.empty()) return;
  discardNewInstance(instance);
  kstr_error_str("Kestrion:KSTR_INVALID_PVPAIR", kstr::code(kstr::MessageCode::KS_INVALID_PVPAIR_MSG), error);
}

bool isBeingDiscarded(const OBInterface* instance) {
  return instance && instance == discarding;
}

bool isTreeBeingDestroyed(const OBInterface* instance) {
  for (const OBInterface* current = instance; current; current = current->getUp()) {
    if (current->isBeingDestroyed()) return true;
  }
  return false;
}

bool isRootInstance(const OBInterface* instance) {
  return instance && std::strcmp(instance->getClass()->getName(), "Root") == 0;
}

OBInterface* topAncestorBelowRoot(const OBInterface* instance) {
  const KelborComponent* component = componentOf(instance);
  OBInterface* current = component ? component->getOBIParent() : nullptr;
  OBInterface* last = nullptr;
  // A cycle of recorded parents cannot arise through the tree code; the
  // bound keeps a damaged chain from looping.
  for (int steps = 0; current && !isRootInstance(current) && steps < 1 << 20; ++steps) {
    last = current;
    const KelborComponent* behind = componentOf(current);
    current = behind ? behind->getOBIParent() : nullptr;
  }
  return last;
}

void postObjectCreated(OBInterface* instance, const char* className, const char* text) {
  if (const JavaEventFactory* factory = javaEventFactory()) {
    factory->postObjectCreatedEvent(instance, className, text);
  }
}

void postObjectDestroyed(OBInterface* parent, OBInterface* instance, const char* className,
                         const char* name) {
  if (const JavaEventFactory* factory = javaEventFactory()) {
    factory->postObjectDestroyedEvent(parent, instance, className, name);
  }
}

void releaseUserData(KelborComponent* component) {
  if (!component || !component->getUserData()) return;
  OBTypeRepository::getType("PELLAM array")->release(component->getUserData());
  component->setUserData(nullptr);
}

}  // namespace kstr::quantityhost

namespace qh = kstr::quantityhost;

namespace {

using A = Access;

const ComponentPropRow kFullIdPathRow{
    "FullIdPathToTopModel", "string", qh::kFullIdPathHelp, A::No, A::No, A::No, A::No, A::No};
const ComponentPropRow kDisplayQualifiedNameRow{
    "DisplayQualifiedName", "string", qh::kUnsupportedHelp, A::No, A::No, A::No, A::No, A::No};
const ComponentPropRow kFullyQualifiedNameRow{
    "FullyQualifiedName", "string", "", A::No, A::No, A::No, A::No, A::No};

// Prepends one segment to the dotted name.
void prependSegment(std::string& out, const std::string& segment) {
  out = out.empty() ? segment : segment + "." + out;
}

std::string bracketedUnlessIdentifier(const std::string& name) {
  return isValidPELLAMIdentifier(name) ? name : "[" + name + "]";
}

// The segment a kinetic law's reaction contributes.
std::string reactionSegment(const OBInterface* reactionInstance) {
  const KelborComponent* reaction = componentOf(reactionInstance);
  if (!reaction) return "UnnamedReaction";
  if (!reaction->getName().empty()) return bracketedUnlessIdentifier(reaction->getName());
  const OBInterface* above = reactionInstance->getUp();
  if (above && !qh::isRootInstance(above)) return reaction->getDefaultName();
  return "UnnamedReaction";
}

}  // namespace

Quantity_UserDataPIT::Quantity_UserDataPIT() { setDescription(qh::kUserDataHelp); }

ModelComponent_FullIdPathToTopModel_PIT::ModelComponent_FullIdPathToTopModel_PIT()
    : ComponentPropInfo(kFullIdPathRow) {}
void* ModelComponent_FullIdPathToTopModel_PIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return const_cast<char*>(component(inst)->getIdWithFullPathToTopModel());
}
void ModelComponent_FullIdPathToTopModel_PIT::setValue(OBDatabaseClient*, OBInterface*, void*) {}

ModelComponent_DisplayQualifiedNamePIT::ModelComponent_DisplayQualifiedNamePIT()
    : ComponentPropInfo(kDisplayQualifiedNameRow) {}
void* ModelComponent_DisplayQualifiedNamePIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  std::string dqn;
  component(inst)->getDQN(dqn);
  return hostTextCopy(dqn.c_str());
}
void ModelComponent_DisplayQualifiedNamePIT::setValue(OBDatabaseClient*, OBInterface*, void*) {}
void ModelComponent_DisplayQualifiedNamePIT::releaseValue(OBDatabaseClient*, OBInterface*,
                                                          void* value) {
  hbFree(value);
}

Quantity_FullyQualifiedName_PIT::Quantity_FullyQualifiedName_PIT()
    : ComponentPropInfo(kFullyQualifiedNameRow) {}
void* Quantity_FullyQualifiedName_PIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  component(inst);
  std::string fqn;
  fillParameterFullyQualifiedName(inst, fqn);
  return hostTextCopy(fqn.c_str());
}
void Quantity_FullyQualifiedName_PIT::setValue(OBDatabaseClient*, OBInterface*, void*) {}
void Quantity_FullyQualifiedName_PIT::releaseValue(OBDatabaseClient*, OBInterface*,
                                                   void* value) {
  hbFree(value);
}

void fillParameterFullyQualifiedName(OBInterface* instance, std::string& out) {
  out.clear();
  const OBInterface* current = instance;
  while (current && !qh::isRootInstance(current)) {
    const KelborComponent* component = componentOf(current);
    if (!component) break;
    if (component->getEnumType() != kstr::kineticlaw) {
      prependSegment(out, bracketedUnlessIdentifier(component->getName()));
      current = current->getUp();
      continue;
    }
    const OBInterface* reaction = current->getUp();
    if (!reaction) break;
    prependSegment(out, reactionSegment(reaction));
    current = reaction->getUp();
  }
}
