// Host glue shared by the configuration set and its option classes.
#include "configsets/OptionHostSupport.hpp"

#include <cmath>
#include <new>
#include <string>

#include <ks_utils/Errors.hpp>

#include "core/Application.hpp"
#include "core/HostBoundary.hpp"
#include "core/ModelComponentProps.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"

namespace kstr::configsets {

uint32_t accessWord(const OptionAccess& access) {
  using P = PropFlags;
  uint32_t word = P::Default | P::Reset | P::Listener | P::AbortSet | P::ExtGet | P::IntSet |
                  P::IntGet;
  if (access.settable) word |= P::ExtSet;
  if (access.saved) word |= P::Saved | P::Copied;
  if (access.visible) word |= P::Visible;
  return word;
}

const char* blanks(int n) {
  static const std::string text(100, ' ');
  if (n < 0) n = 0;
  if (n > 100) n = 100;
  return text.c_str() + (100 - n);
}

const char* boolText(bool value) { return value ? "true" : "false"; }

void* nativeBool(bool value) { return hostValueBlock<uint8_t>(value ? 1 : 0); }

void* nativeDouble(double value) { return hostValueBlock<double>(value); }

void* nativeInt(int value) { return hostValueBlock<int32_t>(value); }

void* nativeText(const char* text) { return hostTextCopy(text ? text : ""); }

void* nativeHandle(OBInterface* handle) {
  if (handle) handle->getReference();
  return handle;
}

void* nativeHandleVector(const kstrVector<OBInterface*>& handles) {
  auto* vector = new Vector();
  for (OBInterface* handle : handles) {
    if (!handle) continue;
    handle->getReference();
    vector->addElement(handle);
  }
  return vector;
}

void* nativeArray(const qxArray* array) {
  if (!array) return nullptr;
  qxArray* copy = qxDuplicateArray(array);
  qxSetArrayScope(copy, 0);
  return copy;
}

bool boolValue(void* value) {
  if (!value) obk_t::throwNullValue("bool");
  return *static_cast<const uint8_t*>(value) != 0;
}

double doubleValue(void* value) {
  if (!value) obk_t::throwNullValue("double");
  return *static_cast<const double*>(value);
}

int intValue(void* value, const char* typeName) {
  if (!value) obk_t::throwNullValue(typeName);
  return *static_cast<const int32_t*>(value);
}

void refuse(const char* id, const char* text) { throw ErrorIdException(id, text); }

std::optional<int> countValue(double x, int least) {
  if (!std::isfinite(x) || !hbEqualWithinEps(x, hbDoubleScalarRound(x))) return std::nullopt;
  const double rounded = hbDoubleScalarRound(x);
  if (!(rounded >= least && rounded <= static_cast<double>(INT32_MAX))) return std::nullopt;
  return static_cast<int>(rounded);
}

EnumStringType* ensureEnumType(const char* name,
                               std::initializer_list<std::pair<const char*, int>> values) {
  if (auto* existing = dynamic_cast<EnumStringType*>(OBTypeRepository::getType(name))) return existing;
  auto* type = new EnumStringType(name);
  for (const auto& [text, value] : values) type->addEnumValue(text, value);
  if (!OBTypeRepository::addType(type)) {
    delete type;
    return dynamic_cast<EnumStringType*>(OBTypeRepository::getType(name));
  }
  return type;
}

void* objectBehindOrNull(const OBInterface* instance, const char* className) {
  if (!instance || !instance->isValid() || std::strcmp(instance->getClass()->getName(), className) != 0) {
    return nullptr;
  }
  return instance->getComponentObject();
}

void* objectBehind(const OBInterface* instance, const char* className) {
  void* object = objectBehindOrNull(instance, className);
  if (!object) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  return object;
}

Kelbor* modelAboveOptions(const OBInterface* options) {
  const OBInterface* set = options ? options->getUp() : nullptr;
  return set ? kelborFromHandle(set->getUp()) : nullptr;
}

bool belongsToModel(const OBInterface* element, const Kelbor* model) {
  return model && element && getEnclosingModel(element) == model;
}

OptionClass::OptionClass(const char* name, bool firstQuery, bool secondQuery) {
  setName(name);
  setClassQueries(firstQuery, secondQuery);
  addConstructorSignature(new OBMethodSignature());
}

bool OptionClass::isOkToDestroy(OBInterface* inst) {
  return !inst->getUp() || inst->getUp()->isBeingDestroyed();
}

OBClass* registerOptionClass(OBClass* cls) {
  registerNonComponentClass(cls);
  return registerHostClass(cls);
}

void ConfigurationSetObject_display_MI::displayOne(int&, void*[], int, void* const ins[]) {
  printOne(static_cast<OBInterface*>(ins[0]));
}

OptionRefusal_MI::OptionRefusal_MI(const char* name, const char* id, uint32_t code)
    : id_(id), code_(code) {
  setName(name);
  addMethodSignature(new OBMethodSignature({"handle"}));
}

void OptionRefusal_MI::invoke(OBMethodSignature*, int&, void*[], int, void* const[]) {
  kstr_error(id_, code_);
}

OptionCopyobj_MI::OptionCopyobj_MI(const char* id, uint32_t code) : id_(id), code_(code) {}

void OptionCopyobj_MI::invoke(OBMethodSignature*, int&, void*[], int, void* const[]) {
  kstr_error(id_, code_);
}

bool OptionCopyobj_MI::canCopyInto(OBInterface*, OBInterface*) { return false; }

}  // namespace kstr::configsets
