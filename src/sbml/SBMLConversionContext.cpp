// The conversion context of one SBML read or write.
#include "sbml/SBMLConversionContext.hpp"

#include <algorithm>
#include <cctype>
#include <vector>

#include <sbml/SyntaxChecker.h>
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
  // Each distinct converter once, in address order (a list sorted once
  // instead of a hashed set of every converter).
  std::vector<SBMLComponent*> distinct;
  distinct.reserve(adopted_.size() + ids_.entries().size());
  for (const auto& [id, entry] : ids_.entries()) {
    const Converters& kinds = entry.converters;
    for (SBMLComponent* converter : {kinds.compartment, kinds.species, kinds.parameter}) {
      if (converter) distinct.push_back(converter);
    }
  }
  distinct.insert(distinct.end(), adopted_.begin(), adopted_.end());
  for (const auto& [key, converter] : localParameters_) distinct.push_back(converter);
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  for (SBMLComponent* converter : distinct) delete converter;
}

void SBMLConversionContext::enter(const std::string& id, SBMLComponent* Converters::*kind,
                                  SBMLComponent* converter) {
  SBMLComponent*& slot = ids_.enter(id).first->second.converters.*kind;
  if (!slot) slot = converter;
}

SBMLComponent* SBMLConversionContext::find(const std::string& id, SBMLComponent* Converters::*kind) const {
  const Converters* kinds = findConverters(id);
  return kinds ? kinds->*kind : nullptr;
}

void SBMLConversionContext::registerCompartmentConverter(const std::string& id,
                                                         SBMLComponent* converter) {
  enter(id, &Converters::compartment, converter);
}

void SBMLConversionContext::registerSpeciesConverter(const std::string& id,
                                                     SBMLComponent* converter) {
  enter(id, &Converters::species, converter);
}

void SBMLConversionContext::registerParameterConverter(const std::string& id,
                                                       SBMLComponent* converter) {
  enter(id, &Converters::parameter, converter);
}

void SBMLConversionContext::registerLocalParameterConverter(const std::string& reactionId, const std::string& id,
                                                            SBMLComponent* converter) {
  if (converter) localParameters_.emplace(std::make_pair(reactionId, id), converter);
}

SBMLComponent* SBMLConversionContext::findLocalParameterConverter(const std::string& reactionId,
                                                                  const std::string& id) const {
  auto it = localParameters_.find(std::make_pair(reactionId, id));
  return it == localParameters_.end() ? nullptr : it->second;
}

void SBMLConversionContext::reserve(size_t ids) {
  ids_.reserve(ids);
  idsByName_.reserve(ids);
}

void SBMLConversionContext::adoptConverter(SBMLComponent* converter) {
  if (converter) adopted_.push_back(converter);
}

const SBMLConversionContext::Converters* SBMLConversionContext::findConverters(const std::string& id) const {
  const auto* entry = ids_.find(id);
  return entry ? &entry->second.converters : nullptr;
}

SBMLComponent* SBMLConversionContext::findCompartmentConverter(const std::string& id) const {
  return find(id, &Converters::compartment);
}

SBMLComponent* SBMLConversionContext::findSpeciesConverter(const std::string& id) const {
  return find(id, &Converters::species);
}

SBMLComponent* SBMLConversionContext::findParameterConverter(const std::string& id) const {
  return find(id, &Converters::parameter);
}

void SBMLConversionContext::addParameterName(const std::string& id, const std::string& name) {
  bool& named = ids_.enter(id).first->second.named;
  if (named) return;
  named = true;
  const auto [entry, made] = idsByName_.enter(name);
  if (made) entry->second = id;
}

const std::string* SBMLConversionContext::findParameterIdByName(const std::string& name) const {
  const auto* entry = idsByName_.find(name);
  return entry ? &entry->second : nullptr;
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

namespace {

// The base with every character an XML ID cannot hold made "_", and "_"
// in front when it does not start with a letter or "_".
std::string asXmlId(const std::string& base) {
  std::string id;
  for (const char c : base) {
    const auto u = static_cast<unsigned char>(c);
    const bool allowed = u < 0x80 && (std::isalnum(u) || c == '_' || c == '-' || c == '.');
    id += allowed ? c : '_';
  }
  if (id.empty() || !(std::isalpha(static_cast<unsigned char>(id[0])) || id[0] == '_')) id.insert(0, "_");
  return id;
}

}  // namespace

std::string SBMLConversionContext::claimMetaId(const std::string& wanted, const std::string& base) {
  if (!wanted.empty() && SyntaxChecker::isValidXMLID(wanted) && metaIds_.insert(wanted).second) return wanted;
  std::string stem = asXmlId(base);
  if (!SyntaxChecker::isValidXMLID(stem)) stem = "metaid";
  if (SyntaxChecker::isValidXMLID(stem) && metaIds_.insert(stem).second) return stem;
  for (unsigned long n = 1;; ++n) {
    std::string candidate = stem + "_" + std::to_string(n);
    if (SyntaxChecker::isValidXMLID(candidate) && metaIds_.insert(candidate).second) return candidate;
  }
}

bool SBMLConversionContext::noteRuleVariable(const std::string& id, bool assignment) {
  return ruleVariables_.emplace(id, assignment).second;
}

bool SBMLConversionContext::hasAssignmentRuleFor(const std::string& id) const {
  const auto it = ruleVariables_.find(id);
  return it != ruleVariables_.end() && it->second;
}
