#include "quantities/BCompartment.hpp"

#include <set>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <ks_utils/Units.hpp>
#include <string_view>

#include "core/Compaction.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BSpecies.hpp"
#include "quantities/DisplayColumns.hpp"

namespace {

// The spatial dimensions of a capacity unit type: 1 for a length, 2 for an
// area, 3 for a volume, 0 for any other type.
size_t spatialDimensionsOf(uint32_t type) {
  switch (type) {
    case OVUnits::kUnitTypeLength:
      return 1;
    case OVUnits::kUnitTypeArea:
      return 2;
    case OVUnits::kUnitTypeVolume:
      return 3;
    default:
      return 0;
  }
}

size_t checkedSpatialDimensions(const std::string& trimmedUnits) {
  const size_t dimensions = spatialDimensionsOf(getUnitManagerApiFcn()->getUnitType(trimmedUnits));
  if (dimensions == 0) {
    kstr_error("Kestrion:COMPARTMENT_INVALID_CAPACITY_UNITS",
               kstr::code(kstr::MessageCode::KS_COMPARTMENT_INVALID_CAPACITY_UNITS));
  }
  return dimensions;
}

// --- the array display ---------------------------------------------------------

using kstr::displaycolumns::blanks;
using kstr::displaycolumns::digitsOf;
using kstr::displaycolumns::formatNumber;

struct CompartmentRow {
  std::string name;
  double capacity;
  std::string units;
};

void printCompartmentArrayTable(const std::vector<CompartmentRow>& rows, size_t nameWidth,
                                size_t capacityWidth) {
  const long width = static_cast<long>(std::min<size_t>(nameWidth, 100));
  const long capWidth = static_cast<long>(capacityWidth);
  hbPrintf("\n");
  hbPrintf("%sKestrion Compartment Array\n\n", blanks(3).c_str());
  hbPrintf("%s%s%s%s%s%s%s%s\n", blanks(3).c_str(), "Index:", blanks(4).c_str(),
           "Name:", blanks(width - 1).c_str(), "Capacity:", blanks(capWidth - 5).c_str(),
           "CapacityUnits:");
  if (rows.empty()) {
    hbPrintf("\n");
    return;
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string name = rows[i].name;
    if (static_cast<long>(name.size()) > width) {
      name = name.substr(0, static_cast<size_t>(width - 3)) + "...";
    }
    const std::string capacity = formatNumber(rows[i].capacity);
    hbPrintf("%s%d%s%s%s%g%s%s\n", blanks(3).c_str(), static_cast<int>(i + 1),
             blanks(10 - digitsOf(i + 1)).c_str(), name.c_str(),
             blanks(width + 4 - static_cast<long>(name.size())).c_str(), rows[i].capacity,
             blanks(capWidth + 4 - static_cast<long>(capacity.size())).c_str(),
             rows[i].units.c_str());
  }
  hbPrintf("\n");
}

}  // namespace

// --- construction ----------------------------------------------------------------

BCompartment::BCompartment()
    : obiSpecies_(newHandleVector()), obiCompartments_(newHandleVector()) {}

BCompartment::BCompartment(const BCompartment& other)
    : QuantityComponent(other),
      species_(other.species_),
      owner_(other.owner_),
      compartments_(other.compartments_),
      spatialDimensions_(other.spatialDimensions_),
      obiSpecies_(other.obiSpecies_),
      obiCompartments_(other.obiCompartments_),
      speciesByName_(other.speciesByName_),
      leftSpeciesEntries_(other.leftSpeciesEntries_) {}

BCompartment& BCompartment::operator=(const BCompartment& other) {
  if (this == &other) return *this;
  QuantityComponent::operator=(other);
  species_ = other.species_;
  owner_ = other.owner_;
  compartments_ = other.compartments_;
  spatialDimensions_ = other.spatialDimensions_;
  obiSpecies_ = other.obiSpecies_;
  obiCompartments_ = other.obiCompartments_;
  speciesByName_ = other.speciesByName_;
  leftSpeciesEntries_ = other.leftSpeciesEntries_;
  return *this;
}

BCompartment::~BCompartment() = default;

void BCompartment::releaseHandleVectors() {
  deleteHandleVector(obiSpecies_);
  deleteHandleVector(obiCompartments_);
  obiSpecies_ = nullptr;
  obiCompartments_ = nullptr;
}

Kelbor* BCompartment::getParentModel() const {
  KelborComponent* parent = getParent();
  return parent && parent->getEnumType() == kstr::kstrmodel ? static_cast<Kelbor*>(parent)
                                                            : nullptr;
}

void BCompartment::setOwnerField(BCompartment* owner) {
  owner_ = owner;
  setModelCompileNeeded();
}

// --- names -------------------------------------------------------------------------

void BCompartment::errorForInvalidName(const std::string& name,
                                       const KelborComponent* model) const {
  errorForInvalidNameStatic(name, model);
}

void BCompartment::errorForInvalidNameStatic(const std::string& name,
                                             const KelborComponent* model) {
  KelborComponent::errorForInvalidNameStatic(name, model);
  if (name.empty() || name == "null" || name.find("->") != std::string::npos) {
    kstr_error("Kestrion:INVALIDNAME_RESERVED",
               kstr::code(kstr::MessageCode::KS_INVALIDNAME_RESERVED));
  }
  if (model && model->getEnumType() == kstr::kstrmodel &&
      static_cast<const Kelbor*>(model)->isComponentNameInUse(name, kstr::compartment)) {
    kstr_error("Kestrion:KS_COMPARTMENT_DUPLICATE_NAME",
               kstr::code(kstr::MessageCode::KS_COMPARTMENT_DUPLICATE_NAME));
  }
}

void BCompartment::checkNamesCanJoin(const kstrVector<const char*>& names, const Kelbor& model,
                                     const char* duplicateId) {
  for (const char* name : names) {
    if (!*name) {
      kstr_error("Kestrion:INVALIDNAME_RESERVED",
                 kstr::code(kstr::MessageCode::KS_INVALIDNAME_RESERVED));
    }
  }
  bool clash = model.isAnyComponentNameInUse(names, kstr::compartment);
  std::set<std::string> seen;
  for (const char* name : names) clash = clash || !seen.insert(name).second;
  if (clash) kstr_error(duplicateId, kstr::code(kstr::MessageCode::KS_COMPARTMENT_DUPLICATE_NAME));
}

// --- quantity ----------------------------------------------------------------------

void BCompartment::verifyValue(double capacity) const {
  if (!(capacity >= 0.0 && std::isfinite(capacity))) {
    kstr_error("Kestrion:COMPARTMENT_INVALID_CAPACITY",
               kstr::code(kstr::MessageCode::KS_COMPARTMENT_INVALIDCAPACITY));
  }
}

void BCompartment::setUnits(const std::string& units) {
  std::string trimmed = units;
  STDStringHelpers::trimWhitespace(trimmed);
  if (trimmed.empty()) {
    // No units do not need a recompile: the quantity base marks the model
    // when it stores, so the model's flag is put back afterwards.
    Kelbor* model = getModel();
    const bool compileNeeded = model && model->getCompileNeeded();
    QuantityComponent::setUnits(trimmed);
    if (model) model->setCompileNeeded(compileNeeded);
    spatialDimensions_ = 3;
    return;
  }
  const size_t dimensions = checkedSpatialDimensions(trimmed);
  QuantityComponent::setUnits(trimmed);
  spatialDimensions_ = dimensions;
}

void BCompartment::setSpatialDimensionsWithoutUnits(size_t dimensions) {
  if (getUnits().empty() && dimensions <= 3) spatialDimensions_ = dimensions;
}

void BCompartment::verifyUnits(const std::string& units) const { verifyUnitsStatic(units); }

void BCompartment::verifyUnitsStatic(const std::string& units) {
  std::string trimmed = units;
  STDStringHelpers::trimWhitespace(trimmed);
  if (!trimmed.empty()) checkedSpatialDimensions(trimmed);
}

// --- tree queries --------------------------------------------------------------------

uint64_t BCompartment::getNumSpeciesInTree() const {
  uint64_t count = species_.size();
  for (const BCompartment* sub : compartments_) count += sub->getNumSpeciesInTree();
  return count;
}

uint64_t BCompartment::getNumCompartmentsInTree() const {
  uint64_t count = compartments_.size();
  for (const BCompartment* sub : compartments_) count += sub->getNumCompartmentsInTree();
  return count;
}

BSpecies* BCompartment::getSpeciesInTreeAt(uint64_t index) const {
  return getSpeciesInTreeAtLocal(index);
}

BSpecies* BCompartment::getSpeciesInTreeAtLocal(uint64_t& index) const {
  for (const BCompartment* sub : compartments_) {
    if (BSpecies* found = sub->getSpeciesInTreeAtLocal(index)) return found;
  }
  if (index < species_.size()) return species_.items()[index];
  index -= species_.size();
  return nullptr;
}

BCompartment* BCompartment::getCompartmentInTreeAt(uint64_t index) {
  return getCompartmentInTreeAtLocal(index);
}

BCompartment* BCompartment::getCompartmentInTreeAtLocal(uint64_t& index) {
  for (BCompartment* sub : compartments_) {
    if (BCompartment* found = sub->getCompartmentInTreeAtLocal(index)) return found;
  }
  if (index == 0) return this;
  --index;
  return nullptr;
}

void BCompartment::getAllDescendantSpecies(SpeciesList* out) {
  out->insert(out->end(), species_.items().begin(), species_.items().end());
  for (BCompartment* sub : compartments_) sub->getAllDescendantSpecies(out);
}

void BCompartment::getAllDescendantSpeciesOBIs(Vector* out) {
  for (const BSpecies* species : species_.items()) {
    if (species->getOBI()) appendToHandleVector(species->getOBI(), out);
  }
  for (BCompartment* sub : compartments_) sub->getAllDescendantSpeciesOBIs(out);
}

void BCompartment::getAllDescendantCompartments(CompartmentList* out) const {
  for (BCompartment* sub : compartments_) {
    out->push_back(sub);
    sub->getAllDescendantCompartments(out);
  }
}

void BCompartment::getNamesInTree(kstrVector<const char*>& names) const {
  for (const BCompartment* sub : compartments_) {
    names.push_back(sub->getName().c_str());
    sub->getNamesInTree(names);
  }
}

bool BCompartment::isCompartmentNameInUse(const std::string& name) const {
  return std::any_of(compartments_.begin(), compartments_.end(),
                     [&](const BCompartment* sub) { return sub->getName() == name; });
}

bool BCompartment::isOwnerObjADescendant(const BCompartment* candidate) const {
  for (const BCompartment* c = candidate; c; c = c->owner_) {
    if (c == this) return true;
  }
  return false;
}

// --- the species name index ------------------------------------------------------------

BSpecies* BCompartment::getNamedSpecies(const std::string& name) const {
  std::string trimmed = name;
  STDStringHelpers::trimWhitespace(trimmed);
  BSpecies* first = nullptr;
  bool several = false;
  auto range = speciesByName_.equal_range(trimmed);
  for (auto it = range.first; it != range.second; ++it) {
    if (!it->second || it->second->getName() != trimmed) continue;
    several = several || first;
    if (!first) first = it->second;
  }
  if (!several) return first;
  // Several species share the name: the first in list order wins.
  for (BSpecies* species : species_.items()) {
    if (species->getName() == trimmed) return species;
  }
  return first;
}

bool BCompartment::isSpeciesNameInUse(const std::string& name, const BSpecies* skip) const {
  auto range = speciesByName_.equal_range(name);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second && it->second != skip && it->second->getName() == name) return true;
  }
  return false;
}

void BCompartment::speciesNameChanged(BSpecies* species, const std::string& oldName) {
  if (species->getName() == oldName) return;
  auto range = speciesByName_.equal_range(oldName);
  auto it = std::find_if(range.first, range.second,
                         [&](const auto& entry) { return entry.second == species; });
  if (it == range.second) return;
  speciesByName_.erase(it);
  speciesByName_.emplace(species->getName(), species);
}

void BCompartment::eraseFromIndex(BSpecies* species, const std::string& name) {
  // Equal names are adjacent; the species' own entry is mostly the first.
  auto it = speciesByName_.find(name);
  while (it != speciesByName_.end() && it->first == name && it->second != species) ++it;
  if (it == speciesByName_.end() || it->second != species) {
    // The entry is under a name the species no longer has (its name was
    // copied over by an assignment): look for it by identity.
    it = std::find_if(speciesByName_.begin(), speciesByName_.end(),
                      [&](const auto& entry) { return entry.second == species; });
    if (it == speciesByName_.end()) return;
  }
  it->second = nullptr;
  ++leftSpeciesEntries_;
  if (kstr::isWorthCompacting(leftSpeciesEntries_, speciesByName_.size())) {
    try {
      rebuildSpeciesIndex();
    } catch (const std::bad_alloc&) {
      // The emptied entries stay until the next rebuild; they answer nothing.
    }
  }
}

// The new index is complete before it replaces the old one: running out of
// memory leaves the old one whole.
void BCompartment::rebuildSpeciesIndex() {
  SpeciesNameIndex rebuilt;
  rebuilt.reserve(species_.size());
  for (BSpecies* species : species_.items()) rebuilt.emplace(species->getName(), species);
  speciesByName_.swap(rebuilt);
  leftSpeciesEntries_ = 0;
}

// --- delete guard and display ------------------------------------------------------------

bool BCompartment::isOKToDestroy() const {
  if (!getParent()) return true;
  if (!compartments_.empty()) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KS_DELETE_COMPARTMENT",
                  kstr::code(kstr::MessageCode::KS_DELETE_COMPARTMENT_WITH_COMPARTMENTS));
    return false;
  }
  Kelbor* model = getParentModel();
  if (model && model->isAnySpeciesUsedByReactions(species_.items())) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KS_DELETE_COMPARTMENT_SPECIES_BEING_USED",
                  kstr::code(kstr::MessageCode::KS_DELETE_COMPARTMENT_SPECIES_BEING_USED));
    return false;
  }
  return true;
}

void BCompartment::display() const {
  hbPrintf("\n");
  hbPrintf("   Kestrion Compartment - %s \n\n", getName().c_str());
  hbPrintf("   Compartment Components:\n");
  hbPrintf("     Capacity:          %g\n", getInitialValue());
  hbPrintf("     CapacityUnits:     %s\n", getUnits().c_str());
  hbPrintf("     Compartments:      %d\n", static_cast<int>(compartments_.size()));
  hbPrintf("     ConstantCapacity:  %s\n", getConstantValue() ? "true" : "false");
  hbPrintf("     Owner:             %s\n", owner_ ? owner_->getName().c_str() : "");
  hbPrintf("     Species:           %d\n", static_cast<int>(species_.size()));
  hbPrintf("\n");
}

void BCompartment::display(const CompartmentList* compartments) {
  std::vector<CompartmentRow> rows;
  size_t nameWidth = 5;
  size_t capacityWidth = 9;
  if (compartments) {
    for (const BCompartment* c : *compartments) {
      rows.push_back({c->getName(), c->getInitialValue(), c->getUnits()});
      nameWidth = std::max(nameWidth, c->getName().size());
      capacityWidth = std::max(capacityWidth, formatNumber(c->getInitialValue()).size());
    }
  }
  printCompartmentArrayTable(rows, nameWidth, capacityWidth);
}
