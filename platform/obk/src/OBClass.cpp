#include "obk/OBClass.hpp"

#include <unordered_set>

#include "obk/OBApplication.hpp"
#include "obk/OBInterface.hpp"
#include "obk/OBMethodInfo.hpp"
#include "obk/OBPropInfo.hpp"
#include "obk_internal.hpp"

namespace {
// Bumped whenever any class's property list or superclass changes, so the
// cached full property lists know when to rebuild.
unsigned long& generation() {
  static unsigned long g = 1;
  return g;
}
}  // namespace

OBClass::OBClass() = default;
OBClass::~OBClass() = default;

void OBClass::setName(const char* name) {
  name_ = name ? name : "";
  updateFullName();
}

void OBClass::updateFullName() {
  fullName_ = app_ ? std::string(app_->getName()) + "." + name_ : name_;
}

void OBClass::setSuperClass(OBClass* super) noexcept {
  super_ = super;
  ++generation();
}

void OBClass::setDescription(const char* text) { description_ = text ? text : ""; }

void OBClass::addConstructorSignature(OBMethodSignature* sig) {
  if (sig == nullptr) return;
  ctorSigs_.emplace_back(sig);
  ctorView_.push_back(sig);
}

void OBClass::addProperty(OBPropInfo* prop) {
  if (prop == nullptr) return;
  props_.emplace_back(prop);
  prop->cls_ = this;
  propIndex_.emplace(prop->getName(), prop);
  ++generation();
}

void OBClass::addMethod(OBMethodInfo* method) {
  if (method == nullptr) return;
  methods_.emplace_back(method);
  method->cls_ = this;
  methodIndex_.emplace(method->getName(), method);
}

bool OBClass::isA(const OBClass* cls) const noexcept {
  for (const OBClass* c = this; c != nullptr; c = c->super_)
    if (c == cls) return true;
  return false;
}

const std::vector<OBPropInfo*>& OBClass::getProperties() const {
  if (allPropsGen_ == generation()) return allProps_;
  allProps_.clear();
  std::unordered_set<std::string, OBNoCaseHash, OBNoCaseEqual> seen;
  for (const OBClass* c = this; c != nullptr; c = c->super_)
    for (const auto& p : c->props_)
      if (seen.insert(p->getName()).second) allProps_.push_back(p.get());
  allPropsGen_ = generation();
  return allProps_;
}

std::vector<OBMethodInfo*> OBClass::getMethods() const {
  std::vector<OBMethodInfo*> out;
  std::unordered_set<std::string> seen;
  for (const OBClass* c = this; c != nullptr; c = c->super_)
    for (const auto& m : c->methods_)
      if (seen.insert(m->getName()).second) out.push_back(m.get());
  return out;
}

OBPropInfo* OBClass::getProperty(std::string_view name) const noexcept {
  for (const OBClass* c = this; c != nullptr; c = c->super_) {
    auto it = c->propIndex_.find(name);
    if (it != c->propIndex_.end()) return it->second;
  }
  return nullptr;
}

OBMethodInfo* OBClass::getMethod(std::string_view name) const noexcept {
  for (const OBClass* c = this; c != nullptr; c = c->super_) {
    auto it = c->methodIndex_.find(name);
    if (it != c->methodIndex_.end()) return it->second;
  }
  return nullptr;
}

OBInterface* OBClass::createInstance(OBDatabaseClient*, int, void* const[],
                                     OBInterface*, int) {
  return nullptr;
}

OBInterface* OBClass::createInstance(OBDatabaseClient* client) {
  return createInstance(client, 0, nullptr, nullptr, 1);
}

bool OBClass::isOkToDestroy(OBInterface*) { return true; }
void OBClass::destroyInstance(OBInterface*) {}

OBInterface* OBClass::createObject(OBDatabaseClient* client, OBInterface* creator,
                                   int argc, qxArray* const argv[]) {
  if (!canBeConstructed()) return nullptr;
  if (argc < 0) argc = 0;
  OBMethodSignature* sig = obk_detail::matchSignature(ctorView_, 0, argc, argv);
  if (sig == nullptr)
    obk_detail::raise("obk:NoMatchingConstructor",
                      "No constructor of the '" + name_ +
                          "' class matches the arguments.");
  obk_detail::ConvertedArgs args(sig, argc, argv);
  OBInterface* inst = createInstance(client, args.size(), args.data(), creator, 1);
  if (inst == nullptr)
    obk_detail::raise("obk:ConstructionFailed",
                      "The '" + name_ + "' class made no instance.");
  return inst;
}
