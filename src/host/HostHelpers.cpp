#include "host/HostHelpers.hpp"

#include <cstring>
#include <map>
#include <set>

#include <ks_utils/StringHelpers.hpp>

#include "core/Application.hpp"
#include "core/KelborComponent.hpp"
#include "host/HandleVector.hpp"
#include "host/Host.hpp"
#include "model/Kelbor.hpp"

namespace {

const char kApplicationName[] = "Kestrion";
char kSharedEmptyText[] = "";

bool isKestrionClass(const OBClass* cls) {
  return cls && cls->getApplication() &&
         std::strcmp(cls->getApplication()->getName(), kApplicationName) == 0;
}

}  // namespace

static std::set<const OBClass*>& nonComponentClasses() {
  static std::set<const OBClass*> classes;
  return classes;
}

void registerNonComponentClass(const OBClass* cls) { nonComponentClasses().insert(cls); }

KelborComponent* componentOf(const OBInterface* instance) {
  if (!instance || nonComponentClasses().count(instance->getClass())) return nullptr;
  return static_cast<KelborComponent*>(instance->getComponentObject());
}

bool isNameInOBIVector(const Vector* vector, const std::string& name) {
  if (!vector) return false;
  for (OBInterface* element : publishedHandleVector(vector)->elements()) {
    const KelborComponent* component = componentOf(element);
    if (component && component->getName() == name) return true;
  }
  return false;
}

Vector* addUniqueToOBIVector(OBInterface* instance, Vector* vector) {
  if (!vector) vector = newHandleVector();
  if (!handleVectorHolds(vector, instance)) {
    instance->getExternalReference();
    appendToHandleVector(instance, vector);
  }
  return vector;
}

const char* getKestrionObjectType(const OBInterface* instance) {
  const KelborComponent* component = componentOf(instance);
  if (!component || !isKestrionClass(instance->getClass())) return nullptr;
  return component->getType();
}

kstr::bcomptype getKestrionObjectEnumType(const OBInterface* instance) {
  const KelborComponent* component = componentOf(instance);
  if (!component || !isKestrionClass(instance->getClass())) return kstr::not_a_component;
  return component->getEnumType();
}

OBInterface* findTopAncestorBelow(OBInterface* stop, OBInterface* instance) {
  const KelborComponent* component = componentOf(instance);
  OBInterface* current = component ? component->getOBIParent() : nullptr;
  if (current == stop) return current;
  OBInterface* last = current;
  while (current && current != stop) {
    last = current;
    const KelborComponent* behind = componentOf(current);
    current = behind ? behind->getOBIParent() : nullptr;
  }
  return last;
}

void addObjectBelow(OBInterface* instance, OBInterface* parent) { instance->addBelow(parent); }

bool onlyOwnClassesHaveProperty(const char* property, bool (*isOwn)(const OBClass*)) {
  struct Answer {
    size_t classCount = 0;
    bool own = true;
  };
  static std::map<std::string, Answer> answers;
  const OBApplication* application = GetQuorvApplication();
  if (!application) return false;
  const std::vector<OBClass*>& classes = application->getClasses();
  auto found = answers.find(property);
  if (found != answers.end() && found->second.classCount == classes.size()) return found->second.own;
  bool own = true;
  for (const OBClass* cls : classes) {
    if (cls->getProperty(property) && !isOwn(cls)) own = false;
  }
  answers[property] = Answer{classes.size(), own};
  return own;
}

bool isInstanceBelow(const OBInterface* instance, const OBInterface* ancestor) {
  if (!instance || !ancestor) return false;
  for (const OBInterface* up = instance->getUp(); up; up = up->getUp()) {
    if (up == ancestor) return true;
  }
  return false;
}

void addToHandleVector(OBInterface* instance, Vector* vector) {
  if (!vector || handleVectorHolds(vector, instance)) return;
  appendToHandleVector(instance, vector);
  instance->getExternalReference();
}

void removeFromHandleVector(OBInterface* instance, Vector* vector) {
  if (!vector) return;
  HandleVector* indexed = indexedHandleVector(vector);
  if (!(indexed ? indexed->remove(instance) : vector->removeElement(instance))) return;
  instance->releaseExternalReference();
}

void leaveOwnedHandleVector(OBInterface* owner, OBInterface* instance, Vector* vector) {
  if (!owner || !owner->isBeingDestroyed()) {
    removeFromHandleVector(instance, vector);
    return;
  }
  if (!handleVectorHolds(vector, instance)) return;
  const std::vector<OBInterface*> members = publishedHandleVector(vector)->elements();
  clearHandleVector(vector);
  for (OBInterface* member : members) {
    if (member) member->releaseExternalReference();
  }
}

void appendToHandleVector(OBInterface* instance, Vector* vector) {
  if (HandleVector* indexed = indexedHandleVector(vector)) {
    indexed->append(instance);
  } else {
    vector->addElement(instance);
  }
}

void clearHandleVector(Vector* vector) {
  if (HandleVector* indexed = indexedHandleVector(vector)) {
    indexed->clear();
  } else if (vector) {
    vector->removeAllElements();
  }
}

Vector* newHandleVector() { return new HandleVector(); }

void deleteHandleVector(Vector* vector) { delete vector; }

void notifyPropertyPostSet(OBInterface* instance, const char* propertyName, const void* value) {
  if (!instance) return;
  OBPropInfo* prop = instance->getProperty(propertyName);
  OBPropertySetEvent event(prop, instance, OBPropInfo::propertyPostSetEvent(),
                           const_cast<void*>(value));
  instance->notifyPropEvent(event, OBDatabaseClient::getInternalClient());
}

Kelbor* getEnclosingModel(const OBInterface* instance) {
  for (const OBInterface* current = instance; current; current = current->getUp()) {
    if (std::strcmp(current->getClass()->getName(), "Model") == 0) {
      return static_cast<Kelbor*>(componentOf(current));
    }
  }
  return nullptr;
}

Kelbor* getTopLevelModel(const OBInterface* instance) {
  const OBInterface* top = instance ? instance->getUp() : nullptr;
  if (!top) return nullptr;
  while (top->getUp() && std::strcmp(top->getUp()->getClass()->getName(), "Root") != 0) top = top->getUp();
  if (top->isBeingDestroyed() || std::strcmp(top->getClass()->getName(), "Model") != 0) return nullptr;
  return static_cast<Kelbor*>(componentOf(top));
}

bool isEnclosingModelRenaming(const OBInterface* instance) {
  const Kelbor* model = getEnclosingModel(instance);
  return model != nullptr && model->isPropagatingRename();
}

const char* trimSpacesCopy(const char* text) {
  if (!text) return text;
  size_t length = std::strlen(text);
  size_t begin = 0;
  while (begin < length && text[begin] == ' ') ++begin;
  if (begin == length) return length == 0 ? text : kSharedEmptyText;
  size_t end = length;
  while (end > begin && text[end - 1] == ' ') --end;
  if (begin == 0 && end == length) return text;
  char* copy = static_cast<char*>(hbCallocWithCheck(end - begin + 1, 1));
  std::memcpy(copy, text + begin, end - begin);
  return copy;
}

void releaseTrimmedCopy(const char* input, const char* trimmed) {
  if (!trimmed || trimmed == input || trimmed == kSharedEmptyText) return;
  hbFree(const_cast<char*>(trimmed));
}

std::string qxArrayToTrimmedString(const qxArray_tag* array) {
  std::string text = array ? qxArrayToStdString(array) : std::string();
  STDStringHelpers::trimWhitespace(text);
  return text;
}

std::string makeStringFromCString(const char* text) { return text ? std::string(text) : std::string(); }

void releaseOwnedHostCString(OwnedHostCString& holder) {
  if (holder.text && holder.owns) qxFreeEx(holder.text);
  holder.text = nullptr;
}

HostCallArgs::HostCallArgs(std::initializer_list<Arg> args) {
  arrays_.reserve(args.size());
  try {
    for (const Arg& arg : args) {
      arrays_.push_back(arg.text ? qxCreateString(arg.text) : OBTypeRepository::getType("handle")->toHost(arg.handle));
    }
  } catch (...) {
    for (qxArray* array : arrays_) qxDestroyArray(array);
    throw;
  }
}

HostCallArgs::~HostCallArgs() {
  for (qxArray* array : arrays_) qxDestroyArray(array);
}
