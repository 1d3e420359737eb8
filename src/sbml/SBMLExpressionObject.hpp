// Formula translation between SBML math and model formulas: identifiers to
// names and MathML functions to host functions on read, names to
// identifiers and host functions to MathML functions on write, each only
// where it stands (a name is never taken for a function, nor a function
// for a name).
#pragma once

#include <map>
#include <string>

#include "core/KelborApi.hpp"

class BReaction;
class ExpressionBasedComponent;
class Kelbor;
class SBMLConversionContext;

#include "sbml/SBMLForward.hpp"

// The second base of the converters that carry math (events, kinetic laws,
// rules).  It holds no data.
class KELBOR_API SBMLExpressionObject {
 public:
  using LocalNames = std::map<std::string, std::string>;

  // Read: the model formula of a math tree (the tree is not changed).
  // localNames (kinetic laws) is asked before the context's registries.
  static std::string formulaFromMath(SBMLConversionContext& context, const ASTNode& math,
                                     const LocalNames* localNames);

  // Write: the math tree of a model formula, its names resolved as seen
  // from the scope (a name no component answers to stays as it is), or null
  // when the formula cannot be written (with a warning saying why).  A
  // function SBML math has no form for is written as a call of its name,
  // with the warning "Kestrion:SBMLFunctionWithoutMathML" naming it and
  // where (the text that names the component in messages).  The caller
  // owns the tree.
  static ASTNode* mathFromFormula(const std::string& formula, Kelbor* model, ExpressionBasedComponent* scope,
                                  const std::string& where);
  // The same for a reaction rate, whose names are resolved as seen from the
  // reaction (its kinetic law's parameters first).
  static ASTNode* mathFromRate(const std::string& formula, Kelbor* model, BReaction* scope,
                               const std::string& where);
};
