#pragma once

#include <iosfwd>
#include <set>
#include <string>
#include <utility>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"

class KelborComponent;

namespace kstr {

// Abstract expression carried by a model component: a rate, a rule, an
// event trigger or function, a kinetic-law expression or a reaction
// equation.  Components and the symbol table work with every kind through
// the operations below: the text, the tokens (names) it uses, the component
// each token is bound to, renaming of tokens, and the set of collision
// tokens (tokens that could denote more than one component).  The
// expression never resolves a token itself and never decides a collision:
// its owner stores both.
class KELBOR_API Expression {
 public:
  // How a (token, component) pair resolves; the first rule that holds wins.
  enum SymbolResolutionStatus : int {
    resolved = 0,        // bound to a component (whatever the token's text)
    host_function = 1,   // unbound, names a function of the host language
    reserved_token = 2,  // unbound, one of the product's reserved tokens
    unresolved = 3,      // none of the above
  };

  using TokenSet = std::set<std::string>;
  using ConstComponentMap = kstrMap<std::string, const KelborComponent*>;
  using ComponentMap = kstrMap<std::string, KelborComponent*>;
  using SubstitutionMap = kstrMap<std::string, std::string>;

  // Copy the collision-token set.
  Expression(const Expression& other);
  Expression& operator=(const Expression& other);
  virtual ~Expression();

  // Operations that add to a caller's container never clear it: they
  // insert, and a key the caller's map already holds keeps its value.

  // The expression's text.
  virtual std::string getExpressionString() const = 0;
  virtual bool isSyntacticallyValid() const = 0;
  virtual bool containsToken(const std::string& token) const = 0;
  // Adds the tokens to the set; see each kind for what allTokens leaves out.
  virtual void fillSetWithTokens(TokenSet& tokens, bool allTokens) const = 0;
  virtual bool doAllTokensResolve() const = 0;
  // Adds the tokens whose status is unresolved.
  virtual void getUnresolvedTokens(TokenSet& tokens) const = 0;
  // Adds every (token, component) entry; null for unbound tokens.
  virtual void getSymbolComponentMap(ConstComponentMap& out) const = 0;
  virtual void getSymbolComponentMap(ComponentMap& out) const = 0;
  // Whether some token is bound to the component (pointer identity).
  virtual bool isComponentUsed(const KelborComponent* component) const = 0;
  // Binds a token; null unbinds it.
  virtual void setResolvedComponent(const std::string& token,
                                    KelborComponent* component) = 0;
  // The component bound to the token; null when unbound or absent.
  virtual KelborComponent* getResolvedComponent(const std::string& token) const = 0;
  // Renames tokens: old token -> new text, the new text used verbatim.
  virtual void substitute(const SubstitutionMap& substitutions) = 0;
  // Writes the text, the collision tokens and the token bindings on three
  // lines, to the standard output stream or to the given stream.
  virtual void debugPrint() const;
  virtual void debugPrint(std::ostream& out) const;

  // --- collision tokens -------------------------------------------------
  const TokenSet& getCollisionTokens() const { return collisionTokens_; }
  bool containsCollisionToken(const std::string& token) const;
  // No effect when the token is already present.
  void addCollisionToken(const std::string& token);
  // No effect when the token is absent.
  void removeCollisionToken(const std::string& token);
  void clearAllCollisionTokens();

  // A new assignment expression when the text holds an assignment's
  // equals sign, else a new math expression of the whole text; the caller
  // owns it.  A text that does not parse gives an expression that is not
  // syntactically valid; only allocation failures propagate.
  static Expression* createExpression(const std::string& text);

 protected:
  Expression();

  // The status of one entry of a token map (token, bound component).
  static SymbolResolutionStatus getSymbolResolutionStatus(
      const std::pair<const std::string, KelborComponent*>& entry);

 private:
  TokenSet collisionTokens_;
};

}  // namespace kstr
