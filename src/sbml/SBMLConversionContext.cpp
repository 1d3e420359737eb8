// The conversion context of one SBML read or write.
#include "sbml/SBMLConversionContext.hpp"

#include <unordered_set>

#include <sbml/UnitKind.h>

#include "sbml/SBMLComponent.hpp"

namespace {

// The predefined SBML unit identifiers and how they read in the model.
constexpr const char* kPredefinedUnits[][2] = {
    {"substance", "mole"}, {"volume", "liter"}, {"area", "meter^2"},
    {"length", "meter"},   {"time", "second"},
};

}  // namespace

SBMLConversionContext::SBMLConversionContext() {
  for (const auto& pair : kPredefinedUnits) hostUnitNames_[pair[0]] = pair[1];
}

SBMLConversionContext::~SBMLConversionContext() {
  std::unordered_set<SBMLComponent*> distinct;
  for (const Registry* registry : {&compartments_, &species_, &parameters_}) {
    for (const auto& entry : *registry) distinct.insert(entry.second);
  }
  for (SBMLComponent* converter : adopted_) distinct.insert(converter);
  for (SBMLComponent* converter : distinct) delete converter;
}

void SBMLConversionContext::registerCompartmentConverter(const std::string& id,
                                                         SBMLComponent* converter) {
  compartments_.emplace(id, converter);
}

void SBMLConversionContext::registerSpeciesConverter(const std::string& id,
                                                     SBMLComponent* converter) {
  species_.emplace(id, converter);
}

void SBMLConversionContext::registerParameterConverter(const std::string& id,
                                                       SBMLComponent* converter) {
  parameters_.emplace(id, converter);
}

void SBMLConversionContext::adoptConverter(SBMLComponent* converter) {
  if (converter) adopted_.push_back(converter);
}

SBMLComponent* SBMLConversionContext::find(const Registry& registry, const std::string& id) {
  auto it = registry.find(id);
  return it == registry.end() ? nullptr : it->second;
}

SBMLComponent* SBMLConversionContext::findCompartmentConverter(const std::string& id) const {
  return find(compartments_, id);
}

SBMLComponent* SBMLConversionContext::findSpeciesConverter(const std::string& id) const {
  return find(species_, id);
}

SBMLComponent* SBMLConversionContext::findParameterConverter(const std::string& id) const {
  return find(parameters_, id);
}

void SBMLConversionContext::addParameterName(const std::string& id, const std::string& name) {
  if (componentNames_.emplace(id, name).second) idsByName_.emplace(name, id);
}

const std::string* SBMLConversionContext::findParameterIdByName(const std::string& name) const {
  auto it = idsByName_.find(name);
  return it == idsByName_.end() ? nullptr : &it->second;
}

void SBMLConversionContext::setHostUnitForSBMLUnit(const std::string& sbmlId,
                                                   const std::string& hostName) {
  hostUnitNames_[sbmlId] = hostName;
}

const std::string* SBMLConversionContext::findHostUnitForSBMLUnit(const std::string& sbmlId) const {
  auto it = hostUnitNames_.find(sbmlId);
  return it == hostUnitNames_.end() ? nullptr : &it->second;
}

void SBMLConversionContext::findSBMLUnitForHostUnit(const std::string& hostName,
                                                    std::string& out) const {
  if (UnitKind_isValidUnitKindString(hostName.c_str(), 2, 1)) {
    out = hostName;
    return;
  }
  auto it = sbmlUnitIds_.find(hostName);
  if (it != sbmlUnitIds_.end()) out = it->second;
}

void SBMLConversionContext::setSBMLUnitForHostUnit(const std::string& hostName,
                                                   const std::string& sbmlId) {
  sbmlUnitIds_[hostName] = sbmlId;
}

bool SBMLConversionContext::isPredefinedSBMLUnitId(const std::string& id) {
  for (const auto& pair : kPredefinedUnits) {
    if (id == pair[0]) return true;
  }
  return false;
}

bool SBMLConversionContext::isToolVersionBelow(int major, double minor, double patch) const {
  return toolVersion_ < KestrionVersion{major, minor, patch};
}
