// Formula translation between SBML math trees and model formulas.
#include "sbml/SBMLExpressionObject.hpp"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include <sbml/math/ASTNode.h>
#include <sbml/math/FormulaFormatter.h>
#include <sbml/math/FormulaParser.h>

#include <ks_utils/Errors.hpp>
#include <ks_utils/Identifiers.hpp>
#include <ks_utils/MParseTree.hpp>
#include <ks_utils/Uuid.hpp>
#include <ks_utils/kstrContainers.hpp>

#include "core/KelborComponent.hpp"
#include "host/Host.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "sbml/SBMLComponent.hpp"
#include "sbml/SBMLConversionContext.hpp"

using Code = kstr::MessageCode;

namespace {

constexpr const char* kForwardPairs[][2] = {
    {"neq", "ne"},          {"geq", "ge"},         {"leq", "le"},           {"plus", "sum"},
    {"divide", "mrdivide"}, {"root", "kstrnthroot"}, {"ln", "log"},         {"log", "kstrlogf"},
    {"ceiling", "ceil"},    {"pow", "power"},      {"arcsin", "asin"},      {"arccos", "acos"},
    {"arctan", "atan"},     {"arcsec", "asec"},    {"arccsc", "acsc"},      {"arccot", "acot"},
    {"arcsinh", "asinh"},   {"arccosh", "acosh"},  {"arctanh", "atanh"},    {"arcsech", "asech"},
    {"arccsch", "acsch"},   {"arccoth", "acoth"},  {"notanumber", "NaN"},   {"infinity", "Inf"},
    {"INF", "Inf"},         {"exponentiale", "exp(1)"}};

// Calls visit on every node of the tree, each before its children (which
// visit may change), without recursing: libSBML nests the operands of one
// operator, so a long sum is a deep tree.  Stops, answering true, at the
// first node for which visit answers true.
template <class Node, class Visit>
bool anyNode(Node& root, Visit visit) {
  std::vector<Node*> pending{&root};
  while (!pending.empty()) {
    Node* node = pending.back();
    pending.pop_back();
    if (visit(*node)) return true;
    for (unsigned i = node->getNumChildren(); i-- > 0;) pending.push_back(node->getChild(i));
  }
  return false;
}

template <class Node, class Visit>
void forEachNode(Node& root, Visit visit) {
  anyNode(root, [&visit](Node& node) {
    visit(node);
    return false;
  });
}

// A user function node of that name, keeping the node's children.
void makeNamedFunction(ASTNode& node, const char* name) {
  node.setType(AST_FUNCTION);
  node.setName(name);
}

// Read: the forms whose level-1 text would read wrongly in the host
// language.  The natural logarithm is written "ln" and the base-10 (or
// base-b) logarithm "log", which the function maps turn into the host's
// "log" and "kstrlogf"; a power is always written as a call, so that a
// negated base keeps its parentheses; a root without degree is a square
// root; the time symbol reads as "time".
void prepareNodeForHostText(ASTNode& node) {
  switch (node.getType()) {
    case AST_FUNCTION_LN:
      makeNamedFunction(node, "ln");
      break;
    case AST_FUNCTION_LOG:
      if (node.getNumChildren() == 2 && node.getChild(0)->isInteger() &&
          node.getChild(0)->getInteger() == 10) {
        delete node.getChild(0);
        node.removeChild(0);
      }
      makeNamedFunction(node, "log");
      break;
    case AST_POWER:
      node.setType(AST_FUNCTION_POWER);
      break;
    case AST_FUNCTION_ROOT:
      if (node.getNumChildren() == 1) {
        auto* two = new ASTNode(AST_INTEGER);
        two->setValue(2);
        node.prependChild(two);
      }
      break;
    case AST_NAME_TIME:
      node.setName("time");
      break;
    default:
      break;
  }
}

void prepareForHostText(ASTNode& root) { forEachNode(root, prepareNodeForHostText); }

// Write: the inverse of prepareForHostText on the tree the level-1 parser
// made of the translated text.
void finishNodeFromHostText(ASTNode& node) {
  const char* name = node.getName();
  if (node.getType() == AST_FUNCTION_LN && name && std::string(name) == "log") {
    // A base-10 logarithm: MathML's log with its base written out.
    node.setType(AST_FUNCTION_LOG);
    auto* ten = new ASTNode(AST_INTEGER);
    ten->setValue(10);
    node.prependChild(ten);
  } else if (node.getType() == AST_NAME && name) {
    const std::string text(name);
    if (text == "time") {
      node.setType(AST_NAME_TIME);
    } else if (text == "notanumber") {
      node.setValue(std::numeric_limits<double>::quiet_NaN());
    } else if (text == "infinity") {
      node.setValue(std::numeric_limits<double>::infinity());
    }
  }
}

void finishFromHostText(ASTNode& root) { forEachNode(root, finishNodeFromHostText); }

// The model name of an SBML id: a local parameter first, then the species,
// compartments and parameters read so far.  Empty when nothing has the id.
std::string modelNameOf(SBMLConversionContext& context, const std::string& id,
                        const SBMLExpressionObject::LocalNames* localNames) {
  if (localNames) {
    auto it = localNames->find(id);
    if (it != localNames->end()) {
      std::string name = it->second;
      return bracketNameIfNotValidIdentifier(name);
    }
  }
  const SBMLConversionContext::Converters* kinds = context.findConverters(id);
  if (!kinds) return std::string();
  SBMLComponent* converter = kinds->species ? kinds->species : kinds->compartment ? kinds->compartment : kinds->parameter;
  KelborComponent* component = converter ? converter->getComponent() : nullptr;
  return component ? kstr::sbml::formulaNameOf(*component) : std::string();
}

// Gives name nodes (and calls without arguments) the model names of the
// ids they hold; names that cannot stand in a math tree go through
// placeholders that are put back into the text afterwards.
void renameMathIdToName(SBMLConversionContext& context, ASTNode& node,
                        std::map<std::string, std::string>& placeholders,
                        const SBMLExpressionObject::LocalNames* localNames) {
  const bool isCallWithoutArguments =
      node.getType() == AST_FUNCTION && node.getNumChildren() == 0;
  if ((node.isName() && node.getType() != AST_NAME_TIME) || isCallWithoutArguments) {
    if (isCallWithoutArguments) node.setType(AST_NAME);
    const std::string name = modelNameOf(context, node.getName() ? node.getName() : "", localNames);
    if (!name.empty()) {
      if (isValidPELLAMIdentifier(name)) {
        node.setName(name.c_str());
      } else {
        std::string placeholder;
        createValidPELLAMIdFromUuidString(placeholder);
        node.setName(placeholder.c_str());
        placeholders.emplace(placeholder, name);
      }
    }
  }
}

void renameMathIdsToNames(SBMLConversionContext& context, ASTNode& root,
                          std::map<std::string, std::string>& placeholders,
                          const SBMLExpressionObject::LocalNames* localNames) {
  forEachNode(root, [&](ASTNode& node) { renameMathIdToName(context, node, placeholders, localNames); });
}

// Whether prepareForHostText or renameMathIdsToNames would change the
// tree: a node the first rewrites, a call without arguments, or a name
// whose model name differs from it or needs a placeholder.
bool nodeNeedsHostRewrite(SBMLConversionContext& context, const ASTNode& node,
                          const SBMLExpressionObject::LocalNames* localNames) {
  switch (node.getType()) {
    case AST_FUNCTION_LN:
    case AST_FUNCTION_LOG:
    case AST_POWER:
    case AST_FUNCTION_ROOT:
    case AST_NAME_TIME:
      return true;
    case AST_FUNCTION:
      if (node.getNumChildren() == 0) return true;
      break;
    default:
      break;
  }
  if (node.isName()) {
    const char* id = node.getName() ? node.getName() : "";
    const std::string name = modelNameOf(context, id, localNames);
    if (!name.empty() && (name != id || !isValidPELLAMIdentifier(name))) return true;
  }
  return false;
}

bool needsHostRewrite(SBMLConversionContext& context, const ASTNode& root,
                      const SBMLExpressionObject::LocalNames* localNames) {
  return anyNode(root, [&](const ASTNode& node) { return nodeNeedsHostRewrite(context, node, localNames); });
}

// A small replacement map of the names of the tree found in the table.
kstrMap<std::string, const char*> replacementsFor(const MParseTree& tree,
                                                  const std::map<std::string, std::string>& table) {
  kstrVector<std::string> tokens;
  tree.parsePLExpression(tokens, {}, true);
  kstrMap<std::string, const char*> replacements;
  for (const std::string& token : tokens) {
    auto it = table.find(token);
    if (it != table.end()) replacements.emplace(token, it->second.c_str());
  }
  return replacements;
}

// The substitution of the table over a parsed tree.
std::string substitute(const MParseTree& tree, const std::map<std::string, std::string>& table) {
  const kstrMap<std::string, const char*> replacements = replacementsFor(tree, table);
  if (replacements.empty()) return tree.getText();
  char* result = tree.traverseSubstitute(replacements);
  std::string text = result ? result : "";
  hbFree(result);
  return text;
}

// True when the level-1 text of the tree is plain arithmetic over names
// and finite numbers: the host language parses it as it stands and no name
// of it is one the function map translates, so translating changes nothing.
bool isPlainArithmeticNode(const ASTNode& node, const std::map<std::string, std::string>& functionMap) {
  switch (node.getType()) {
    case AST_PLUS:
    case AST_MINUS:
    case AST_TIMES:
    case AST_DIVIDE:
      break;
    case AST_INTEGER:
      return node.getNumChildren() == 0;
    case AST_REAL:
      return node.getNumChildren() == 0 && std::isfinite(node.getReal());
    case AST_NAME: {
      const char* name = node.getName();
      return node.getNumChildren() == 0 && name && isValidPELLAMIdentifier(name) && !functionMap.count(name);
    }
    default:
      return false;
  }
  return node.getNumChildren() != 0;
}

bool isPlainArithmetic(const ASTNode& root, const std::map<std::string, std::string>& functionMap) {
  return !anyNode(root, [&](const ASTNode& node) { return !isPlainArithmeticNode(node, functionMap); });
}

bool parses(MParseTree& tree) {
  try {
    tree.init(true);
    return true;
  } catch (const ErrorIdException&) {
    return false;
  }
}

}  // namespace

const std::map<std::string, std::string>& SBMLExpressionObject::forwardMap() {
  static const std::map<std::string, std::string> map = [] {
    std::map<std::string, std::string> m;
    for (const auto& pair : kForwardPairs) m.emplace(pair[0], pair[1]);
    return m;
  }();
  return map;
}

const std::map<std::string, std::string>& SBMLExpressionObject::reverseMap() {
  static const std::map<std::string, std::string> map = [] {
    std::map<std::string, std::string> m;
    for (const auto& [sbml, host] : forwardMap()) m.emplace(host, sbml);
    return m;
  }();
  return map;
}

std::string SBMLExpressionObject::formulaFromMath(SBMLConversionContext& context, const ASTNode& math,
                                                  const LocalNames* localNames) {
  // The document's tree is rewritten in a copy, and only when the rewrite
  // changes something: most rates name their components by their ids.
  std::unique_ptr<ASTNode> copy;
  const ASTNode* tree = &math;
  std::map<std::string, std::string> placeholders;
  if (needsHostRewrite(context, math, localNames)) {
    copy.reset(math.deepCopy());
    prepareForHostText(*copy);
    renameMathIdsToNames(context, *copy, placeholders, localNames);
    tree = copy.get();
  }
  char* formula = SBML_formulaToString(tree);
  std::string text = formula ? formula : "";
  std::free(formula);
  for (const auto& [placeholder, name] : placeholders) {
    const size_t at = text.find(placeholder);
    if (at != std::string::npos) text.replace(at, placeholder.size(), name);
  }
  if (placeholders.empty() && isPlainArithmetic(*tree, forwardMap())) return text;
  translateFunctionNamesToHost(text);
  return text;
}

void SBMLExpressionObject::translateFunctionNamesToHost(std::string& text) {
  MParseTree tree(text.c_str());
  if (!parses(tree)) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:ParseErrorReplacingFunctions",
                  kstr::code(Code::KS_PARSE_ERROR_REPLACING_FUNCTIONS1), text.c_str());
    return;
  }
  text = substitute(tree, forwardMap());
}

void SBMLExpressionObject::substituteNames(std::string& formula,
                                           const std::map<std::string, std::string>& names,
                                           bool emptyOnParseError) {
  MParseTree tree(formula.c_str());
  if (!parses(tree)) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:ParseErrorCannotReplaceExpressionNamesWithIDS",
                  kstr::code(Code::KS_PARSE_ERROR_CANNOT_REPLACE_EXPRESSION_NAMES_WITH_IDS),
                  formula.c_str());
    if (emptyOnParseError) formula.clear();
    return;
  }
  formula = substitute(tree, names);
}

// Only the tokens whose component has an identifier other than the token
// are rewritten.  With parsedTokens the tokens come from a parse of the
// formula, so when none needs rewriting the second parse is spared.
template <class Scope>
void SBMLExpressionObject::substituteIds(std::string& formula, Kelbor& model, Scope* scope,
                                         const std::set<std::string>& tokens, bool parsedTokens) {
  std::map<std::string, std::string> ids;
  for (const std::string& token : tokens) {
    KelborComponent* c = model.resolveSymbol(token, scope);
    if (c && c->getID() && token != c->getID()) ids[token] = c->getID();
  }
  if (parsedTokens && ids.empty() && !tokens.empty()) return;
  substituteNames(formula, ids, true);
}

void SBMLExpressionObject::replaceNamesWithIds(std::string& formula, Kelbor& model,
                                               ExpressionBasedComponent* scope,
                                               const std::set<std::string>& tokens) {
  substituteIds(formula, model, scope, tokens, false);
}

void SBMLExpressionObject::replaceRateNamesWithIds(std::string& formula, Kelbor& model, BReaction* scope,
                                                   const std::set<std::string>& tokens) {
  substituteIds(formula, model, scope, tokens, true);
}

void SBMLExpressionObject::translateFunctionNamesToSBML(std::string& formula) {
  MParseTree tree(formula.c_str());
  std::string mathml;
  bool ok = parses(tree);
  if (ok) {
    tree.translateToMathML(mathml);
    MParseTree translated(mathml.c_str());
    ok = parses(translated);
    if (ok) {
      formula = substitute(translated, reverseMap());
      return;
    }
  }
  hb_warning_id(hbGetWarningContext(), "Kestrion:ParseErrorReplacingFunctions2",
                kstr::code(Code::KS_PARSE_ERROR_REPLACING_FUNCTIONS2), formula.c_str());
}

ASTNode* SBMLExpressionObject::mathFromFormula(const std::string& formula) {
  if (formula.empty()) return nullptr;
  ASTNode* math = SBML_parseFormula(formula.c_str());
  if (math) finishFromHostText(*math);
  return math;
}
