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

Dose::~Dose() = default;

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
  setCompileNeeded(true);
  targetName_ = name;
}

void Dose::setDurationParameterName(const std::string& name) {
  setCompileNeeded(true);
  durationParameterName_ = name;
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
  return model->anyModelParameterUsingName(durationParameterName_);
}

bool Dose::isComponentReferenced(const KelborComponent* component) const {
  const Kelbor* model = modelOfComponent(component);
  if (!model) return false;
  const kstr::bcomptype kind = component->getEnumType();
  return model->getPartiallyQualifiedComponent(targetName_, kind) == component ||
         model->getPartiallyQualifiedComponent(durationParameterName_, kind) == component;
}

void Dose::privateFindUsages(StringVector& out, const KelborComponent* component) const {
  const Kelbor* model = modelOfComponent(component);
  if (!model) return;
  const kstr::bcomptype kind = component->getEnumType();
  if (model->getPartiallyQualifiedComponent(targetName_, kind) == component) out.addElement("TargetName");
  if (model->getPartiallyQualifiedComponent(durationParameterName_, kind) == component) {
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
    targetName_ = targetName;
    notifyPropertyPostSet(getOBI(), "TargetName", targetName_.c_str());
  }
  if (durationParameterName_ != durationParameterName) {
    durationParameterName_ = durationParameterName;
    notifyPropertyPostSet(getOBI(), "DurationParameterName", durationParameterName_.c_str());
  }
}

void Dose::componentRename(const KelborComponent* component, std::string newName) {
  // Neither reference can denote a component whose name it does not hold.
  if (!modelOfComponent(component) || !referencesHold(component->getName())) return;
  const kstr::variants::ReferenceRename rename = kstr::variants::prepareReferenceRename(component, newName);
  const Kelbor* model = rename.model;
  auto rewrite = [&](std::string& reference, const char* property, std::string renamed) {
    reference = std::move(renamed);
    notifyPropertyPostSet(getOBI(), property, reference.c_str());
  };
  auto renamedReference = [&](const std::string& reference) {
    return reference == rename.oldQualified ? rename.newQualified : rename.newName;
  };
  if (model->getPartiallyQualifiedComponent(targetName_, rename.kind) == component) {
    rewrite(targetName_, "TargetName", renamedReference(targetName_));
  } else if (model->getPartiallyQualifiedComponent(durationParameterName_, rename.kind) == component) {
    rewrite(durationParameterName_, "DurationParameterName", renamedReference(durationParameterName_));
  } else if (rename.kind == kstr::compartment &&
             model->getPartiallyQualifiedComponent(targetName_, kstr::species)) {
    if (std::optional<std::string> requalified = kstr::variants::requalifiedSpeciesName(targetName_, rename)) {
      rewrite(targetName_, "TargetName", std::move(*requalified));
    }
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
