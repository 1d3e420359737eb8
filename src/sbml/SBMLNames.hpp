// The names an SBML read gives the components it makes: a name the model
// can take, that no other component holds, and that a formula resolves to
// this component and no other.
#pragma once

#include <set>
#include <string>

#include "core/ComponentKind.hpp"
#include "core/KelborApi.hpp"

class BCompartment;
class BKineticLaw;
class Kelbor;

namespace kstr::sbml {

// Where a new component goes: its kind and model, and the compartment of a
// species or the kinetic law of a local parameter.
struct NameScope {
  kstr::bcomptype kind;
  Kelbor* model = nullptr;
  const BCompartment* compartment = nullptr;
  const BKineticLaw* law = nullptr;
  // For a local parameter: the names of the other components its law's
  // math names, which the local would hide.
  const std::set<std::string>* hidden = nullptr;
};

// The name of a component read from a file, from the file's name (else its
// id):
//  1. trimmed of white space, "[" and "]" replaced by "(" and ")" with
//     "Kestrion:SBMLBracketedNameUpdated";
//  2. a name the kind refuses (reserved words, "->", ...) falls back to the
//     id, and when that is refused too to a name derived from the two, with
//     "Kestrion:SBMLNameReplaced" naming both; when no name can be made the
//     file's name is kept (the add function then refuses it);
//  3. the next free suffix (name_1, name_2, ...) when a component of the
//     kind in that scope holds the name, or when the name written in a
//     formula would resolve to a component of another kind (species come
//     before local parameters, compartments and model parameters in a
//     formula; compartments before model parameters; a local parameter
//     before what its law's math names), with the kind's
//     duplicate-name warning.  Within one read the search for a base name
//     goes on from the last suffix it gave.
KELBOR_API std::string chooseReadName(const std::string& fileName, const std::string& id, const NameScope& scope);

}  // namespace kstr::sbml
