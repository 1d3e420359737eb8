#pragma once

#include <string>

#include <boost/shared_ptr.hpp>

#include "core/KelborApi.hpp"
#include "expressions/Expression.hpp"
#include "expressions/MathExpression.hpp"

class MParseTree;

namespace kstr {

// An expression "left side = right side": the text of an assignment-type
// rule or of an event function.  Each side is a math expression; every
// operation combines the answers of the two sides, the left side first.
// Copies share the two sides, so a binding or a substitution made through
// one copy is seen through the other; each copy keeps its own collision
// tokens and equals flag.
class KELBOR_API AssignmentExpression : public Expression {
 public:
  // Splits the text at its assignment's equals sign; each side trims and
  // parses its own text.  Without an equals sign the left side is empty
  // (and invalid) and the right side holds the whole text.
  explicit AssignmentExpression(const std::string& text);
  AssignmentExpression(const AssignmentExpression& other);
  AssignmentExpression& operator=(const AssignmentExpression& other);
  ~AssignmentExpression() override;

  // "left = right" with the equals flag, else the two texts run together.
  std::string getExpressionString() const override;
  // Both sides parse, the left side holds exactly one distinct token and no
  // numeric literal.
  bool isSyntacticallyValid() const override;
  bool containsToken(const std::string& token) const override;
  void fillSetWithTokens(TokenSet& tokens, bool allTokens) const override;
  bool doAllTokensResolve() const override;
  void getUnresolvedTokens(TokenSet& tokens) const override;
  // A token on both sides keeps the left side's component.
  void getSymbolComponentMap(ConstComponentMap& out) const override;
  void getSymbolComponentMap(ComponentMap& out) const override;
  bool isComponentUsed(const KelborComponent* component) const override;
  // Binds the token on each side that holds it; a token of neither side
  // changes nothing.
  void setResolvedComponent(const std::string& token, KelborComponent* component) override;
  KelborComponent* getResolvedComponent(const std::string& token) const override;
  // Clears this expression's collision tokens, then substitutes on the left
  // side and on the right side.
  void substitute(const SubstitutionMap& substitutions) override;

  // --- the two sides -----------------------------------------------------
  std::string getLHSExpressionString() const;
  std::string getRHSExpressionString() const;
  // Null when the side did not parse.
  boost::shared_ptr<const MParseTree> getLHSParseTree() const;
  boost::shared_ptr<const MParseTree> getRHSParseTree() const;
  const ComponentMap& getLHSSymbolComponentMap() const;
  const ComponentMap& getRHSSymbolComponentMap() const;
  void fillLHSSymbolComponentMap(ConstComponentMap& out) const;
  void fillRHSSymbolComponentMap(ConstComponentMap& out) const;
  // Host function names are left out.
  void fillSetWithLHSTokens(TokenSet& tokens) const;
  void fillSetWithRHSTokens(TokenSet& tokens) const;
  void getUnresolvedRHSTokens(TokenSet& tokens) const;
  // True when the left side holds exactly one distinct token, bound to a
  // component, and parsed without a numeric literal.
  bool isLHSValidAssignmentVariable() const;

 private:
  boost::shared_ptr<MathExpression> lhs_;
  boost::shared_ptr<MathExpression> rhs_;
  bool hasEquals_ = false;
};

}  // namespace kstr
