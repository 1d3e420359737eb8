// Puts a newly made child below its parent in both worlds at once: the
// host object tree (with the parent's handle vector and the child's parent
// host handle) and the model layer (the parent component's own lists, the
// model's symbol table).  The host paths that add components (the model's
// and the compartment's add methods, copy, the reaction parser creating
// species) call these right after the host object system made the child's
// instance.
//
// Every operation takes the child's instance first and the parent's second
// and finds the component behind each through its component object.
//
// Failure: the model layer's checks that can refuse (name clashes in the
// symbol table or the model's lists) run before anything is wired, so a
// refused child is left exactly as it was.  When the model layer still
// raises after the host side was wired, the host side is undone (the child
// leaves the host tree and the handle vector, and the reference taken for
// the vector is given back), so is what the model layer took in before it
// raised, and the error passes on.  Should giving back raise in turn, the
// first error is still the one that passes on, the host side is still
// undone, and the second error is counted (countFailedWiringRollbacks) and
// warned as "Kestrion:WiringRollbackFailed".  A null child or parent instance, one
// without a component of the expected kind, or a child already below that
// parent does nothing.
#pragma once

#include <cstddef>
#include <string>

#include "core/KelborApi.hpp"

class OBInterface;

// Species below a compartment: host tree, the compartment's species vector
// (made when missing, one external reference per entry), the species'
// parent host handle, the desktop "species" event, then
// BCompartment::addSpecies (parent, symbol table, recompilation).  A name
// that another species of the compartment holds raises
// "Kestrion:SPECIES_DUPLICATENAME" before anything changes.
KELBOR_API void addSpeciesBelowCompartment(OBInterface* species, OBInterface* compartment);

// A top-level compartment below a model: host tree, the model's compartment
// vector, recompilation mark, parent host handle, Kelbor::addCompartment,
// then the desktop "compartment" event.  Every compartment of the
// compartment's tree enters the model's vector and gets the model's handle
// as parent handle, and every compartment and species of the tree enters
// the model.  Refused before anything changes: a name of the tree that the
// model already uses for a compartment, or that occurs twice in the tree
// ("Kestrion:KS_COMPARTMENT_DUPLICATE_NAME"), and a compartment of another
// model ("Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL").  A free
// compartment that a free owner still holds leaves that owner first.
KELBOR_API void addCompartmentBelowModel(OBInterface* compartment, OBInterface* model);

// A compartment below its owner compartment in the host tree: the owner's
// sub-compartment vector; when the owner's host parent is a model, also the
// model's compartment vector, its recompilation mark, the child's parent
// host handle and its parent component (the model); then the desktop
// "compartment" event with the owner as parent.  The model-layer membership
// (owner field, owner's list) is the caller's: BCompartment::addCompartment
// does it, and is what the compartment's "addcompartment" method ran before.
KELBOR_API void addCompartmentBelowCompartment(OBInterface* compartment, OBInterface* owner);

// A rule (event) below a model: host tree, the model's rule (event) vector,
// recompilation mark, parent host handle, desktop "rule" ("event") event,
// then Kelbor::addRule (Kelbor::addEvent).
KELBOR_API void addRuleBelowModel(OBInterface* rule, OBInterface* model);
KELBOR_API void addEventBelowModel(OBInterface* event, OBInterface* model);

// A kinetic law below its reaction: nothing for a null law; host tree,
// parent host handle, desktop "kineticlaw" event, the law's parent becomes
// the reaction, the reaction records the law's instance (no reference
// taken) and BReaction::setKineticLaw.
KELBOR_API void addKineticLawBelowReaction(OBInterface* kineticLaw, OBInterface* reaction);

// A parameter below a kinetic law: host tree, the law's parameter vector
// (made when missing, one external reference), the parameter's parent host
// handle, BKineticLaw::addParameter (parent, symbol table, recompilation),
// then the desktop "parameter" event.  A name that another parameter of the
// law holds raises "Kestrion:PARAMETER_DUPLICATENAME" before anything
// changes.
KELBOR_API void addParameterBelowKineticLaw(OBInterface* parameter, OBInterface* kineticLaw);

// A reaction below a model: host tree, the model's reaction vector,
// recompilation mark, parent host handle, Kelbor::addReaction.  No desktop
// event (the callers post it).  A non-empty name the model's reactions
// already use raises "Kestrion:DuplicateReactionName" before anything
// changes.
KELBOR_API void addReactionBelowModel(OBInterface* reaction, OBInterface* model);

// A parameter below a model: host tree, the model's parameter vector,
// parent host handle, desktop "parameter" event, Kelbor::addParameter.  A
// name another parameter of the model holds raises
// "Kestrion:PARAMETER_DUPLICATENAME" before anything changes.
KELBOR_API void attachParameterToModel(OBInterface* parameter, OBInterface* model);

// How many times, since the process began, giving back a refused child
// raised an error of its own (each also warned as
// "Kestrion:WiringRollbackFailed").
KELBOR_API size_t countFailedWiringRollbacks();

// The identifier and text of the error being handled; called only inside a
// handler.
KELBOR_API std::string describeCurrentError();

// True when a kinetic law below the model whose "KineticLawName" is
// "MassAction" lists the parameter among its parameters (the host's "find"
// selects the laws; each is asked with isParameterInKineticLaw).  False for
// null arguments and for a model without such laws (without asking any
// law for its parameters).
KELBOR_API bool isParameterInMassActionKineticLaw(OBInterface* parameter, OBInterface* model);

// True when the kinetic law's host method "getparameters" lists the
// parameter's instance.  False for null arguments, a class without that
// method, or a null answer.
KELBOR_API bool isParameterInKineticLaw(OBInterface* kineticLaw, OBInterface* parameter);
// The answer of isParameterInMassActionKineticLaw without the host's walk
// over the model: only the kinetic laws that name the parameter (by its
// name, see kinetics/ParameterBindingIndex.hpp) are candidates; each whose
// instance lies below the model and whose "KineticLawName" is "MassAction"
// is asked with isParameterInKineticLaw.  Costs the number of laws naming
// the parameter, not the size of the model.  While a class other than the
// engine's kinetic law has a "KineticLawName" property, the host's "find"
// answers instead (isParameterInMassActionKineticLaw).
KELBOR_API bool isParameterUsedByMassActionLaw(OBInterface* parameter, OBInterface* model);
