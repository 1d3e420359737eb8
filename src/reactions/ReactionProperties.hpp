// The properties of the host class "Reaction" that are the reaction's own
// (the ModelComponent family and "Active" serve the others).  Every get and
// set maps the instance to its BReaction by dynamic type and raises
// "obk:InvalidObject" for an instance without one.
#pragma once

#include <obk/OBPropInfo.hpp>

#include "core/KelborApi.hpp"
#include "reactions/ReactionManipulator.hpp"

// "FastThreshold" ("double", settable): the value in place; set stores it.
class KELBOR_API ReactionComponent_FastThresholdPIT : public OBPropInfoTemplate {
 public:
  ReactionComponent_FastThresholdPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "Products" / "Reactants" ("handle vector", set by the engine only): the
// species' instances in term order (unbound terms skipped).  A set appends
// each given species with stoichiometry 1, skipping empty elements and
// elements that are no species; nothing is removed first.
class KELBOR_API ReactionComponent_ProductsPIT : public OBPropInfoTemplate {
 public:
  ReactionComponent_ProductsPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  bool canContainOBInterfaces() const override { return false; }
};

class KELBOR_API ReactionComponent_ReactantsPIT : public OBPropInfoTemplate {
 public:
  ReactionComponent_ReactantsPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  bool canContainOBInterfaces() const override { return false; }
};

// "Reaction" ("string", settable): the equation text.  A set from the user
// applies a new equation through the property's manipulator (its errors,
// e.g. "Kestrion:REACTION_PARSE_ERROR", leave the equation unchanged); a
// set through the engine's own client is ignored.
class KELBOR_API ReactionComponent_ReactionPIT : public OBPropInfoTemplate {
 public:
  ReactionComponent_ReactionPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;

 private:
  ReactionManipulator manipulator_;
};

// "ReactionRate" ("string", settable): the rate brought up to date.  A set
// on a reaction whose kinetic law is bound to a named abstract law first
// turns that law into an "Unknown" law behind the same host instance (with
// the same parameters and component state); then the rate text is set.
// Without the "Unknown" law in the built-in library that replacement raises
// "Kestrion:UnknownKineticLawMissing".
class KELBOR_API ReactionComponent_ReactionRatePIT : public OBPropInfoTemplate {
 public:
  ReactionComponent_ReactionRatePIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "Reversible" ("bool", settable).  A set from the user on a reaction with
// a mass-action law asks the law for its parameter variables again.
class KELBOR_API ReactionComponent_ReversiblePIT : public OBPropInfoTemplate {
 public:
  ReactionComponent_ReversiblePIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "Stoichiometry" ("NReals", settable): reactant coefficients negated, then
// product coefficients.  A set must give one value per term, reactant
// values below 0 and product values above 0 (NaN fails), else
// "Kestrion:STOICHIOMETRY_INVALIDSIZE" and nothing changes.  A wrong count
// from the internal client changes nothing without an error; a wrong sign
// raises for either client.
class KELBOR_API ReactionComponent_StoichiometryPIT : public OBPropInfoTemplate {
 public:
  ReactionComponent_StoichiometryPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "KineticLaw" ("handle", set by the engine only): the kinetic law's
// instance.  A set with an empty value detaches the law; otherwise the
// law's instance goes below the reaction's and the law is attached (a
// mass-action law set by the engine also sets the reversibility).  A value
// that is no kinetic law raises "Kestrion:InvalidPropertyValue".
class KELBOR_API ReactionComponent_KineticLawPIT : public OBPropInfoTemplate {
 public:
  ReactionComponent_KineticLawPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  bool canContainOBInterfaces() const override { return false; }
};
