#include "kinetics/BMassActionKineticLaw.hpp"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/Identifiers.hpp>
#include <qx/qx.hpp>

#include "core/HostBoundary.hpp"
#include "core/QuantityComponent.hpp"
#include "expressions/FormulaFunctions.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

namespace {

const char kForward[] = "Forward Rate Parameter";
const char kReverse[] = "Reverse Rate Parameter";

qxArray* newTextCell(std::initializer_list<const char*> texts) {
  qxArray* cell = qxCreateCellMatrix(1, texts.size());
  qxSetArrayScope(cell, 0);
  try {
    size_t i = 0;
    for (const char* text : texts) qxSetCell(cell, i++, qxCreateString(text));
  } catch (...) {
    qxDestroyArray(cell);
    throw;
  }
  return cell;
}

// The variable cells read the same for every mass-action law: they are made
// when first read and shared until the last mass-action law goes (a model
// holds one law per reaction).
struct SharedCells {
  qxArray* forward = nullptr;  // the forward rate parameter
  qxArray* both = nullptr;     // forward and reverse, for a reversible reaction
  qxArray* species = nullptr;
  size_t laws = 0;
};

SharedCells& sharedCells() {
  static SharedCells cells;
  return cells;
}

void releaseSharedCells() {
  SharedCells& cells = sharedCells();
  if (--cells.laws != 0) return;
  for (qxArray** cell : {&cells.forward, &cells.both, &cells.species}) {
    if (*cell) qxDestroyArray(*cell);
    *cell = nullptr;
  }
}

// "*name" or "*name^|s|" for one species term.
void appendTerm(std::string& text, const BSpecies* species, double stoichiometry) {
  std::string name;
  species->getPQN(name);
  if (name == species->getName()) bracketNameIfNotValidIdentifier(name);
  text += "*";
  text += name;
  const double magnitude = std::fabs(stoichiometry);
  if (!hbEqualWithinEps(magnitude, 1.0)) {
    text += "^" + kstr::numberText(magnitude);
  }
}

// Frees the reaction's stoichiometry array on every path.
struct Stoichiometry {
  double* values = nullptr;
  size_t count = 0;
  ~Stoichiometry() { hbFree(values); }
};

}  // namespace

BMassActionKineticLaw::BMassActionKineticLaw(const BAbstractKineticLaw* massAction)
    : BKineticLaw(massAction) {
  storedParameterVariableNames().resize(1);
  ++sharedCells().laws;
}

BMassActionKineticLaw::BMassActionKineticLaw(const BMassActionKineticLaw& other)
    : BKineticLaw(other) {
  ++sharedCells().laws;
}

BMassActionKineticLaw::~BMassActionKineticLaw() { releaseSharedCells(); }

const qxArray* BMassActionKineticLaw::getSpeciesVariables() const {
  qxArray*& cell = sharedCells().species;
  if (!cell) cell = newTextCell({"MassAction Species"});
  return cell;
}

const qxArray* BMassActionKineticLaw::getParameterVariables() const {
  const BReaction* reaction = getParentReaction();
  const bool reversible = reaction && reaction->getReversible();
  SharedCells& cells = sharedCells();
  qxArray*& cell = reversible ? cells.both : cells.forward;
  if (!cell) cell = reversible ? newTextCell({kForward, kReverse}) : newTextCell({kForward});
  return cell;
}

const BKineticLaw::NameVector& BMassActionKineticLaw::getParameterVariableNames() const {
  NameVector& names = storedParameterVariableNames();
  const BReaction* reaction = getParentReaction();
  if (!reaction) return names;
  if (!reaction->getReversible() && names.size() == 2) {
    names.resize(1);
  } else if (reaction->getReversible() && names.size() == 1) {
    names.resize(2);
  }
  return names;
}

void BMassActionKineticLaw::setSpeciesVariableNames(const NameVector&) {
  kstr_error("Kestrion:MassActionSpeciesUnsettable",
             kstr::code(kstr::MessageCode::KS_MASSACTION_SPECIES_UNSETTABLE));
}

const BKineticLaw::NameVector& BMassActionKineticLaw::getSpeciesVariableNames() const {
  NameVector& names = storedSpeciesVariableNames();
  names.clear();
  const BReaction* reaction = getParentReaction();
  if (!reaction) return names;
  kstrVector<BSpecies*> species;
  reaction->getReactants(species);
  if (reaction->getReversible()) reaction->getProducts(species);
  std::set<const BSpecies*> seen;
  for (const BSpecies* s : species) {
    if (!s || !seen.insert(s).second) continue;
    std::string pqn;
    s->getPQN(pqn);
    names.push_back(pqn);
  }
  return names;
}

bool BMassActionKineticLaw::verifyForReactionRate() const {
  const NameVector& names = getParameterVariableNames();
  return std::none_of(names.begin(), names.end(), [](const std::string& n) { return n.empty(); });
}

void BMassActionKineticLaw::verify() const {
  const NameVector& names = getParameterVariableNames();
  for (size_t i = 0; i < std::min<size_t>(names.size(), 2); ++i) {
    if (!findParameterApiObjectAt(static_cast<unsigned int>(i))) {
      kstr_error("Kestrion:ParameterDoesNotResolve",
                 kstr::code(kstr::MessageCode::KS_MASSACTION_PARAMETERS_CANNOT_RESOLVE), names[i].c_str());
    }
  }
  if (names.empty()) {
    kstr_error("Kestrion:ParameterDoesNotResolve",
               kstr::code(kstr::MessageCode::KS_MASSACTION_PARAMETERS_CANNOT_RESOLVE), "");
  }
}

char* BMassActionKineticLaw::getRateExpression() const {
  const BReaction* reaction = getParentReaction();
  if (!reaction || !verifyForReactionRate()) return nullptr;
  const NameVector& names = getParameterVariableNames();
  Stoichiometry stoich;
  stoich.values = reaction->getStoichiometry(stoich.count);
  if (!stoich.values || names.empty() || names[0].empty()) return nullptr;
  std::string text;
  normalizeParameterName(names[0], text);
  // Stoichiometry is indexed by term position: reactants first, then the
  // products; an unbound term keeps its place.
  const size_t reactants = reaction->getNumReactants();
  for (size_t i = 0; i < reactants && i < stoich.count; ++i) {
    if (const BSpecies* s = reaction->getReactantAt(i)) appendTerm(text, s, stoich.values[i]);
  }
  if (reaction->getReversible()) {
    if (names.size() < 2 || names[1].empty()) return nullptr;
    std::string reverse;
    normalizeParameterName(names[1], reverse);
    if (reverse.empty()) return nullptr;
    text += " - " + reverse;
    for (size_t j = 0; j < reaction->getNumProducts() && reactants + j < stoich.count; ++j) {
      if (const BSpecies* s = reaction->getProductAt(j)) appendTerm(text, s, stoich.values[reactants + j]);
    }
  }
  return hostTextCopy(text.c_str());
}
