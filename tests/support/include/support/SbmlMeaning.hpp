// What an SBML level 2 model means to a simulator, compared between two
// documents (a file and what the engine wrote of it): compartments, species
// (the initial amount, and whether the species' symbol stands for an amount
// or a concentration), global and local parameters, reactions (net
// stoichiometry, the species that take part unchanged), the value of every
// kinetic law, rule, event trigger and event assignment at random points of
// the model's state, and every unit as SI factor and dimension.  Only for
// targets that link libSBML (kelbor_sbml_meaning).
#pragma once

#include <sbml/SBMLTypes.h>

#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace sbmlmeaning {

// A math tree that cannot be evaluated: a name that denotes nothing, a call
// of a function the document does not define, a delay.
struct MathError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The value of a name in a math tree; throws MathError when it has none.
using NameValue = std::function<double(const std::string& name)>;

// The value of a MathML tree, with the document's function definitions
// (model) applied to their arguments, MathML's meaning of every operator
// (n-ary relations are chains, logical values are 0 and 1) and time given
// by the name "time".
double evaluate(const ASTNode& math, const NameValue& value, const Model& model);

// True when the tree calls one of the model's function definitions.
bool callsFunctionDefinition(const ASTNode& math, const Model& model);

// A unit as a simulator sees it: the factor to SI and the exponent of each
// SI base kind (dimensionless left out); none when the element has no
// units.
struct SIUnit {
  bool none = true;
  double factor = 1.0;
  std::map<std::string, int> dimension;
};
SIUnit siUnitOf(const UnitDefinition* derived);
std::string describe(const SIUnit& unit);
bool sameUnit(const SIUnit& a, const SIUnit& b);

// Two values are the same when both are NaN, equal infinities, or within a
// relative 1e-9 of the larger.
bool sameValue(double a, double b);

struct Options {
  // How many random points of the state the math is evaluated at.
  unsigned points = 3;
  uint64_t seed = 1;
};

struct Comparison {
  // Meaning the written document lost or changed: each names the element.
  std::vector<std::string> differences;
  // What the engine drops with a warning by design: function definitions
  // and the math that calls them, event delays, stoichiometry math (read as
  // 1).  Elements that only lost so are not compared further.
  std::vector<std::string> losses;
};

// Compares what the written document means with what the original means.
Comparison compareMeaning(const Model& original, const Model& written, const Options& options = {});

}  // namespace sbmlmeaning
