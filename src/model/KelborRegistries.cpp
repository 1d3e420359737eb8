// The model's renames and its registries of configuration sets, variants
// and doses.
#include <algorithm>
#include <exception>

#include <boost/format.hpp>

#include <hb/hb.hpp>
#include <obk/OBInterface.hpp>
#include <ks_utils/Errors.hpp>
#include <qx/qx.hpp>

#include "configsets/KStrConfigurationSetApi.hpp"
#include "core/TreeWiring.hpp"
#include "expressions/ExpressionBasedComponent.hpp"
#include "expressions/NameHelpers.hpp"
#include "expressions/SymbolTable.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/ReferenceRename.hpp"
#include "variants_doses/Variant.hpp"

using kstr::qualifiedNameOf;

namespace {

const char kActive[] = "active";

template <class T>
const T* firstNamed(const kstrVector<const T*>& list, const std::string& name) {
  for (const T* element : list) {
    if (element->getName() == name) return element;
  }
  return nullptr;
}

// Counts a rename running through the model for as long as it lives.
class RenameInProgress {
 public:
  explicit RenameInProgress(int& count) : count_(count) { ++count_; }
  ~RenameInProgress() { --count_; }
  RenameInProgress(const RenameInProgress&) = delete;
  RenameInProgress& operator=(const RenameInProgress&) = delete;

 private:
  int& count_;
};

}  // namespace

// --- renames -------------------------------------------------------------------

namespace {
size_t failedRenameRollbacks = 0;
}  // namespace

// The variants and doses that may name the component: those filed under
// the name it is written with.
std::vector<const Variant*> Kelbor::variantsNaming(const KelborComponent* component) const {
  return variantNames_.holders(kstr::variants::writtenName(component));
}

std::vector<const Dose*> Kelbor::dosesNaming(const KelborComponent* component) const {
  return doseNames_.holders(kstr::variants::writtenName(component));
}

void Kelbor::componentRename(const KelborComponent* component, const std::string& newName) {
  RenameInProgress busy(renamesInProgress_);
  symbolTable_->componentRename(component, newName);
  for (const Variant* variant : variantsNaming(component)) {
    const_cast<Variant*>(variant)->componentRename(component, newName, {});
  }
  for (const Dose* dose : dosesNaming(component)) const_cast<Dose*>(dose)->componentRename(component, newName);
}

quorvix::type_defs::RenameUndoData Kelbor::componentRename(
    const KelborComponent* component, const std::string& newName,
    const quorvix::type_defs::RenameUndoData& undo) {
  RenameInProgress busy(renamesInProgress_);
  quorvix::type_defs::RenameUndoData result;
  for (const Variant* variant : variantsNaming(component)) {
    auto recorded = undo.variantEntries.find(variant);
    const std::set<uint64_t> entries =
        recorded == undo.variantEntries.end() ? std::set<uint64_t>() : recorded->second;
    std::set<uint64_t> changed =
        const_cast<Variant*>(variant)->componentRename(component, newName, entries);
    if (!changed.empty()) result.variantEntries[variant] = std::move(changed);
  }
  // Doses follow an undoable rename as well, so that a dose never loses its
  // target.
  for (const Dose* dose : dosesNaming(component)) const_cast<Dose*>(dose)->componentRename(component, newName);
  result.expressionPositions =
      symbolTable_->componentRename(component, newName, undo.expressionPositions);
  return result;
}

Kelbor::RenameSnapshot Kelbor::snapshotForRename(const KelborComponent* component,
                                                 const std::string& newName) const {
  RenameSnapshot snapshot;
  snapshot.name = component->getName();
  const std::set<ExpressionBasedComponent*> users = renameUsers(component, newName);
  for (ExpressionBasedComponent* user : users) snapshot.users.emplace_back(user, user->saveExpressions());
  // Variant entries and dose references name components by text: only
  // those holding the name can be rewritten.
  const std::string written = kstr::variants::writtenName(component);
  for (const Variant* variant : variantsNaming(component)) {
    auto names = variant->entryNamesHolding(written);
    if (!names.empty()) snapshot.variantEntries.emplace_back(const_cast<Variant*>(variant), std::move(names));
  }
  for (const Dose* dose : dosesNaming(component)) {
    if (!dose->referencesHold(written)) continue;
    snapshot.doseReferences.emplace_back(const_cast<Dose*>(dose),
                                         std::pair(dose->getTargetName(), dose->getDurationParameterName()));
  }
  return snapshot;
}

namespace {

// Runs one part of undoing a failed rename: an error it raises is kept (the
// first one only) and the next part runs all the same.
template <class Part>
void undoPart(std::exception_ptr& failure, Part part) noexcept {
  try {
    part();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
}

}  // namespace

void Kelbor::restoreAfterFailedRename(KelborComponent* component,
                                      const RenameSnapshot& snapshot) noexcept {
  std::exception_ptr failure;
  undoPart(failure, [&] {
    if (component->getName() != snapshot.name) component->setName(snapshot.name);
  });
  for (const auto& user : snapshot.users) {
    undoPart(failure, [&] { user.first->restoreExpressions(*user.second); });
  }
  for (const auto& entries : snapshot.variantEntries) {
    undoPart(failure, [&] { entries.first->restoreEntryNames(entries.second); });
  }
  for (const auto& references : snapshot.doseReferences) {
    undoPart(failure, [&] {
      references.first->restoreReferences(references.second.first, references.second.second);
    });
  }
  undoPart(failure, [&] { setCompileNeeded(true); });
  if (!failure) return;
  ++failedRenameRollbacks;
  try {
    std::rethrow_exception(failure);
  } catch (...) {
    try {
      const std::string error = describeCurrentError();
      hb_warning_id(hbGetWarningContext(), "Kestrion:RenameRollbackFailed",
                    kstr::code(kstr::MessageCode::KS_RENAME_ROLLBACK_FAILED),
                    component->getType(), snapshot.name.c_str(), error.c_str());
    } catch (...) {
    }
  }
}

size_t countFailedRenameRollbacks() { return failedRenameRollbacks; }

void Kelbor::componentNameChanged(KelborComponent* component, std::string oldName,
                                  const std::string& oldPartiallyQualifiedName) {
  RenameInProgress busy(renamesInProgress_);
  if (isBeingDestroyed()) return;
  symbolTable_->componentNameChanged(component, oldName, oldPartiallyQualifiedName);
}

// --- default names that move -------------------------------------------------------

namespace {

bool isLawParameter(const KelborComponent* component) {
  const KelborComponent* law = component && component->getEnumType() == kstr::parameter ? component->getParent() : nullptr;
  return law && law->getEnumType() == kstr::kineticlaw && law->getParent();
}

}  // namespace

Kelbor::DefaultNameReferences Kelbor::collectDefaultNameReferences() const {
  DefaultNameReferences references;
  references.parameters = symbolTable_->defaultNamedParameters();
  const std::string prefix = SymbolTable::unnamedReactionPrefix;
  std::set<std::pair<const Variant*, size_t>> seen;
  for (const auto& [part, variants] : variantNames_.partsUnder(prefix)) {
    for (const Variant* variant : variants) {
      for (size_t index : variant->entriesNaming(part)) {
        if (variant->positions_[index]->first != "parameter" || !seen.emplace(variant, index).second) continue;
        const std::string name = qxArrayToStdString(variant->quadAt(index)->getName());
        const KelborComponent* parameter = getPartiallyQualifiedComponent(name, kstr::parameter);
        if (!isLawParameter(parameter) || name != qualifiedNameOf(parameter)) continue;
        references.variantEntries.push_back({const_cast<Variant*>(variant), index, parameter});
      }
    }
  }
  std::set<const Dose*> doses;
  for (const auto& [part, holders] : doseNames_.partsUnder(prefix)) doses.insert(holders.begin(), holders.end());
  for (const Dose* dose : doses) {
    const std::string& name = dose->getDurationParameterName();
    const KelborComponent* parameter = getPartiallyQualifiedComponent(name, kstr::parameter);
    if (isLawParameter(parameter) && name == qualifiedNameOf(parameter)) {
      references.doses.emplace_back(const_cast<Dose*>(dose), parameter);
    }
  }
  return references;
}

void Kelbor::followDefaultNames(const DefaultNameReferences& before) {
  // A parameter that left with its reaction keeps the texts naming it.
  auto moved = [this](const KelborComponent* parameter, const std::string& name, std::string& now) {
    if (!symbolTable_->containsComponent(parameter)) return false;
    now = qualifiedNameOf(parameter);
    return now != name;
  };
  std::string now;
  for (const auto& [parameter, name] : before.parameters) {
    if (!moved(parameter, name, now)) continue;
    const KelborComponent* reaction = parameter->getParent()->getParent();
    symbolTable_->notifyChildRequalified(reaction, parameter, qualifiedNameOf(reaction), name);
  }
  std::set<Variant*> changed;
  for (const DefaultNameReferences::Entry& entry : before.variantEntries) {
    const std::string name = qxArrayToStdString(entry.variant->quadAt(entry.index)->getName());
    if (!moved(entry.parameter, name, now)) continue;
    entry.variant->renameEntry(entry.index, now);
    changed.insert(entry.variant);
  }
  for (Variant* variant : changed) notifyPropertyPostSet(variant->getOBI(), "Content", nullptr);
  for (const auto& [dose, parameter] : before.doses) {
    if (moved(parameter, dose->getDurationParameterName(), now)) dose->restoreReferences(dose->getTargetName(), now);
  }
}

// --- configuration sets ------------------------------------------------------------

KStrConfigurationSetApi* Kelbor::findConfigSet(const std::string& name) const {
  auto found = configSetsByName_.find(name);
  return found == configSetsByName_.end() ? nullptr : found->second;
}

void Kelbor::addConfigSet(KStrConfigurationSetApi* set) {
  const std::string& name = set->getName();
  if (name == kActive || findConfigSet(name)) {
    kstr_error("Kestrion:ConfigSetNameClash",
               kstr::code(kstr::MessageCode::KS_MODEL_CONFIG_SET_NAMECLASH));
  }
  auto entered = configSetsByName_.emplace(name, set).first;
  try {
    configSets_.push_back(set);
  } catch (...) {
    configSetsByName_.erase(entered);
    throw;
  }
  set->setModel(this);
}

KStrConfigurationSetApi* Kelbor::getConfigSet(const std::string& name) const {
  return findConfigSet(name == kActive ? activeConfigSetName_ : name);
}

bool Kelbor::isConfigSetAttached(const std::string& name) const {
  return name == kActive || findConfigSet(name) != nullptr;
}

void Kelbor::getConfigSetNames(std::vector<std::string>* names) const {
  for (const KStrConfigurationSetApi* set : configSets_) names->push_back(set->getName());
}

KStrConfigurationSetApi* Kelbor::getActiveConfigSet() const {
  return findConfigSet(activeConfigSetName_);
}

void Kelbor::setActiveConfigSet(const std::string& name) {
  if (!getConfigSet(name)) {
    kstr_error("Kestrion:ConfigSetDoesNotExist",
               kstr::code(kstr::MessageCode::KS_ConfigSetDoesNotExist), name.c_str());
  }
  if (name != kActive) activeConfigSetName_ = name;
}

KStrConfigurationSetApi* Kelbor::removeConfigSet(const std::string& name) {
  KStrConfigurationSetApi* set = findConfigSet(name);
  if (!set) return nullptr;
  configSets_.erase(std::find(configSets_.begin(), configSets_.end(), set));
  configSetsByName_.erase(name);
  configSetNameFreed(name);
  if (set == autoDefaultConfigSet_) autoDefaultConfigSet_ = nullptr;
  if (name == activeConfigSetName_) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:ActiveCSNowDefault",
                  kstr::code(kstr::MessageCode::KS_ActiveCSNowDefault));
    activeConfigSetName_ = "default";
  }
  set->setModel(nullptr);
  return set;
}

void Kelbor::replaceConfigSet(KStrConfigurationSetApi* old, KStrConfigurationSetApi* fresh) {
  if (!fresh) return;
  auto it = std::find(configSets_.begin(), configSets_.end(), old);
  if (it == configSets_.end()) return;
  configSetsByName_[fresh->getName()] = fresh;
  if (old->getName() != fresh->getName()) {
    configSetsByName_.erase(old->getName());
    configSetNameFreed(old->getName());
  }
  *it = fresh;
  if (old == autoDefaultConfigSet_) autoDefaultConfigSet_ = nullptr;
  old->setModel(nullptr);
  fresh->setModel(this);
}

void Kelbor::forgetConfigSet(KStrConfigurationSetApi* set) {
  if (!set) return;
  auto it = std::find(configSets_.begin(), configSets_.end(), set);
  if (it != configSets_.end()) {
    configSets_.erase(it);
    if (findConfigSet(set->getName()) == set) {
      configSetsByName_.erase(set->getName());
      configSetNameFreed(set->getName());
    }
  }
  if (set == autoDefaultConfigSet_) autoDefaultConfigSet_ = nullptr;
  set->setModel(nullptr);
}

void Kelbor::removeStateFromConfigSets(OBInterface* instance, const KelborComponent* component) {
  if (!instance || isBeingDestroyed() || (getOBI() && getOBI()->isBeingDestroyed())) return;
  for (KStrConfigurationSetApi* set : configSets_) {
    if (KStrRuntimeConfigSetApi* runtime = set->getRuntimeOptions()) runtime->removeLoggedState(instance, component);
    if (KStrSensitivityAnalysisConfigSetApi* sensitivity = set->getSensitivityAnalysisOptions()) {
      sensitivity->removeComponent(instance);
    }
  }
}

KStrConfigurationSetApi* Kelbor::getAutoDefaultConfigSet() const { return autoDefaultConfigSet_; }

void Kelbor::updateCSName(const std::string& oldName, const std::string& newName) {
  if (oldName == newName) return;
  if (newName == kActive || findConfigSet(newName)) {
    kstr_error("Kestrion:ConfigSetNameClash",
               kstr::code(kstr::MessageCode::KS_MODEL_CONFIG_SET_NAMECLASH));
  }
  // The set is told before it takes the new name: its entry moves to the
  // new name now (moving a node allocates nothing).
  if (auto entry = configSetsByName_.extract(oldName)) {
    entry.key() = newName;
    configSetsByName_.insert(std::move(entry));
    configSetNameFreed(oldName);
  }
  if (oldName == activeConfigSetName_) activeConfigSetName_ = newName;
}

std::string Kelbor::freeConfigSetName(const std::string& name) {
  if (!isConfigSetAttached(name)) return name;
  unsigned& from = configSetNameSuffixes_[name];
  for (unsigned suffix = std::max(from, 1u);; ++suffix) {
    std::string candidate = name + (boost::format("_%1%") % suffix).str();
    if (!isConfigSetAttached(candidate)) {
      // Every lower suffix is taken; this one is about to be.
      from = suffix;
      return candidate;
    }
  }
}

void Kelbor::configSetNameFreed(const std::string& name) {
  // name is stem + "_" + a suffix as freeConfigSetName writes it (decimal,
  // no leading zero).
  const size_t mark = name.rfind('_');
  if (mark == std::string::npos || mark + 1 == name.size() || name[mark + 1] == '0' ||
      name.size() - mark - 1 > 9) {
    return;
  }
  unsigned suffix = 0;
  for (size_t i = mark + 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return;
    suffix = suffix * 10 + static_cast<unsigned>(name[i] - '0');
  }
  auto stem = configSetNameSuffixes_.find(name.substr(0, mark));
  if (stem != configSetNameSuffixes_.end() && stem->second > suffix) stem->second = suffix;
}

// --- variants and doses --------------------------------------------------------------

void Kelbor::addVariant(const Variant* variant) {
  if (firstNamed(variants_, variant->getName())) {
    kstr_error("Kestrion:VariantWithNameExists",
               kstr::code(kstr::MessageCode::KS_PATCH_WITH_NAME_EXISTS));
  }
  auto* filed = const_cast<Variant*>(variant);
  variants_.push_back(variant);
  if (filed->indexedIn_ == this) return;
  // A variant still filed by another model leaves that model's index.
  if (filed->indexedIn_) filed->indexedIn_->unfileVariant(variant);
  // Filed under every part its entries hold; running out of memory part way
  // takes out what was filed and leaves the variant unlisted.
  auto part = filed->words_.begin();
  try {
    for (; part != filed->words_.end(); ++part) variantNames_.add(part->first, variant);
  } catch (...) {
    while (part != filed->words_.begin()) variantNames_.remove((--part)->first, variant);
    variants_.pop_back();
    throw;
  }
  filed->indexedIn_ = this;
}

void Kelbor::removeVariant(const Variant* variant) {
  auto it = std::find(variants_.begin(), variants_.end(), variant);
  if (it == variants_.end()) return;
  variants_.erase(it);
  if (variant->indexedIn_ == this) unfileVariant(variant);
}

void Kelbor::unfileVariant(const Variant* variant) noexcept {
  for (const auto& [part, index] : variant->words_) variantNames_.remove(part, variant);
  const_cast<Variant*>(variant)->indexedIn_ = nullptr;
}

void Kelbor::variantNamePartHeld(const Variant* variant, const std::string& part, bool held) {
  if (held) {
    variantNames_.add(part, variant);
  } else {
    variantNames_.remove(part, variant);
  }
}

void Kelbor::doseNamePartHeld(const Dose* dose, const std::string& part, bool held) {
  if (held) {
    doseNames_.add(part, dose);
  } else {
    doseNames_.remove(part, dose);
  }
}

const Variant* Kelbor::getVariant(const std::string& name) const { return firstNamed(variants_, name); }

bool Kelbor::containsVariant(const Variant* variant) const {
  return std::find(variants_.begin(), variants_.end(), variant) != variants_.end();
}

void Kelbor::fillActiveVariants(kstrVector<const Variant*>& out) const {
  for (const Variant* variant : variants_) {
    if (variant->getActive()) out.push_back(variant);
  }
}

void Kelbor::addDose(const Dose* dose) {
  if (firstNamed(doses_, dose->getName())) {
    kstr_error("Kestrion:DOSE_WITH_NAME_EXISTS", kstr::code(kstr::MessageCode::KS_DOSE_WITH_NAME_EXISTS));
  }
  doses_.push_back(dose);
  try {
    const_cast<Dose*>(dose)->setNameIndex(this);
  } catch (...) {
    doses_.pop_back();
    throw;
  }
}

void Kelbor::removeDose(const Dose* dose) {
  auto it = std::find(doses_.begin(), doses_.end(), dose);
  if (it == doses_.end()) return;
  doses_.erase(it);
  const_cast<Dose*>(dose)->setNameIndex(nullptr);
}

const Dose* Kelbor::getDose(const std::string& name) const { return firstNamed(doses_, name); }

bool Kelbor::containsDose(const Dose* dose) const {
  return std::find(doses_.begin(), doses_.end(), dose) != doses_.end();
}

void Kelbor::fillActiveDoses(kstrVector<const Dose*>& out) const {
  for (const Dose* dose : doses_) {
    if (dose->getActive()) out.push_back(dose);
  }
}

std::vector<const KelborComponent*> Kelbor::getComponentReferences(
    const KelborComponent* component) const {
  // In list order, from the variants and doses filed under the name; the
  // lists are walked only when some are.
  std::vector<const KelborComponent*> references;
  const std::vector<const Variant*> variants = variantsNaming(component);
  if (!variants.empty()) {
    const std::set<const Variant*> naming(variants.begin(), variants.end());
    for (const Variant* variant : variants_) {
      if (naming.count(variant) != 0 && !variant->getUsageLocations(component).empty()) {
        references.push_back(variant);
      }
    }
  }
  const std::vector<const Dose*> doses = dosesNaming(component);
  if (!doses.empty()) {
    const std::set<const Dose*> naming(doses.begin(), doses.end());
    for (const Dose* dose : doses_) {
      if (naming.count(dose) != 0 && dose->isComponentReferenced(component)) references.push_back(dose);
    }
  }
  return references;
}
