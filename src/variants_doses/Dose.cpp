// The dose base: units with their checks, the name rule, the target and
// duration parameter in the model, verification, rename propagation and the
// table display of doses.
#include "variants_doses/Dose.hpp"

#include <algorithm>
#include <string_view>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <ks_utils/Units.hpp>
#include <obk/Vector.hpp>

#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "variants_doses/ReferenceRename.hpp"

using Code = kstr::MessageCode;
using kstr::variants::modelOfComponent;

const uint32_t Dose::fValidAmountUnits[2] = {OVUnits::kUnitTypeAmount, OVUnits::kUnitTypeMass};
const uint32_t Dose::fValidRateUnits[2] = {OVUnits::kUnitTypeAmountPerTime, OVUnits::kUnitTypeMassPerTime};

namespace {

std::string trimmed(const std::string& text) {
  std::string copy = text;
  STDStringHelpers::trimWhitespace(copy);
  return copy;
}

bool isUnitOfType(const std::string& units, const uint32_t* accepted, size_t count) {
  const uint32_t type = getUnitManagerApiFcn()->getUnitType(units);
  return std::find(accepted, accepted + count, type) != accepted + count;
}

// A run of n blanks; display runs never exceed 46 blanks.
std::string blanks(long n) { return std::string(static_cast<size_t>(std::clamp(n, 0L, 46L)), ' '); }

}  // namespace

Dose::~Dose() {
  // Normally taken out by the model that removed it; a walk of the index
  // cannot fail where collecting the parts could.
  if (indexedIn_.model) indexedIn_.model->forgetDoseNameParts(this);
}

Dose& Dose::operator=(const Dose& other) {
  if (this == &other) return *this;
  KelborComponent::operator=(other);
  table_ = other.table_;
  compileNeeded_ = other.compileNeeded_;
  active_ = other.active_;
  amountUnits_ = other.amountUnits_;
  rateUnits_ = other.rateUnits_;
  timeUnits_ = other.timeUnits_;
  groupIndex_ = other.groupIndex_;
  setReference(targetName_, other.targetName_);
  setReference(durationParameterName_, other.durationParameterName_);
  return *this;
}

void* Dose::operator new(size_t size) { return hbCallocWithCheck(size, 1); }
void* Dose::operator new[](size_t size) { return hbCallocWithCheck(size, 1); }
void Dose::operator delete(void* p) noexcept { hbFree(p); }
void Dose::operator delete[](void* p) noexcept { hbFree(p); }

void Dose::setName(const std::string& name) {
  const std::string text = trimmed(name);
  if (text.empty()) kstr_error("Kestrion:DOSE_MUST_HAVE_NAME", kstr::code(Code::KS_DOSE_MUST_HAVE_NAME));
  if (const auto* model = dynamic_cast<const Kelbor*>(getParent())) {
    for (uint64_t i = 0; i < model->getNumDoses(); ++i) {
      if (model->getDoseAt(i)->getName() == text) {
        kstr_error("Kestrion:DOSE_WITH_NAME_EXISTS", kstr::code(Code::KS_DOSE_WITH_NAME_EXISTS));
      }
    }
  }
  KelborComponent::setName(text);
}

// --- fields with checks ----------------------------------------------------------------------

void Dose::setTargetName(const std::string& name) {
  setReference(targetName_, name);
  setCompileNeeded(true);
}

void Dose::setDurationParameterName(const std::string& name) {
  setReference(durationParameterName_, name);
  setCompileNeeded(true);
}

// --- the model's name index ----------------------------------------------------------------------

void Dose::fileParts(const std::vector<std::string>& parts, bool held) {
  if (!indexedIn_.model) return;
  if (!held) {
    for (const std::string& part : parts) indexedIn_.model->doseNamePartHeld(this, part, false);
    return;
  }
  size_t filed = 0;
  try {
    for (; filed < parts.size(); ++filed) indexedIn_.model->doseNamePartHeld(this, parts[filed], true);
  } catch (...) {
    while (filed > 0) indexedIn_.model->doseNamePartHeld(this, parts[--filed], false);
    throw;
  }
}

void Dose::setReference(std::string& reference, std::string value) {
  // The new parts are filed before the old ones leave, and both lists are
  // made before anything changes: the index never misses a part the dose
  // holds, and never keeps one it does not.
  const std::vector<std::string> oldParts = kstr::variants::namePartsOf(reference);
  const std::vector<std::string> newParts = kstr::variants::namePartsOf(value);
  fileParts(newParts, true);
  reference = std::move(value);
  fileParts(oldParts, false);
}

void Dose::setNameIndex(Kelbor* model) {
  if (model == indexedIn_.model) return;
  std::vector<std::string> parts;
  try {
    parts = kstr::variants::namePartsOf(targetName_);
    for (std::string& part : kstr::variants::namePartsOf(durationParameterName_)) parts.push_back(std::move(part));
  } catch (...) {
    if (!model && indexedIn_.model) {
      // Leaving must not fail: the whole index is walked instead.
      indexedIn_.model->forgetDoseNameParts(this);
      indexedIn_.model = nullptr;
    }
    throw;
  }
  fileParts(parts, false);
  indexedIn_.model = model;
  try {
    fileParts(parts, true);
  } catch (...) {
    indexedIn_.model = nullptr;
    throw;
  }
}

void Dose::setTimeUnits(const std::string& units) {
  const std::string text = trimmed(units);
  const uint32_t time = OVUnits::kUnitTypeTime;
  if (!text.empty() && !isUnitOfType(text, &time, 1)) {
    kstr_error("Kestrion:DOSE_INVALID_TIMEUNITS", kstr::code(Code::KS_DOSE_INVALID_TIMEUNITS));
  }
  timeUnits_ = text;
  setCompileNeeded(true);
}

void Dose::setAmountUnits(const std::string& units) {
  const std::string text = trimmed(units);
  if (!text.empty() && !isUnitOfType(text, fValidAmountUnits, 2)) {
    kstr_error("Kestrion:InvalidDoseAmountUnits", kstr::code(Code::KS_INVALID_DOSE_AMOUNT_UNITS));
  }
  if (text == amountUnits_) return;
  amountUnits_ = text;
  setCompileNeeded(true);
}

void Dose::setRateUnits(const std::string& units) {
  const std::string text = trimmed(units);
  if (!text.empty() && !isUnitOfType(text, fValidRateUnits, 2)) {
    kstr_error("Kestrion:InvalidDoseRateUnits", kstr::code(Code::KS_INVALID_DOSE_RATE_UNITS));
  }
  if (text == rateUnits_) return;
  rateUnits_ = text;
  setCompileNeeded(true);
}

// --- in the model ---------------------------------------------------------------------------------

const Kelbor* Dose::modelOrParent(const Kelbor* model) const {
  return model ? model : dynamic_cast<const Kelbor*>(getParent());
}

const kstr::QuantityComponent* Dose::resolveTarget(const Kelbor* model) const {
  model = modelOrParent(model);
  if (!model) return nullptr;
  return dynamic_cast<const kstr::QuantityComponent*>(
      model->getPartiallyQualifiedComponent(targetName_, kstr::species));
}

const kstr::QuantityComponent* Dose::resolveDurationParameter(const Kelbor* model) const {
  model = modelOrParent(model);
  if (!model) return nullptr;
  if (const kstr::QuantityComponent* found = model->anyModelParameterUsingName(durationParameterName_)) return found;
  // A name written in brackets, as a name that is no identifier is written
  // in expressions, names the parameter without them.
  const std::string& name = durationParameterName_;
  if (name.size() > 2 && name.front() == '[' && name.back() == ']' && name.find(']') == name.size() - 1) {
    return model->anyModelParameterUsingName(name.substr(1, name.size() - 2));
  }
  return nullptr;
}

namespace {

// Which reference may denote a component of the kind: TargetName a species
// only, DurationParameterName a parameter only.
bool targetMayDenote(kstr::bcomptype kind) { return kind == kstr::species; }
bool durationMayDenote(kstr::bcomptype kind) { return kind == kstr::parameter; }

}  // namespace

bool Dose::isComponentReferenced(const KelborComponent* component) const {
  const Kelbor* model = modelOfComponent(component);
  if (!model) return false;
  const kstr::bcomptype kind = component->getEnumType();
  return (targetMayDenote(kind) && model->getPartiallyQualifiedComponent(targetName_, kind) == component) ||
         (durationMayDenote(kind) && model->getPartiallyQualifiedComponent(durationParameterName_, kind) == component);
}

void Dose::privateFindUsages(StringVector& out, const KelborComponent* component) const {
  const Kelbor* model = modelOfComponent(component);
  if (!model) return;
  const kstr::bcomptype kind = component->getEnumType();
  if (targetMayDenote(kind) && model->getPartiallyQualifiedComponent(targetName_, kind) == component) {
    out.addElement("TargetName");
  }
  if (durationMayDenote(kind) && model->getPartiallyQualifiedComponent(durationParameterName_, kind) == component) {
    out.addElement("DurationParameterName");
  }
}

void Dose::stack(const char* id, uint32_t code) const {
  kstr_stacked_error(0, getOBI(), id, code, getName().c_str());
}

bool Dose::verify(const Kelbor* model) const {
  model = modelOrParent(model);
  bool valid = true;
  const kstr::QuantityComponent* target = resolveTarget(model);
  if (!target) {
    stack("Kestrion:DOSE_VERIFY_INVALID_TARGETNAME", kstr::code(Code::KS_DOSE_VERIFY_INVALID_TARGETNAME));
    valid = false;
  } else if (target->getConstantValue()) {
    stack("Kestrion:DOSE_VERIFY_INVALID_TARGETNAME_CONSTANT",
          kstr::code(Code::KS_DOSE_VERIFY_INVALID_TARGETNAME_CONSTANT));
    valid = false;
  }
  if (durationParameterName_.empty()) return valid;
  const kstr::QuantityComponent* duration = resolveDurationParameter(model);
  if (!duration) {
    stack("Kestrion:DOSE_VERIFY_INVALID_DURATIONPARAMETERNAME",
          kstr::code(Code::KS_DOSE_VERIFY_INVALID_DURATIONPARAMETERNAME));
    valid = false;
  } else if (!(duration->getInitialValue() > 0.0)) {
    // Written as a positive test so that a NaN duration fails too.
    stack("Kestrion:DOSE_VERIFY_INVALID_DURATIONPARAMETERVALUE",
          kstr::code(Code::KS_DOSE_VERIFY_INVALID_DURATIONPARAMETERVALUE));
    valid = false;
  }
  if (hasRateSpecified()) {
    stack("Kestrion:DOSE_VERIFY_INVALID_RATE", kstr::code(Code::KS_DOSE_VERIFY_INVALID_RATE));
    valid = false;
  }
  return valid;
}

// --- renames --------------------------------------------------------------------------------------

bool Dose::referencesHold(const std::string& text) const {
  return !text.empty() && (targetName_.find(text) != std::string::npos ||
                           durationParameterName_.find(text) != std::string::npos);
}

void Dose::restoreReferences(const std::string& targetName, const std::string& durationParameterName) {
  if (targetName_ != targetName) {
    setReference(targetName_, targetName);
    notifyPropertyPostSet(getOBI(), "TargetName", targetName_.c_str());
  }
  if (durationParameterName_ != durationParameterName) {
    setReference(durationParameterName_, durationParameterName);
    notifyPropertyPostSet(getOBI(), "DurationParameterName", durationParameterName_.c_str());
  }
}

void Dose::componentRename(const KelborComponent* component, std::string newName) {
  // Neither reference can denote a component whose name it does not hold.
  if (!modelOfComponent(component) || !referencesHold(kstr::variants::writtenName(component))) return;
  const std::string plainNewName = newName;
  const kstr::variants::ReferenceRename rename = kstr::variants::prepareReferenceRename(component, newName);
  Kelbor* model = rename.model;
  auto rewrite = [&](std::string& reference, const char* property, std::string renamed) {
    setReference(reference, std::move(renamed));
    notifyPropertyPostSet(getOBI(), property, reference.c_str());
  };
  auto denotes = [&](const std::string& reference) {
    return model->getPartiallyQualifiedComponent(reference, rename.kind) == component;
  };
  switch (rename.kind) {
    case kstr::species:
      if (!denotes(targetName_)) return;
      // The bare new name when it denotes nothing else; otherwise the
      // qualified one, so that the dose keeps its species.
      if (targetName_ == rename.oldQualified ||
          !model->resolveSymbolWithCollisions(rename.newName, static_cast<ExpressionBasedComponent*>(nullptr))
               ->empty()) {
        rewrite(targetName_, "TargetName", rename.newQualified);
      } else {
        rewrite(targetName_, "TargetName", rename.newName);
      }
      return;
    case kstr::parameter: {
      if (!denotes(durationParameterName_)) return;
      // A model parameter is found by its plain name; a kinetic-law
      // parameter by its qualified one.
      const KelborComponent* parent = component->getParent();
      const bool modelScoped = parent && parent->getEnumType() == kstr::kstrmodel;
      rewrite(durationParameterName_, "DurationParameterName", modelScoped ? plainNewName : rename.newQualified);
      return;
    }
    case kstr::compartment: {
      const KelborComponent* target = model->getPartiallyQualifiedComponent(targetName_, kstr::species);
      if (!target || target->getParent() != component) return;
      if (std::optional<std::string> requalified = kstr::variants::requalifiedName(targetName_, rename)) {
        rewrite(targetName_, "TargetName", std::move(*requalified));
      }
      return;
    }
    case kstr::reaction:
      if (std::optional<std::string> requalified =
              kstr::variants::requalifiedChildName(durationParameterName_, "parameter", rename, component)) {
        rewrite(durationParameterName_, "DurationParameterName", std::move(*requalified));
      }
      return;
    default:
      return;
  }
}

// --- display ------------------------------------------------------------------------------------------

void Dose::display() const {
  kstrVector<Dose*> one(1, const_cast<Dose*>(this));
  display(&one);
}

void Dose::display(const kstrVector<Dose*>* doses) {
  size_t width = 5;
  for (const Dose* dose : *doses) width = std::max(width, dose->getName().size());
  width = std::min<size_t>(width, 100);
  const long w = static_cast<long>(width);
  hbPrintf("\n");
  hbPrintf("%sKestrion Dose Array\n\n", blanks(3).c_str());
  hbPrintf("%s%s%s%s%s%s\n", blanks(3).c_str(), "Index:", blanks(4).c_str(), "Name:", blanks(w - 1).c_str(),
           "Type:");
  size_t number = 0;
  for (const Dose* dose : *doses) {
    ++number;
    std::string name = dose->getName();
    if (name.size() > width) name = name.substr(0, width - 3) + "...";
    const std::string_view type = dose->getType();
    const char* word = type == "scheduledose" ? "schedule" : type == "repeatdose" ? "repeat" : "";
    char digits[100];
    const long d = hbSNprintf(digits, sizeof digits, "%zu", number);
    hbPrintf("%s%zu%s%s%s%s\n", blanks(3).c_str(), number, blanks(10 - d).c_str(), name.c_str(),
             blanks(w + 4 - static_cast<long>(name.size())).c_str(), word);
  }
  hbPrintf("\n");
}
