#pragma once

#include <cstddef>
#include <cstdint>
#include <ks_utils/kstrContainers.hpp>
#include <map>
#include <unordered_map>
#include <string>

#include "core/KelborApi.hpp"
#include "core/MemberList.hpp"
#include "core/QuantityComponent.hpp"
#include "host/HandleVector.hpp"

class BSpecies;
class Kelbor;
class Vector;

// A compartment: a named region (volume, area or length) of a model that
// holds species and further compartments.  The compartments of a model form
// a forest: the model holds the top-level ones, each nested one is held by
// its owner compartment.  Every compartment of a model, at any depth, has
// the model as parent; a species has its compartment as parent.
//
// The quantity base holds the capacity ("Capacity", default 1.0), its units
// ("CapacityUnits", default none) and the constant flag ("ConstantCapacity",
// default true).  The compartment does not own its species, its
// sub-compartments or its two host handle vectors.
//
// Flat tree indices count from 0 and differ between operations:
//  - species-index order: the sub-compartments' trees first (in list
//    order), then the own species;
//  - compartment-index order (post-order): the sub-compartments' trees, then
//    the compartment itself;
//  - species-list order (pre-order): the own species, then each
//    sub-compartment's tree;
//  - compartment-list order (pre-order): each sub-compartment, then its
//    descendants.
//
// "Telling the model" below means Kelbor::componentAdded / componentRemoved
// on the model of the compartment's model data, when there is one; "marking"
// a component means setModelCompileNeeded on it.
class KELBOR_API BCompartment : public kstr::QuantityComponent {
 public:
  using SpeciesList = kstrVector<BSpecies*>;
  using CompartmentList = kstrVector<BCompartment*>;

  // Capacity 1.0, no units, constant capacity, no owner, empty lists,
  // spatial dimensions 3 and two new empty host handle vectors.
  BCompartment();
  // Member by member: the copy holds the same species, owner,
  // sub-compartments and host handle vectors as the original.
  BCompartment(const BCompartment& other);
  BCompartment& operator=(const BCompartment& other);
  // Frees the lists only: species, sub-compartments and host vectors stay.
  ~BCompartment() override;

  // --- names -----------------------------------------------------------------
  // Forwards to errorForInvalidNameStatic.  The compartment itself is not
  // skipped: its own current name counts as taken in its model.
  void errorForInvalidName(const std::string& name, const KelborComponent* model) const override;
  // Checks a compartment name, in this order:
  //  1. the common component checks (brackets, white space only, 'time');
  //  2. "Kestrion:INVALIDNAME_RESERVED" for an empty name, "null" and a name
  //     holding "->";
  //  3. with a model: "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME" when any
  //     compartment of the model, at any depth, has the name.
  // A model argument of another kind is not searched.
  static void errorForInvalidNameStatic(const std::string& name, const KelborComponent* model);
  // Checks the names of a compartment tree about to join the model: an
  // unnamed compartment raises "Kestrion:INVALIDNAME_RESERVED"; a name that a
  // compartment of the model holds, or that the tree holds twice, raises the
  // duplicate-name error under the given identifier.
  static void checkNamesCanJoin(const kstrVector<const char*>& names, const Kelbor& model,
                                const char* duplicateId);

  const char* getType() const override { return "compartment"; }
  kstr::bcomptype getEnumType() const override { return kstr::compartment; }

  // --- quantity --------------------------------------------------------------
  // "Kestrion:COMPARTMENT_INVALID_CAPACITY" unless 0 <= capacity < inf (NaN
  // is refused).
  void verifyValue(double capacity) const override;
  // Trims the text.  Empty: stores "" and spatial dimensions 3 without
  // marking.  Otherwise the unit must be a length (1 dimension), an area (2)
  // or a volume (3), else "Kestrion:COMPARTMENT_INVALID_CAPACITY_UNITS"; it
  // is stored and the compartment marked.  A refused text changes nothing;
  // a text the unit manager cannot parse raises the manager's error.
  void setUnits(const std::string& units) override;
  void verifyUnits(const std::string& units) const override;
  // The acceptance test of setUnits without storing anything.
  static void verifyUnitsStatic(const std::string& units);
  size_t getSpatialDimensions() const { return spatialDimensions_; }
  // The spatial dimensions (0 to 3) of a compartment without units, as a
  // file gives them; units set later give their own.  Values above 3 and a
  // compartment with units change nothing.
  void setSpatialDimensionsWithoutUnits(size_t dimensions);

  // --- members ---------------------------------------------------------------
  BCompartment* getOwner() const { return owner_; }
  const SpeciesList& getSpecies() const { return species_.items(); }
  const CompartmentList& getCompartments() const { return compartments_; }
  size_t getNumSpecies() const { return species_.size(); }
  size_t getNumCompartments() const { return compartments_.size(); }
  // Kept for the exported interface; they change nothing.
  void setSpecies(const SpeciesList&) {}
  void setCompartments(const CompartmentList&) {}
  // Stores the owner field alone and marks the compartment.
  void setOwnerField(BCompartment* owner);

  // The host Vectors of the own species' and the direct sub-compartments'
  // instances (may be null once released).
  // The getters bring the Vectors' elements up to date first (removals are
  // published to them lazily: host/HandleVector.hpp).
  void* getOBISpecies() const { return publishedHandleVector(obiSpecies_); }
  void setOBISpecies(void* handle) { obiSpecies_ = static_cast<Vector*>(handle); }
  void* getOBICompartments() const { return publishedHandleVector(obiCompartments_); }
  // The species Vector as held, for additions and removals through the
  // handle-vector helpers alone (its elements may hold removed members).
  Vector* heldOBISpecies() const { return obiSpecies_; }
  void setOBICompartments(void* handle) { obiCompartments_ = static_cast<Vector*>(handle); }
  // Deletes both host Vectors and clears the handles; the instance's
  // destroy hook calls it (copies share the Vectors: only one may).
  void releaseHandleVectors();

  // --- tree queries ----------------------------------------------------------
  uint64_t getNumSpeciesInTree() const;
  // Sub-compartments at every depth; the compartment itself not counted.
  uint64_t getNumCompartmentsInTree() const;
  // The species at a flat index in species-index order, or null.
  BSpecies* getSpeciesInTreeAt(uint64_t index) const;
  // The same with a running index: a subtree that does not reach it
  // subtracts its species count from it and answers null.
  BSpecies* getSpeciesInTreeAtLocal(uint64_t& index) const;
  // The compartment at a flat index in compartment-index order (the
  // compartment itself is the last), or null.
  BCompartment* getCompartmentInTreeAt(uint64_t index);
  // The same with a running index: answers this compartment when the index
  // is 0 after its subtrees, else decreases it and answers null.
  BCompartment* getCompartmentInTreeAtLocal(uint64_t& index);
  // Appends the tree's species in species-list order.
  void getAllDescendantSpecies(SpeciesList* out);
  // Appends the tree's species' instances in species-list order, without
  // taking references.  Species without an instance are skipped.
  void getAllDescendantSpeciesOBIs(Vector* out);
  // Appends the descendant compartments in compartment-list order.
  void getAllDescendantCompartments(CompartmentList* out) const;
  // Appends the names of the descendant compartments in compartment-list
  // order (the own name excluded).  The texts belong to the compartments.
  void getNamesInTree(kstrVector<const char*>& names) const;
  // True when a direct sub-compartment has exactly that name.
  bool isCompartmentNameInUse(const std::string& name) const;
  // Trims the name; the first own species (list order) of exactly that
  // name, or null.  Species of sub-compartments are not found.
  BSpecies* getNamedSpecies(const std::string& name) const;
  // True when an own species other than skip has exactly that name.  Costs
  // a logarithmic search of the compartment's name index.
  bool isSpeciesNameInUse(const std::string& name, const BSpecies* skip = nullptr) const;
  // Re-keys the name index after an own species' name changed; the species
  // calls it from setName.  Nothing for a species of another compartment.
  void speciesNameChanged(BSpecies* species, const std::string& oldName);

  // --- tree changes ----------------------------------------------------------
  // Appends the species (no duplicate test), makes this compartment its
  // parent, tells the model (added) and marks this compartment.  The host
  // side has entered and attached the species' instance before.
  void addSpecies(BSpecies* species);
  // A member species: its instance leaves the species host vector (its
  // reference released), it leaves the list and the model is told
  // (removed).  This compartment is marked in all cases.
  void removeSpecies(BSpecies* species);
  // A member species leaves the list; host vector and model untouched.
  // This compartment is marked in all cases.
  void deleteSpecies(BSpecies* species);
  // Replace the list by the given order (the host checked that it holds the
  // same members) and mark this compartment.
  void reorderSpecies(const SpeciesList& order);
  void reorderCompartments(const CompartmentList& order);

  // A compartment from outside any model comes under this one.  Refused
  // before anything changes: a member already in the list or one that
  // would close a cycle ("Kestrion:COMPARTMENT_DUPLICATE_NAME",
  // "Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT"), and, when this
  // compartment is in a model, any name of the sub-compartment's tree that
  // the model already uses for a compartment or that occurs twice in that
  // tree ("Kestrion:COMPARTMENT_DUPLICATE_NAME").  Then it is appended and
  // owned, its instance goes below this compartment's; in a model every
  // compartment of its tree joins the model (parent, model handle vector,
  // parent host handle) and each compartment and species of the tree is
  // told to the model.  A free sub-compartment that still has another owner
  // leaves it first.  A sub-compartment of this compartment's model moves
  // here through setOwner; one of another model (or of a model while this
  // compartment is in none) raises "Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL".
  void addCompartment(BCompartment* sub);
  // Makes a new sub-compartment of that name: the name is trimmed (in
  // place), checked with errorForInvalidName against this compartment's
  // model and set; on a refusal the new compartment is destroyed (its host
  // vectors first) and nothing changed.  The new one is appended, owned,
  // joins the model and is told to it; when telling the model fails, the
  // addition is undone (discardNewCompartment) and the error passes on.
  // No instance is made here.
  BCompartment* addCompartment(std::string& name);
  // Undoes addCompartment(name) for a sub that has no host instance: it
  // leaves this compartment's list and the model, and is destroyed (its
  // host vectors first).  When the model cannot be told, the sub is left
  // allocated rather than freed while the model may still name it.
  void discardNewCompartment(BCompartment* sub) noexcept;
  // Attaches a copied compartment: "Kestrion:COMPARTMENT_DUPLICATE_NAME"
  // when it is already a member; else appended, owned, marked and told to
  // the model (with its tree).  No name test, host work or parent change.
  void addCompartmentHack(BCompartment* sub);
  // A compartment of the same model (or, outside models, a free one) comes
  // under this one: "Kestrion:COMPARTMENT_DUPLICATE_NAME" when already a
  // member; else appended, owned, entered in the host vector and host tree
  // and, in a model, its whole tree told to the model (added).
  void moveCompartment(BCompartment* sub);
  // Another top-level compartment of this compartment's model, which the
  // model has already taken out of its list, comes under this one with its
  // tree: appended, owned, entered in the host vector and put below this
  // compartment in the host tree.  The symbol table is left as it is
  // (qualified names do not name owners).  Only Kelbor::nestCompartments
  // calls it, after its checks.
  void adoptTopLevelCompartment(BCompartment* sub);
  // Marks this compartment; a member leaves the list (its owner field is
  // left for the caller) and the host vector, and, in a model, every
  // species and compartment of its tree is told to the model (removed).
  void removeCompartment(BCompartment* sub);
  // Kept for the exported interface: only marks the compartment.
  void removeCompartment(const char* name);
  // For compartments outside any model: leave the current owner (when it
  // differs from the new one) and come under the new one with
  // moveCompartment.  Marks this compartment in all cases.
  void updateOwner(BCompartment* owner);
  // The "Owner" property: moves this compartment below another compartment
  // (or, with null, to the model's top level):
  //  - in no model: null keeps a top compartment as it is; a free owner
  //    takes it with updateOwner; an owner in a model with addCompartment
  //    (and its checks);
  //  - in model M: null moves a nested compartment to M's top level; an
  //    owner of M takes it from its current owner (or M's top level).
  // Errors, raised before anything changes:
  //  "Kestrion:COMPARTMENT_INVALID_OWNER" (null for a nested compartment
  //  outside any model), "Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL" (in
  //  M, an owner that is not in M), "Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT"
  //  (this compartment or one below it), and those of addCompartment.
  void setOwner(BCompartment* owner);

  // --- delete guard and display -----------------------------------------------
  // True outside a model.  In a model false, with a warning, when the
  // compartment holds a sub-compartment ("Kestrion:KS_DELETE_COMPARTMENT")
  // or when a reaction uses one of its own species
  // ("Kestrion:KS_DELETE_COMPARTMENT_SPECIES_BEING_USED").
  bool isOKToDestroy() const;
  // Prints the compartment's summary.
  void display() const;
  // Prints the table of the compartments (name, capacity, units).
  static void display(const CompartmentList* compartments);

 private:
  using SpeciesNameIndex = std::unordered_multimap<std::string, BSpecies*>;

  // The model that is this compartment's parent, or null.
  Kelbor* getParentModel() const;
  bool isOwnerObjADescendant(const BCompartment* candidate) const;
  bool hasMember(const BCompartment* sub) const;
  void appendSub(BCompartment* sub);
  void checkCanAdopt(const BCompartment* sub) const;
  void checkTreeNamesFree(const BCompartment* sub) const;
  void joinModelTree(BCompartment* sub, Kelbor* model);
  void eraseFromIndex(BSpecies* species, const std::string& name);
  void rebuildSpeciesIndex();
  // Tell the model about every compartment and species of the subtree
  // (pre-order: compartment, its species, then its sub-compartments).
  static void tellTreeAdded(BCompartment* sub, Kelbor* model);
  // Removal order: species, sub-compartments, then the compartment.
  static void tellTreeRemoved(BCompartment* sub, Kelbor* model);
  void setOwnerInModel(BCompartment* owner, Kelbor* model);
  void setOwnerOutsideModel(BCompartment* owner);

  kstr::MemberList<BSpecies*> species_;
  BCompartment* owner_ = nullptr;
  CompartmentList compartments_;
  size_t spatialDimensions_ = 3;
  Vector* obiSpecies_ = nullptr;
  Vector* obiCompartments_ = nullptr;
  // The own species by name, for duplicate tests and getNamedSpecies.  A
  // species that leaves nulls its entry (erasing it would search out the
  // entry before it in its bucket, far away in memory); such entries are
  // skipped by every reader and dropped once they outnumber the others.
  SpeciesNameIndex speciesByName_;
  size_t leftSpeciesEntries_ = 0;
};
