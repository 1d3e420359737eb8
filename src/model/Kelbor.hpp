#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>
#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"
#include "core/MemberList.hpp"
#include "host/HandleVector.hpp"
#include "model/ModelExpressionMessages.hpp"
#include "variants_doses/NamePartIndex.hpp"

class BCompartment;
class BEvent;
class BParameter;
class BReaction;
class BRule;
class BSpecies;
class CModelApi;
class Dose;
class ExpressionBasedComponent;
class KStrConfigurationSetApi;
struct SavedExpressions;
class KStrUuid;
class ODESimulationDataApi;
class SymbolTable;
class Variant;
class Vector;
class OBInterface;

// The model behind a host object; null for a null object or one whose
// component is not a model.
KELBOR_API Kelbor* kelborFromHandle(const OBInterface* instance);
// How many undoings of failed renames raised in turn (see
// Kelbor::restoreAfterFailedRename).
KELBOR_API size_t countFailedRenameRollbacks();
// Appends, with one reference each, the host objects of every species of the
// model's compartment tree, then of its parameters (model parameters first,
// then those of the reactions' kinetic laws): all of them with
// includeConstants, otherwise only those whose ConstantValue is false.  A
// handle that is no model appends nothing.
KELBOR_API void collectSpeciesAndParameterOBIs(const OBInterface* modelHandle, Vector* result,
                                               bool includeConstants);

// The model: holds one biochemical model's components by kind, owns the
// model's symbol table, keeps the configuration sets, variants and doses
// attached to it, renames components with undo data and knows whether it
// needs compiling.  It owns none of the components it lists.
class KELBOR_API Kelbor : public KelborComponent {
 public:
  using ComponentVectorPtr = boost::shared_ptr<std::vector<const KelborComponent*>>;
  using InUseCallback = boost::function<void(const KelborComponent*, uint64_t)>;

  Kelbor();
  ~Kelbor() override;
  Kelbor(const Kelbor&) = delete;
  Kelbor& operator=(const Kelbor&) = delete;

  const char* getType() const override { return "kstrmodel"; }
  kstr::bcomptype getEnumType() const override { return kstr::kstrmodel; }
  // A qualified name ends below the model.
  void fillPartiallyQualifiedName(std::string&) const override {}
  void fillDisplayQualifiedName(std::string&) const override {}

  // --- simulator data and identity --------------------------------------------
  void setODESimulationData(void* data) { odeSimulationData_ = data; }
  void* getODESimulationData() const { return odeSimulationData_; }
  void setODESimulationDataApi(ODESimulationDataApi* api);
  ODESimulationDataApi* getODESimulationDataApi() const { return odeSimulationDataApi_; }
  KStrUuid* getUuid() const { return uuid_; }
  void setUuid(KStrUuid* uuid);
  void setUuid(const char* text);
  ModelExpressionBasedComponentMessages& getModelExpressionBasedComponentMessages() {
    return expressionMessages_;
  }

  // --- component lists ------------------------------------------------------------
  kstrVector<BEvent*>* getEvents() { return &events_; }
  kstrVector<BReaction*>* getReactions() { return &reactions_.changeableItems(); }
  kstrVector<BRule*>* getRules() { return &rules_; }
  const kstrVector<BCompartment*>* getCompartments() const { return &compartments_.items(); }
  const kstrVector<BParameter*>* getParameters() const { return &parameters_.items(); }
  uint32_t getNumReactions() const { return static_cast<uint32_t>(reactions_.size()); }
  // The reaction's place in the list, or the number of reactions when it is
  // not there; hint is where the list last held it (kept up to date here),
  // so that a long list is not searched.
  size_t getReactionPosition(const BReaction* reaction, size_t& hint) const {
    return reactions_.positionOf(const_cast<BReaction*>(reaction), hint);
  }
  uint32_t getNumEvents() const { return static_cast<uint32_t>(events_.size()); }
  uint32_t getNumRules() const { return static_cast<uint32_t>(rules_.size()); }
  uint32_t getNumParameters() const { return static_cast<uint32_t>(parameters_.size()); }
  BReaction* getReactionAt(int index) const { return reactions_.at(static_cast<size_t>(index)); }
  BEvent* getEventAt(int index) const { return events_[index]; }
  BRule* getRuleAt(int index) const { return rules_[index]; }
  BParameter* getParameterAt(uint32_t index) const { return parameters_.items()[index]; }
  // The nested-model list is kept but never handed out.
  const kstrVector<Kelbor*>* getModels() const { return nullptr; }
  uint32_t getNumModels() const { return 0; }
  Kelbor* getModelAt(uint32_t) const { return nullptr; }

  // Handles of the host Vectors that mirror the lists in the host tree.
  void setOBIEvents(Vector* handle);
  void setOBIModels(Vector* handle);
  void setOBIReactions(Vector* handle);
  void setOBIRules(Vector* handle);
  void setOBISpecies(Vector* handle);
  void setOBICompartments(Vector* handle);
  void setOBIParameters(Vector* handle) { obiParameters_ = handle; }
  // Each getter brings the Vector's elements up to date first (removals
  // are published to them lazily: host/HandleVector.hpp).
  Vector* getOBIEvents() const { return publishedHandleVector(obiEvents_); }
  Vector* getOBIModels() const { return publishedHandleVector(obiModels_); }
  Vector* getOBIReactions() const { return publishedHandleVector(obiReactions_); }
  Vector* getOBIRules() const { return publishedHandleVector(obiRules_); }
  Vector* getOBIParameters() const { return publishedHandleVector(obiParameters_); }
  Vector* getOBICompartments() const { return publishedHandleVector(obiCompartments_); }
  Vector* getOBISpecies() const { return publishedHandleVector(obiSpecies_); }
  // The same Vectors as held, for the engine's own additions and removals
  // through the handle-vector helpers, which answer from the index: their
  // elements may still hold removed members, so nothing reads them here.
  Vector* heldOBIEvents() const { return obiEvents_; }
  Vector* heldOBIReactions() const { return obiReactions_; }
  Vector* heldOBIRules() const { return obiRules_; }
  Vector* heldOBIParameters() const { return obiParameters_; }
  Vector* heldOBICompartments() const { return obiCompartments_; }

  // Replace a whole list; no parent, symbol-table or compile-needed effect.
  void setEvents(kstrVector<BEvent*> events) { events_ = std::move(events); }
  void setReactions(kstrVector<BReaction*> reactions) { reactions_.assign(reactions); }
  void setRules(kstrVector<BRule*> rules) { rules_ = std::move(rules); }
  // Replace a list by the given order and mark the model for recompilation.
  void reorderEvents(const kstrVector<BEvent*>& order);
  void reorderRules(const kstrVector<BRule*>& order);
  void reorderReactions(const kstrVector<BReaction*>& order);
  void reorderParameters(const kstrVector<BParameter*>& order);

  // --- adding and removing -----------------------------------------------------
  void addCompartment(BCompartment* compartment);
  // position: the compartment's place among the top-level ones when the
  // caller knows it (its handle's place in the model's handle vector), -1
  // otherwise; a wrong one costs a search.
  void removeCompartment(BCompartment* compartment, int position = -1);
  // A compartment tree built at once (as a read builds it): each pair puts
  // its first compartment below its second, as setting the owners pair by
  // pair would (an owner's members follow the order of the pairs), in time
  // proportional to the pairs and the model's compartments, however deep
  // the tree.  Every compartment named must be a top-level compartment of
  // this model, each first one in one pair only
  // ("Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL" otherwise), and owners
  // that come back to themselves raise
  // "Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT"; both before anything
  // changes.
  void nestCompartments(const kstrVector<std::pair<BCompartment*, BCompartment*>>& pairs);
  void addParameter(BParameter* parameter);
  // hint: the parameter's place in the model's list when the caller knows
  // it (its handle's position in the model's handle vector), -1 otherwise;
  // a hint that does not hold the parameter is ignored.
  void removeParameter(BParameter* parameter, int hint = -1);
  void removeAllParameters();
  // Raises "Kestrion:DuplicateReactionName" when a reaction already has the
  // (non-empty) name; the model is then unchanged.
  void addReaction(BReaction* reaction);
  void removeReaction(BReaction* reaction);
  void addRule(BRule* rule);
  void deleteRule(BRule* rule);
  void addEvent(BEvent* event);
  void deleteEvent(BEvent* event);
  // Appends a nested model and links it to this model as its parent; the
  // nested model keeps its own model data.
  void addModel(Kelbor* model);
  void deleteModel(Kelbor* model);
  // The references that name kinetic-law parameters of unnamed reactions
  // through the reactions' default names ("UnnamedReaction_2.kf"), each with
  // the parameter it denotes and the name it is written with: expressions
  // (through the symbol table), variant entries and dose duration names.
  // Taken before the default names move (a reaction ahead of others
  // removed, the list reordered); followDefaultNames then rewrites those
  // whose parameter now answers another default name, so that none comes
  // to denote another reaction's parameter.
  struct DefaultNameReferences {
    std::vector<std::pair<const KelborComponent*, std::string>> parameters;
    struct Entry {
      Variant* variant;
      size_t index;
      const KelborComponent* parameter;
    };
    std::vector<Entry> variantEntries;
    std::vector<std::pair<Dose*, const KelborComponent*>> doses;
  };
  DefaultNameReferences collectDefaultNameReferences() const;
  void followDefaultNames(const DefaultNameReferences& before);
  // Enter / remove a component in the symbol table (and tell the reactions
  // when the model passes between one and several compartments).
  void componentAdded(KelborComponent* component);
  void componentRemoved(KelborComponent* component);

  // --- tree queries -------------------------------------------------------------
  virtual uint64_t getNumCompartmentsInTree() const;
  // getNumCompartmentsInTree() >= 2, told from the top of the tree alone
  // (constant time).
  virtual bool hasSeveralCompartments() const;
  // The 0-based place of a reaction, rule or event in the model's list of its
  // kind, or -1 when it is in none.  Logarithmic on average: an index rebuilt
  // on the first call after one of the three lists changed.
  int getListPosition(const KelborComponent* component) const;
  uint32_t getNumSpeciesInTree() const;
  BSpecies* getSpeciesInTreeAt(uint64_t index) const;
  BCompartment* getCompartmentInTreeAt(uint64_t index) const;
  // New vectors owned by the caller.
  kstrVector<BSpecies*>* getAllSpeciesInTree() const;
  kstrVector<BCompartment*>* getAllCompartmentsInTree() const;
  Vector* getSpeciesOBIs() const;
  BCompartment* getNamedCompartment(const std::string& name) const;
  BCompartment* anyCompartmentUsingName(const std::string& name) const;
  BParameter* anyModelParameterUsingName(const std::string& name) const;
  // Whether a reaction holds one of the species as a reactant or product;
  // asks only the reactions listening to them (every reaction listens to
  // the species its equation names), not every reaction of the model.
  bool isAnySpeciesUsedByReactions(const kstrVector<BSpecies*>& species) const;
  void findAllSpeciesAndParams(kstrVector<BSpecies*>& species,
                               kstrVector<BParameter*>& parameters,
                               bool includeConstants) const;
  // The component of the kind that a partially qualified name denotes.
  KelborComponent* getPartiallyQualifiedComponent(const std::string& name,
                                                  kstr::bcomptype kind) const;
  // The model parameter of that name (a logarithmic lookup), or null.
  KelborComponent* findModelParameter(const std::string& name) const;
  // The first reaction of the list whose name (or default name, when it
  // has none) is the name, or null; a logarithmic lookup when it is found.
  BReaction* findReaction(const std::string& name) const;
  KelborComponent* getPartiallyQualifiedComponentApi(const std::string& name,
                                                     kstr::bcomptype kind) const {
    return getPartiallyQualifiedComponent(name, kind);
  }

  // --- names and the symbol table ------------------------------------------------
  SymbolTable* getSymbolTable() const { return symbolTable_; }
  bool isBeingDestroyed() const;
  bool isComponentNameInUse(const std::string& name, kstr::bcomptype kind) const;
  bool isComponentNameInUse(const std::string& name, std::initializer_list<kstr::bcomptype> kinds) const;
  bool isAnyComponentNameInUse(const kstrVector<const char*>& names, kstr::bcomptype kind) const;
  KelborComponent* resolveSymbol(const std::string& name, ExpressionBasedComponent* scope);
  KelborComponent* resolveSymbol(const std::string& name, BReaction* scope);
  KelborComponent* resolveSymbolAndListen(const std::string& name,
                                          ExpressionBasedComponent* listener);
  KelborComponent* resolveSymbolAndListen(const std::string& name, BReaction* listener);
  // resolveSymbolAndListen (in the listener's reaction scope when
  // reactionScope) that also sets `candidates` to the size of what
  // resolveSymbolWithCollisions lists in that scope, from the same lookups.
  // False, with nothing resolved or counted, while the model is destroyed.
  bool resolveSymbolListenAndCount(const std::string& name, ExpressionBasedComponent* listener,
                                   bool reactionScope, KelborComponent*& found, size_t& candidates);
  KelborComponent* reResolveSymbolAndListen(const std::string& oldName,
                                            const std::string& newName,
                                            ExpressionBasedComponent* listener);
  KelborComponent* reResolveSymbolAndListen(const std::string& oldName,
                                            const std::string& newName, BReaction* listener);
  ComponentVectorPtr resolveSymbolsAndListen(const std::set<std::string>& release,
                                             const std::set<std::string>& resolve,
                                             ExpressionBasedComponent* listener);
  ComponentVectorPtr resolveSymbolsAndListen(const std::set<std::string>& release,
                                             const std::set<std::string>& resolve,
                                             BReaction* listener);
  ComponentVectorPtr resolveSymbolWithCollisions(const std::string& name,
                                                 ExpressionBasedComponent* scope);
  ComponentVectorPtr resolveSymbolWithCollisions(const std::string& name, BReaction* scope);
  std::vector<const ExpressionBasedComponent*> getComponentListeners(
      const KelborComponent* component) const;
  void printSymbolTable() const;

  // --- renames ---------------------------------------------------------------------
  // Called before a component takes its new name: rewrites every expression,
  // variant and dose that names it.
  virtual void componentRename(const KelborComponent* component, const std::string& newName);
  // The undoable form: variants and expressions only; returns the record
  // that reverses it.
  virtual quorvix::type_defs::RenameUndoData componentRename(
      const KelborComponent* component, const std::string& newName,
      const quorvix::type_defs::RenameUndoData& undo);
  // Called after a component's name changed: re-keys it in the symbol table.
  virtual void componentNameChanged(KelborComponent* component, std::string oldName,
                                    const std::string& oldPartiallyQualifiedName);
  // What a rename of the component to newName may change, taken before it
  // changes anything: its name; what each expression-based component that
  // uses it (for a compartment, that uses its species too), or that uses
  // another component holding the new or the old name, saves of itself (the
  // texts of its expressions; for a reaction also its equation and its
  // kinetic law's variable names); the names of the variant entries that
  // hold its name as a part, by entry index; the target and duration
  // parameter names of the doses that hold its name.  Its size follows the
  // component's users, not the model's size.
  struct RenameSnapshot {
    std::string name;
    std::vector<std::pair<ExpressionBasedComponent*, boost::shared_ptr<SavedExpressions>>> users;
    std::vector<std::pair<Variant*, std::vector<std::pair<size_t, std::string>>>> variantEntries;
    std::vector<std::pair<Dose*, std::pair<std::string, std::string>>> doseReferences;
  };
  RenameSnapshot snapshotForRename(const KelborComponent* component, const std::string& newName) const;
  // Raises "Kestrion:RenameChangesMeaning", before anything changes, when
  // renaming the component to newName would make a token of a formula that
  // uses the component, or that holds the new name, denote another
  // component than it does now (a species taking over a parameter's bare
  // name, a parameter renamed to a compartment's name).  A token that
  // denotes nothing yet may come to denote the component; a bare species
  // name that becomes ambiguous is qualified as usual.
  void checkRenameKeepsMeaning(const KelborComponent* component, const std::string& newName);
  // Puts back what a rename that raised part way changed: the name (which
  // re-keys the component in the symbol table), then what each user saved
  // (its expressions resolve again), the variant entries and the doses'
  // references.  A part that raises does not stop the parts after it; the
  // undoing is then counted once (countFailedRenameRollbacks) and warned as
  // "Kestrion:RenameRollbackFailed" with the first error; nothing leaves, so
  // the rename's own error is the one the caller hears.
  void restoreAfterFailedRename(KelborComponent* component,
                                const RenameSnapshot& snapshot) noexcept;
  // True while a rename runs through the model's expressions, variants and
  // doses.  The host's listeners may run meanwhile; the delete guards refuse
  // to destroy the model or its components until the rename is done.
  bool isPropagatingRename() const { return renamesInProgress_ > 0; }
  // The listed variants and doses filed under the name the component is
  // written with (its name, or an unnamed reaction's default name): all
  // that may name it.
  std::vector<const Variant*> variantsNaming(const KelborComponent* component) const;
  std::vector<const Dose*> dosesNaming(const KelborComponent* component) const;

  // --- configuration sets, variants, doses -------------------------------------------
  void addConfigSet(KStrConfigurationSetApi* set);
  KStrConfigurationSetApi* removeConfigSet(const std::string& name);
  KStrConfigurationSetApi* getConfigSet(const std::string& name) const;
  bool isConfigSetAttached(const std::string& name) const;
  void getConfigSetNames(std::vector<std::string>* names) const;
  void setActiveConfigSet(const std::string& name);
  KStrConfigurationSetApi* getActiveConfigSet() const;
  const std::string& getActiveConfigSetName() const { return activeConfigSetName_; }
  void updateCSName(const std::string& oldName, const std::string& newName);
  // The name a copy of a set named name takes in this model: name itself
  // when no set bears it, else the first of name + "_1", "_2", ... that no
  // set bears.  Repeated copies of one set do not search the suffixes
  // already taken again.
  std::string freeConfigSetName(const std::string& name);
  // Puts fresh in the place of the attached set old (same position, the
  // active name unchanged): old is detached from the model, fresh attached.
  // Nothing when old is not attached or fresh is null.
  void replaceConfigSet(KStrConfigurationSetApi* old, KStrConfigurationSetApi* fresh);
  // The "default" set that the model's host class made for a new model,
  // while it is attached and has not been replaced (null otherwise: removing
  // or replacing it forgets it).
  KStrConfigurationSetApi* getAutoDefaultConfigSet() const;
  void setAutoDefaultConfigSet(KStrConfigurationSetApi* set) { autoDefaultConfigSet_ = set; }
  const kstrVector<KStrConfigurationSetApi*>& getConfigSets() const { return configSets_; }
  // Takes the set out of the list without a warning and clears its model;
  // a set that is not listed only loses its model.
  void forgetConfigSet(KStrConfigurationSetApi* set);
  // A species or parameter goes: its host object leaves the states to log
  // and the sensitivity lists of every set (logarithmic in each list).
  // Nothing while the model itself is being destroyed.
  void removeStateFromConfigSets(OBInterface* instance, const KelborComponent* component);

  void addVariant(const Variant* variant);
  void removeVariant(const Variant* variant);
  const Variant* getVariant(const std::string& name) const;
  const Variant* getVariantAt(uint64_t index) const { return variants_[index]; }
  uint64_t getNumVariants() const { return variants_.size(); }
  bool containsVariant(const Variant* variant) const;
  void fillActiveVariants(kstrVector<const Variant*>& out) const;
  void addDose(const Dose* dose);
  void removeDose(const Dose* dose);
  const Dose* getDose(const std::string& name) const;
  const Dose* getDoseAt(uint64_t index) const { return doses_[index]; }
  uint64_t getNumDoses() const { return doses_.size(); }
  bool containsDose(const Dose* dose) const;
  void fillActiveDoses(kstrVector<const Dose*>& out) const;
  // The variants, then the doses, that refer to the component.
  std::vector<const KelborComponent*> getComponentReferences(
      const KelborComponent* component) const;
  // The model's index of the name parts its variants' entries and its
  // doses' references hold (see variants_doses/NamePartIndex.hpp): a
  // listed variant or dose files (held) each part before it holds it and
  // takes it out (not held) after it no longer does.  Filing may raise
  // std::bad_alloc with nothing filed; taking out never raises.
  void variantNamePartHeld(const Variant* variant, const std::string& part, bool held);
  void doseNamePartHeld(const Dose* dose, const std::string& part, bool held);
  // Takes the variant out of the index under every part it holds, and
  // clears its link to this model.
  void unfileVariant(const Variant* variant) noexcept;
  // Takes the dose out under every part (a walk of the whole index).
  void forgetDoseNameParts(const Dose* dose) noexcept { doseNames_.forget(dose); }

  // --- compile state -------------------------------------------------------------------
  bool getCompileNeeded() const { return compileNeeded_; }
  void setCompileNeeded(bool needed) { compileNeeded_ = needed; }
  // Checks what a compile cannot do without (verifyExpressions), then hands
  // the model to the compile manager (the active set when none is given);
  // the manager's finish always runs, also when compiling raised.
  void update(KStrConfigurationSetApi* set, const kstrVector<const Variant*>* variants,
              const kstrVector<const Dose*>* doses);
  // Stacks a message for each fault of the active reactions, rules and
  // events that no compile can get past: a rate, rule text, trigger or event
  // function that does not parse, a rate name that resolves to nothing and
  // an equation term bound to no species; then raises the first fault's
  // identifier with the texts of all of them, a line each (none stays
  // stacked).  A model without such faults passes.
  void verifyExpressions() const;
  bool canUseCachedModel(KStrConfigurationSetApi* set, const kstrVector<const Dose*>* doses) const;
  // Keeps the compiled model for the set and doses (when the feature switch
  // "KestriCacheCompiledModels" is on); a null set keeps nothing.
  void setCachedCModel(const boost::shared_ptr<CModelApi>& model, KStrConfigurationSetApi* set,
                       const kstrVector<const Dose*>& doses);
  boost::shared_ptr<CModelApi> getCachedCModel() const { return cachedModel_; }
  qxArray_tag* getQxEventTriggerCode() const;
  qxArray_tag* getQxEventFunctionCode() const;
  void setHasCachedPex(bool has) { hasCachedPex_ = has; }
  bool getHasCachedPex() const { return hasCachedPex_; }
  void setLoadingSpeciesIntoModel(bool loading) { loadingSpecies_ = loading; }
  bool getLoadingSpeciesIntoModel() const { return loadingSpecies_; }

  // --- desktop events -------------------------------------------------------------------
  bool getSendExpressionEvents(kstr::bcomptype kind) const;
  void setSendExpressionEvents(bool on, kstr::bcomptype kind);
  bool getSendInUseEvents() const { return !inUseCallback_.empty(); }
  void setSendInUseEvents(bool on);
  virtual void notifyComponentInUseCountChange(const KelborComponent* component, bool deleted);
  // Marks the model (and its nested models) as being destroyed: from then
  // on components torn down one by one do not update each other.
  void notifyModelBeingDestroyed();
  void printEBCsAndListeners() const;

 private:
  int renamesInProgress_ = 0;
  const std::string& getCSUsedToCreateCachedCModel() const { return cachedConfigSetName_; }
  KStrConfigurationSetApi* findConfigSet(const std::string& name) const;
  // A name leaves the list of sets: the search for free copy names of its
  // stem starts no later than its suffix again.
  void configSetNameFreed(const std::string& name);
  // The expression-based components a rename of the component to newName
  // may rewrite: its listeners, those of its children (a compartment's
  // species, a reaction's kinetic-law parameters) and those of every other
  // holder of the new or the old name.
  std::set<ExpressionBasedComponent*> renameUsers(const KelborComponent* component, const std::string& newName) const;
  void tellReactionsAboutCompartments(bool multiple);
  void tellReactionsOnCompartmentCrossing();
  void enterCompartmentSubtree(BCompartment* compartment);
  void listsChanged() { listPositionsStale_ = true; }

  void* odeSimulationData_ = nullptr;
  ODESimulationDataApi* odeSimulationDataApi_ = nullptr;
  KStrUuid* uuid_ = nullptr;
  ModelExpressionBasedComponentMessages expressionMessages_;
  kstrVector<BEvent*> events_;
  kstrVector<Kelbor*> models_;
  kstr::MemberList<BReaction*> reactions_;
  kstrVector<BRule*> rules_;
  kstr::MemberList<BParameter*> parameters_;
  kstr::MemberList<BCompartment*> compartments_;
  Vector* obiEvents_ = nullptr;
  Vector* obiModels_ = nullptr;
  Vector* obiReactions_ = nullptr;
  Vector* obiRules_ = nullptr;
  Vector* obiParameters_ = nullptr;
  Vector* obiCompartments_ = nullptr;
  Vector* obiSpecies_ = nullptr;
  kstrVector<KStrConfigurationSetApi*> configSets_;
  // The attached sets by name, and per name the suffix from which the
  // search for a free copy name starts (every lower one is taken).
  std::unordered_map<std::string, KStrConfigurationSetApi*> configSetsByName_;
  std::unordered_map<std::string, unsigned> configSetNameSuffixes_;
  kstrVector<const Variant*> variants_;
  kstrVector<const Dose*> doses_;
  kstr::variants::NamePartIndex<Variant> variantNames_;
  kstr::variants::NamePartIndex<Dose> doseNames_;
  std::string activeConfigSetName_;
  KStrConfigurationSetApi* autoDefaultConfigSet_ = nullptr;
  boost::shared_ptr<CModelApi> cachedModel_;
  std::string cachedConfigSetName_;
  kstrVector<const Dose*> cachedDoses_;
  bool loadingSpecies_ = false;
  bool sendRuleEvents_ = false;
  bool sendReactionEvents_ = false;
  bool sendEventEvents_ = false;
  bool compileNeeded_ = true;
  bool hasCachedPex_ = false;
  // Whether the reactions were last told that the model has several
  // compartments.
  bool reactionsToldMultiple_ = false;
  SymbolTable* symbolTable_ = nullptr;
  InUseCallback inUseCallback_;
  mutable std::unordered_map<const KelborComponent*, int> listPositions_;
  mutable bool listPositionsStale_ = true;
};
