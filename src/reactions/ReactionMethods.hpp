// The methods of the host class "Reaction" that are the reaction's own:
// addkineticlaw, addproduct / addreactant, copyobj, display, parserate,
// rmproduct / rmreactant and privategetusages ("copy", "help",
// "resolveobject" and "verifyrate" are the shared method infos).
#pragma once

#include <obk/OBMethodInfo.hpp>

#include "core/ComponentCopy.hpp"
#include "core/KelborApi.hpp"
#include "core/ModelComponentMethods.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ExpressionComponentBindings.hpp"
#include "reactions/ReactionManipulator.hpp"

// "addkineticlaw" (reaction, TYPE, pairs...) -> "handle": creates a
// "KineticLaw" object below the reaction through the object system.
// Errors, in this order: "Kestrion:ADDKINETICLAW_TOOFEWARGS" (the reaction
// alone), "Kestrion:ADDKINETICLAW_INVALIDROBJ" (not a reaction),
// "Kestrion:KineticLawAlreadyExists", "Kestrion:ADDKINETICLAW_INVALIDTYPE"
// (TYPE not text), "Kestrion:ADDKINETICLAW_ERROR" (no object made, also
// while the class "KineticLaw" is not registered); errors of the
// kinetic-law constructor pass through.
class KELBOR_API ReactionComponent_addKineticLaw_MI : public OBMethodInfo {
 public:
  ReactionComponent_addKineticLaw_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// Raises "Kestrion:KineticLawAlreadyExists", the refusal of a second law for
// a reaction ("addkineticlaw", and copyobj of a law onto the reaction).
[[noreturn]] KELBOR_API void refuseSecondKineticLaw();

// What tells addproduct and addreactant apart: the name, the identifiers of
// the errors and the add operation.
struct SpeciesAddSide {
  const char* method;
  const char* tooManyId;
  const char* tooFewId;
  const char* invalidTypeId;
  const char* invalidSecondArgId;
  const char* invalidStoichId;
  const char* sizeMismatchId;
  // The side the species go to.
  bool products;
};

// "addproduct" / "addreactant" (reaction, species [, STOICH]) -> the
// species' handles in order.  Species are names (a text or a cell of texts,
// qualified where the model needs it) or "Kestrion.Species" objects; STOICH
// is a row or column of finite doubles above 0, one per species.  Every
// check runs before anything is added; a reaction outside any model raises
// "Kestrion:REACTION_NOT_IN_MODEL" before any species is looked up.
class KELBOR_API ReactionComponent_addSpecies_MI : public ModelContainer_add_MI {
 public:
  explicit ReactionComponent_addSpecies_MI(const SpeciesAddSide& side);
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  const SpeciesAddSide& side_;
  ReactionManipulator manipulator_;
};

class KELBOR_API Reaction_addProduct_MI : public ReactionComponent_addSpecies_MI {
 public:
  Reaction_addProduct_MI();
};

class KELBOR_API Reaction_addReactant_MI : public ReactionComponent_addSpecies_MI {
 public:
  Reaction_addReactant_MI();
};

// What tells rmproduct and rmreactant apart.
struct SpeciesRemoveSide {
  const char* method;
  const char* tooFewId;
  const char* invalidSecondArgId;
  const char* notOnSideId;
  uint32_t notOnSideCode;
  size_t (BReaction::*count)() const;
  bool (BReaction::*holdsSpecies)(const BSpecies*) const;
  bool (BReaction::*remove)(BSpecies*);
  bool (ReactionManipulator::*removeByName)(BReaction*, const char*);
};

// "rmproduct" / "rmreactant" (reaction, species) -> the reaction: removes
// each named species (a text, a cell of texts) or species object from that
// side, one after the other.  A species not on that side warns
// ("Kestrion:RMPRODUCT_INVALIDSPECIES" / "..._RMREACTANT_...") and the
// removal goes on; "null" counts as held exactly when the side is empty and
// removes nothing.  The reaction alone raises the TOOFEWARGS error, a
// species argument of another kind the INVALIDSECONDARG error.
class KELBOR_API ReactionComponent_rmSpecies_MI : public OBMethodInfo {
 public:
  explicit ReactionComponent_rmSpecies_MI(const SpeciesRemoveSide& side);
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  void removeNamed(BReaction& reaction, const char* name);
  void removeObject(BReaction& reaction, const OBInterface* instance);

  const SpeciesRemoveSide& side_;
  OBMethodSignature* aloneSignature_;
  ReactionManipulator manipulator_;
};

class KELBOR_API Reaction_rmProduct_MI : public ReactionComponent_rmSpecies_MI {
 public:
  Reaction_rmProduct_MI();
};

class KELBOR_API Reaction_rmReactant_MI : public ReactionComponent_rmSpecies_MI {
 public:
  Reaction_rmReactant_MI();
};

// "display" of one reaction or an array: the table "Kestrion Reaction
// Array" with an "Index:" column ten characters wide and the equations.
class KELBOR_API Reaction_display_MI : public ModelComponent_display_MI {
 public:
  void displayVector(int& nOut, void* outs[], int nIn, void* const ins[]) override;
  void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]) override;

 private:
  void printTable(const kstrVector<const BReaction*>& reactions) const;
};

// "parserate" (reaction) -> the rate's tokens as a 1-by-N cell in ascending
// order; (reaction, names, flag) -> the rate's names that are among the
// given names, in source order (each once with the flag).  Empty when the
// rate has no parse tree.
class KELBOR_API ReactionComponent_parseRateForElements_MI : public OBMethodInfo {
 public:
  ReactionComponent_parseRateForElements_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* aloneSignature_;
};

// "privategetusages" (reaction, component): "Reaction" when the equation
// uses the species, parameter or compartment, then "ReactionRate" when the
// rate does; nothing for components of other kinds.
class KELBOR_API Reaction_GetComponentUsageLocations_MI
    : public ExpressionBasedComponent_GetComponentUsageLocations_MI<BReaction> {
 public:
  void fillUsageLocations(const BReaction& owner, const OBInterface* used,
                          StringVector& out) const override;
};

// "copyobj": a reaction may be copied into a model that has no reaction of
// its name ("Kestrion:COPYOBJ_INVALIDARG" otherwise); the copy goes below
// the model and takes the source's reactants and products (the model's
// same-named species, or copies of the source's) with their
// stoichiometries, and the source's reversibility.
class KELBOR_API Reaction_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  bool canCopyInto(OBInterface* obj, OBInterface* newParent) override;
  void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source) override;

 private:
  ReactionManipulator manipulator_;
};
