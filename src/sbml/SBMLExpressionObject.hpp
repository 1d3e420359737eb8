// Formula translation between SBML math and model formulas: identifiers to
// names and MathML function names to host function names on read, names to
// identifiers and host function names to MathML names on write.  The
// translation goes through libSBML's math tree wherever the level-1 formula
// text would lose meaning (logarithms, roots, powers of negated operands,
// the time symbol, infinity and not-a-number).
#pragma once

#include <map>
#include <set>
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

  // The SBML function names and the host texts they read as, in key order.
  static const std::map<std::string, std::string>& forwardMap();
  // Host text -> SBML name, built from the forward map in key order (the
  // first SBML name of a host text wins, so "Inf" goes back to "INF").
  static const std::map<std::string, std::string>& reverseMap();

  // Read: the model formula of a math tree (the tree is not changed).
  // localNames (kinetic laws) is asked before the context's registries.
  static std::string formulaFromMath(SBMLConversionContext& context, const ASTNode& math,
                                     const LocalNames* localNames);
  // Read: the host function names of a formula; a formula that does not
  // parse is kept with the warning "Kestrion:ParseErrorReplacingFunctions".
  static void translateFunctionNamesToHost(std::string& text);

  // Write: every token of the formula that resolves for the scope becomes
  // the identifier of its component.  A formula that does not parse is
  // emptied with the warning "Kestrion:ParseErrorCannotReplaceExpressionNamesWithIDS".
  static void replaceNamesWithIds(std::string& formula, Kelbor& model,
                                  ExpressionBasedComponent* scope, const std::set<std::string>& tokens);
  // The same for a reaction rate whose tokens come from the reaction's
  // parse of that rate: when every token is its component's identifier the
  // rate is kept as it is, without parsing it again.
  static void replaceRateNamesWithIds(std::string& formula, Kelbor& model, BReaction* scope,
                                      const std::set<std::string>& tokens);
  // Write: host function names to MathML names; a formula that does not
  // parse is kept with the warning "Kestrion:ParseErrorReplacingFunctions2".
  static void translateFunctionNamesToSBML(std::string& formula);
  // Write: the math tree of a translated formula, or null when it does not
  // parse.  The caller owns the tree.
  static ASTNode* mathFromFormula(const std::string& formula);

 private:
  static void substituteNames(std::string& formula, const std::map<std::string, std::string>& names,
                              bool emptyOnParseError);
  // The rewriting of both for either kind of scope.
  template <class Scope>
  static void substituteIds(std::string& formula, Kelbor& model, Scope* scope, const std::set<std::string>& tokens,
                            bool parsedTokens);
};
