// Names of the components an SBML read makes.
#include "sbml/SBMLNames.hpp"

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "host/Host.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"
#include "sbml/SBMLComponent.hpp"
#include "sbml/SBMLConversionContext.hpp"

using Code = kstr::MessageCode;

namespace kstr::sbml {
namespace {

// Why the kind refuses the name, or "" when it takes it.
std::string refusalOf(const std::string& name, kstr::bcomptype kind) {
  try {
    switch (kind) {
      case kstr::compartment:
        BCompartment::errorForInvalidNameStatic(name, nullptr);
        break;
      case kstr::species:
        BSpecies::errorForInvalidNameStatic(name, nullptr, true);
        break;
      case kstr::parameter:
        BParameter::errorForInvalidNameStatic(name, nullptr);
        break;
      case kstr::reaction:
        BReaction::errorForInvalidNameStatic(name);
        break;
      default:
        break;
    }
  } catch (const ErrorIdException& e) {
    return e.getMessage().empty() ? e.getIdentifier() : e.getMessage();
  }
  return std::string();
}

std::string trimmed(std::string name) {
  STDStringHelpers::trimWhitespace(name);
  return name;
}

// A name of the file's name or id that the kind takes, or the file's name
// when there is none.
std::string acceptedName(const std::string& name, const std::string& id, kstr::bcomptype kind) {
  const std::string why = refusalOf(name, kind);
  if (why.empty()) return name;
  std::vector<std::string> candidates;
  std::string fromId = trimmed(id);
  replaceBracketsInName(fromId, kind);
  candidates.push_back(fromId);
  // Derived: arrows written out, then the kind's keyword appended.
  std::string derived = name;
  for (size_t at = derived.find("->"); at != std::string::npos; at = derived.find("->", at)) {
    derived.replace(at, 2, "_to_");
  }
  if (STDStringHelpers::isAllWhitespace(derived)) derived = fromId;
  candidates.push_back(derived);
  candidates.push_back(derived + "_" + kstr::componentTypeKeyword(kind));
  for (const std::string& candidate : candidates) {
    if (candidate.empty() || !refusalOf(candidate, kind).empty()) continue;
    hb_warning_id(hbGetWarningContext(), "Kestrion:SBMLNameReplaced", kstr::code(Code::KS_SBML_NAME_REPLACED),
                  kstr::componentTypeKeyword(kind), name.c_str(), why.c_str(), candidate.c_str());
    return candidate;
  }
  return name;
}

// Whether the name is taken for a new component of the scope: held by one
// of its kind there, or one a formula would confuse it with.
bool isTaken(const NameScope& scope, const std::string& name) {
  const Kelbor* model = scope.model;
  const auto inUse = [model, &name](std::initializer_list<kstr::bcomptype> kinds) {
    return model && model->isComponentNameInUse(name, kinds);
  };
  switch (scope.kind) {
    case kstr::compartment:
      return inUse({kstr::compartment, kstr::species, kstr::parameter});
    case kstr::species:
      return (scope.compartment && scope.compartment->isSpeciesNameInUse(name)) ||
             inUse({kstr::compartment, kstr::parameter});
    case kstr::parameter:
      if (scope.law) {
        for (const BParameter* p : *scope.law->getParameters()) {
          if (p->getName() == name) return true;
        }
        return inUse({kstr::species}) || (scope.hidden && scope.hidden->count(name));
      }
      return inUse({kstr::parameter, kstr::species, kstr::compartment});
    case kstr::reaction:
      return inUse({kstr::reaction});
    default:
      return false;
  }
}

void warnRenamed(kstr::bcomptype kind, const std::string& from, const std::string& to) {
  const char* id = nullptr;
  Code code = Code::KS_ADD_COMPARTMENT_DUPLICATE_NAME_SBML;
  switch (kind) {
    case kstr::compartment:
      id = "Kestrion:ADD_COMPARTMENT_DUPLICATE_NAME_SBML";
      break;
    case kstr::species:
      id = "Kestrion:AddSpeciesDuplicateNameSBML";
      code = Code::KS_SBMLSPECIES_ADDSPECIES_DUPLICATENAME;
      break;
    case kstr::parameter:
      id = "Kestrion:AddParameterDuplicateNameSBML";
      code = Code::KS_SBMLPARAMETER_ADDPARAMETER_DUPLICATENAME;
      break;
    default:
      id = "Kestrion:DuplicateReactionNameRename";
      code = Code::KS_DUPLICATE_REACTION_NAME_RENAME;
      break;
  }
  hb_warning_id(hbGetWarningContext(), id, kstr::code(code), from.c_str(), to.c_str());
}

// The suffix counter of a base name in a scope, for the length of a read.
unsigned long& suffixCounter(const NameScope& scope, const std::string& base) {
  const void* where = scope.law ? static_cast<const void*>(scope.law) : static_cast<const void*>(scope.compartment);
  std::string key = std::to_string(static_cast<int>(scope.kind)) + ":" +
                    std::to_string(reinterpret_cast<uintptr_t>(where)) + ":" + base;
  return currentContext().nameSuffixCounter(key);
}

}  // namespace

std::string chooseReadName(const std::string& fileName, const std::string& id, const NameScope& scope) {
  std::string name = trimmed(fileName);
  if (name.empty()) name = trimmed(id);
  replaceBracketsInName(name, scope.kind);
  name = acceptedName(name, id, scope.kind);
  if (!isTaken(scope, name)) return name;
  // The names of a scope only grow during a read, so a suffix once found
  // taken stays taken.
  unsigned long& next = suffixCounter(scope, name);
  std::string unique;
  for (;; ++next) {
    unique = name + "_" + std::to_string(next);
    if (!isTaken(scope, unique)) break;
  }
  ++next;
  warnRenamed(scope.kind, name, unique);
  return unique;
}

}  // namespace kstr::sbml
