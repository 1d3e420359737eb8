// SBML math trees and host formulas in both directions, node by node: a
// MathML function becomes its host function and a MathML name a model name
// only where they stand (a parameter with the id "pow" stays a name; a call
// of the host's "power" becomes MathML's power), and numbers keep every
// digit they need.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "sbml/SBMLForward.hpp"

class MParseTree;

namespace kstr::sbml {

// The model name of an SBML id, or "" when the id names nothing read.
using ModelNameOf = std::function<std::string(const std::string& id)>;

// Read: the host formula of a math tree.  Names take their model names
// (ids that name nothing stay as they are), MathML functions their host
// names, n-ary relations and logical operators become chains of
// two-argument calls with the same meaning, the delay symbol reads as
// "delay" and the time symbol as "time", and every number is written with
// the shortest text that reads back as the same double.  The tree is
// walked without recursion: any depth takes the same stack.
std::string hostFormulaOf(const ASTNode& math, const ModelNameOf& nameOf);

// The SBML id of the component a formula's name denotes, or null.
using ComponentIdOf = std::function<const char*(const std::string& name)>;
// Told of each function a formula calls that SBML math has no form for.
using NoMathMLForm = std::function<void(const std::string& function)>;

// Write: the math tree of a host formula (the caller owns it), or null when
// the formula does not parse (with the warning
// "Kestrion:ParseErrorCannotReplaceExpressionNamesWithIDS") or its MathML
// form does not (with "Kestrion:ParseErrorReplacingFunctions2"), and null
// with the warning "Kestrion:SBML_MATH_TOO_DEEP_TO_WRITE" when its tree
// would be more than kMaxMathLevels deep (a chain a + b + c of n operands
// is n levels: libSBML nests them, and its copy, write and destruction of a
// tree recurse as deep as it goes) or its MathML deeper than the read
// accepts (SBMLInputShape.hpp): what is written reads again.  A name in
// a call's position is a function: a host function with a MathML form gets
// it (nthroot and log2 included); any other is written as a call of that
// name and reported to noForm.  Any other name that idOf knows becomes the
// component's id, whatever it spells ("Pi", "power", "NaN", "true");
// otherwise the host constants pi, Inf, NaN, true, false, eps and time get
// their MathML forms and other names stay as written.
// parsed, when given, is a parse the caller already holds: it is used when
// it has parsed exactly this formula, and the formula is parsed otherwise.
ASTNode* mathOfHostFormula(const std::string& formula, const ComponentIdOf& idOf, const NoMathMLForm& noForm,
                           const MParseTree* parsed = nullptr);

// Frees a tree without recursion (libSBML's destructor recurses as deep as
// the tree goes).
struct MathDeleter {
  void operator()(ASTNode* math) const noexcept;
};
using MathPtr = std::unique_ptr<ASTNode, MathDeleter>;

// Runs set, an element's setMath, with the tree: libSBML copies it node by
// node, recursively, so a tree deeper than kShallowNesting levels is copied
// on the large stack (SBMLLargeStack.hpp).  libSBML's status.
int copyMathInto(const ASTNode& math, const std::function<int(const ASTNode*)>& set);

template <class Element>
int setMathOf(Element& element, const ASTNode& math) {
  return copyMathInto(math, [&element](const ASTNode* tree) { return element.setMath(tree); });
}

}  // namespace kstr::sbml
