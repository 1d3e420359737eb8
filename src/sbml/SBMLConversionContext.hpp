// The state shared by the converters of one SBML read or write: which
// converter stands for which SBML identifier, the names species and
// parameters got in the model, the unit-identifier maps, the model being
// read or written and what is known of the file.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <ks_utils/Version.hpp>

#include "core/KelborApi.hpp"
#include "expressions/NodeKeyIndex.hpp"

class OBInterface;
class SBMLComponent;

#include "sbml/SBMLForward.hpp"

class KELBOR_API SBMLConversionContext {
 public:
  SBMLConversionContext();
  // Deletes every registered converter once (a converter entered under two
  // keys is deleted once).
  ~SBMLConversionContext();
  SBMLConversionContext(const SBMLConversionContext&) = delete;
  SBMLConversionContext& operator=(const SBMLConversionContext&) = delete;

  // --- converter registries (the first entry for an id wins) ---------------
  void registerCompartmentConverter(const std::string& id, SBMLComponent* converter);
  void registerSpeciesConverter(const std::string& id, SBMLComponent* converter);
  void registerParameterConverter(const std::string& id, SBMLComponent* converter);
  // A kinetic law's own parameter, under the reaction's id and its own: a
  // law's ids only need to be unique within the law.
  void registerLocalParameterConverter(const std::string& reactionId, const std::string& id,
                                       SBMLComponent* converter);
  // Takes ownership of a converter that is registered under no id (it is
  // deleted with the context).
  void adoptConverter(SBMLComponent* converter);
  SBMLComponent* findCompartmentConverter(const std::string& id) const;
  SBMLComponent* findSpeciesConverter(const std::string& id) const;
  SBMLComponent* findParameterConverter(const std::string& id) const;
  SBMLComponent* findLocalParameterConverter(const std::string& reactionId, const std::string& id) const;
  // Makes room for that many ids in the registries and the name maps.
  void reserve(size_t ids);
  // The converters of each kind registered under an id, found in one
  // lookup, or null when no kind has the id.
  struct Converters {
    SBMLComponent* compartment = nullptr;
    SBMLComponent* species = nullptr;
    SBMLComponent* parameter = nullptr;
  };
  const Converters* findConverters(const std::string& id) const;

  // --- names of species and model parameters ---------------------------------
  // Enters id -> name unless the id is present.
  void addParameterName(const std::string& id, const std::string& name);
  // The first id entered with exactly that name, or null.
  const std::string* findParameterIdByName(const std::string& name) const;

  // The next suffix to try for a name under that key (1 at first); the
  // caller moves it on.
  unsigned long& nameSuffixCounter(const std::string& key) { return nameSuffixes_.try_emplace(key, 1).first->second; }

  // --- units -------------------------------------------------------------------
  // The last call for an id wins.
  void setHostUnitForSBMLUnit(const std::string& sbmlId, const std::string& hostName);
  // The host unit name for an SBML unit id, or null.
  const std::string* findHostUnitForSBMLUnit(const std::string& sbmlId) const;
  // An SBML unit kind stands for itself; a unit already written gives its
  // id; otherwise out is left unchanged.
  void findSBMLUnitForHostUnit(const std::string& hostName, std::string& out) const;
  void setSBMLUnitForHostUnit(const std::string& hostName, const std::string& sbmlId);
  static bool isPredefinedSBMLUnitId(const std::string& id);

  // --- metaids of the document being written ----------------------------------
  // wanted when it is a valid XML ID no element of the document has yet;
  // otherwise base (its characters an ID cannot hold made "_") followed by
  // "_" and the first number that gives an unused one.  The metaid returned
  // counts as used from then on.
  std::string claimMetaId(const std::string& wanted, const std::string& base);

  // --- numbers of the document being written -----------------------------------
  // Every double the write sets on the document and every formula it copies
  // into it are noted here (SBMLNumberText.hpp): whether one of them needs
  // more digits than libSBML's 15, and how many levels the deepest formula
  // has.  While none needs more, the text is written without looking
  // through the document again.
  void noteWrittenNumber(bool needsMoreDigits) {
    writtenNeedsMoreDigits_ = writtenNeedsMoreDigits_ || needsMoreDigits;
  }
  void noteWrittenMath(size_t levels, bool needsMoreDigits) {
    if (levels > deepestWrittenMath_) deepestWrittenMath_ = levels;
    noteWrittenNumber(needsMoreDigits);
  }
  bool writtenNeedsMoreDigits() const { return writtenNeedsMoreDigits_; }
  size_t deepestWrittenMath() const { return deepestWrittenMath_; }

  // --- variables of the rules written ------------------------------------------
  // Notes that a rule (an assignment rule when assignment) is written for the
  // id; false, noting nothing, when a rule is written for it already.
  bool noteRuleVariable(const std::string& id, bool assignment);
  bool hasAssignmentRuleFor(const std::string& id) const;
  // Notes an id that an event to be written assigns.
  void noteEventVariable(const std::string& id) { eventVariables_.insert(id); }
  bool isEventVariable(const std::string& id) const { return eventVariables_.count(id) != 0; }

  // --- the model and the file --------------------------------------------------
  const std::string& getModelId() const { return modelId_; }
  void setModelId(const std::string& id) { modelId_ = id; }
  // Borrowed; the drivers and the model converter manage its reference.
  OBInterface* getModelHandle() const { return modelHandle_; }
  void setModelHandle(OBInterface* handle) { modelHandle_ = handle; }
  Model* getSBMLModel() const { return sbmlModel_; }
  void setSBMLModel(Model* model) { sbmlModel_ = model; }
  bool getWithoutUnitDefinitions() const { return withoutUnitDefinitions_; }
  void setWithoutUnitDefinitions(bool on) { withoutUnitDefinitions_ = on; }
  unsigned getSBMLLevel() const { return level_; }
  void setSBMLLevel(unsigned level) { level_ = level; }
  const KestrionVersion& getToolVersion() const { return toolVersion_; }
  bool isToolVersionPresent() const { return toolVersionPresent_; }
  void setToolVersion(const KestrionVersion& version, bool present) {
    toolVersion_ = version;
    toolVersionPresent_ = present;
  }
  // True when the version read (the no-version value when none was) is
  // below major.minor.patch.
  bool isToolVersionBelow(int major, double minor, double patch) const;

 private:
  // Values by string key, entered once and never taken out: the entries
  // lie in one sequence in the order entered, found through a flat hash of
  // their keys, so that a lookup touches its slot and its entry where a
  // node-based hash also reads the node before it.  A read enters one or
  // two per component and looks each up from every reference to it.
  template <class Value>
  class FirstEntries {
   public:
    using Entry = std::pair<const std::string, Value>;

    Entry* find(std::string_view key) const {
      Entry* const* found = index_.find(key);
      return found ? *found : nullptr;
    }
    // The key's entry, made with a default value when there was none
    // (second: whether it was made).
    std::pair<Entry*, bool> enter(const std::string& key) {
      const size_t hash = kstr::NodeKeyIndex<Entry*>::hashOf(key);
      if (Entry* const* found = index_.find(key, hash)) return {*found, false};
      Entry& made = entries_.emplace_back(std::piecewise_construct, std::forward_as_tuple(key), std::forward_as_tuple());
      try {
        index_.enterAbsent(&made, hash);
      } catch (...) {
        entries_.pop_back();
        throw;
      }
      return {&made, true};
    }
    void reserve(size_t count) { index_.reserve(count); }
    const std::deque<Entry>& entries() const { return entries_; }

   private:
    std::deque<Entry> entries_;
    kstr::NodeKeyIndex<Entry*> index_;
  };

  // The converters of every kind an id has, and whether a name was entered
  // for it.
  struct IdEntry {
    Converters converters;
    bool named = false;
  };

  void enter(const std::string& id, SBMLComponent* Converters::*kind, SBMLComponent* converter);
  SBMLComponent* find(const std::string& id, SBMLComponent* Converters::*kind) const;

  // Compartments, species and parameters by SBML id.
  FirstEntries<IdEntry> ids_;
  std::vector<SBMLComponent*> adopted_;
  std::map<std::pair<std::string, std::string>, SBMLComponent*> localParameters_;
  // Name of a species or model parameter -> the first id entered with it.
  FirstEntries<std::string> idsByName_;
  std::unordered_map<std::string, unsigned long> nameSuffixes_;
  std::map<std::string, std::string> sbmlUnitIds_;
  std::map<std::string, std::string> hostUnitNames_;
  std::unordered_set<std::string> metaIds_;
  // Rule variable id -> whether its rule is an assignment rule.
  std::unordered_map<std::string, bool> ruleVariables_;
  std::unordered_set<std::string> eventVariables_;
  std::string modelId_;
  OBInterface* modelHandle_ = nullptr;
  Model* sbmlModel_ = nullptr;
  bool withoutUnitDefinitions_ = true;
  unsigned level_ = 2;
  KestrionVersion toolVersion_{};
  bool toolVersionPresent_ = false;
  bool writtenNeedsMoreDigits_ = false;
  size_t deepestWrittenMath_ = 0;
};
