#pragma once

#include <string>

#include <boost/shared_ptr.hpp>

#include "core/KelborApi.hpp"
#include "expressions/Expression.hpp"

class MParseTree;

namespace kstr {

// An expression in the host language's syntax: a rate, a rule's text, an
// event trigger, one side of an assignment, a kinetic-law expression.  It
// keeps the trimmed text, the parse tree of that text (shared between
// copies, never changed once built) and the map from each distinct token to
// the component it is bound to.  A text that does not parse -- the empty
// text included, which is never handed to the parse tree -- is no error:
// the expression keeps the text, has no parse tree and no tokens, and is not
// syntactically valid.
class KELBOR_API MathExpression : public Expression {
 public:
  // Trims and parses the text; every token starts unbound.  Only
  // allocation failures propagate.
  explicit MathExpression(const std::string& text);
  // Copy the collision tokens, the text and the token map (same component
  // pointers) and share the parse tree.
  MathExpression(const MathExpression& other);
  MathExpression& operator=(const MathExpression& other);
  ~MathExpression() override;

  // The parse tree; null when the text is empty or did not parse.
  boost::shared_ptr<const MParseTree> getParseTree() const;
  // The token map of this expression.
  const ComponentMap& getSymbolComponentMap() const { return symbolMap_; }

  std::string getExpressionString() const override;
  // True exactly when the text parsed.
  bool isSyntacticallyValid() const override { return parseTree_ != nullptr; }
  bool containsToken(const std::string& token) const override;
  // With allTokens false, unbound host function names are left out.
  void fillSetWithTokens(TokenSet& tokens, bool allTokens) const override;
  // False when the text did not parse or some token is unresolved;
  // reserved tokens and host function names count as resolving.
  bool doAllTokensResolve() const override;
  void getUnresolvedTokens(TokenSet& tokens) const override;
  void getSymbolComponentMap(ConstComponentMap& out) const override;
  void getSymbolComponentMap(ComponentMap& out) const override;
  bool isComponentUsed(const KelborComponent* component) const override;
  // A token that is not in the text yet is added to the map.
  void setResolvedComponent(const std::string& token, KelborComponent* component) override;
  KelborComponent* getResolvedComponent(const std::string& token) const override;
  // Replaces every token that is a key by its new text (all at once, the
  // rest of the text kept as written) and parses the result again: every
  // token is then unbound and the collision tokens are cleared, even when
  // no key occurred.  Nothing happens without a parse tree.
  void substitute(const SubstitutionMap& substitutions) override;

 private:
  // Parses a text into this expression (construction and substitution).
  void init(const std::string& text);

  std::string text_;
  boost::shared_ptr<MParseTree> parseTree_;
  ComponentMap symbolMap_;
};

}  // namespace kstr
