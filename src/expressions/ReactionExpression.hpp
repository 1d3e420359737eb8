#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "expressions/Expression.hpp"
#include "expressions/ReactionTerm.hpp"

class BSpecies;
class KelborComponent;
struct ParsedReaction;

namespace kstr {

// The equation of a reaction: reactant and product terms, the reversible
// flag and the equation text.  Its tokens are the names of its terms;
// binding a token binds every term of that name to a species.  It is built
// from the reaction-equation parser's result, not parsed here, and composes
// its text from the terms whenever they change:
//   reactant side, " <-> " or " -> ", product side
// where a side is "null" without terms, else its terms joined by " + ", and
// a term is its name preceded by its stoichiometry and a space when that is
// not exactly 1 (NaN included), written as a standard stream writes a
// double by default (six significant digits).  Terms are never merged: the
// same species may stand in several terms of a side.
//
// The species-typed operations are templates so that this layer needs no
// definition of BSpecies; they convert to and from the component base where
// the caller knows the species class.
class KELBOR_API ReactionExpression : public Expression {
 public:
  using TermVector = kstrVector<ReactionTerm>;

  // Text "null -> null", valid, not reversible, no terms.
  ReactionExpression();
  // Keeps the text as given (not composed).  Valid exactly when parsed is
  // not null; the terms and the reversible flag come from parsed.
  ReactionExpression(const std::string& text, const ParsedReaction* parsed);
  // As above, but the text is composed from the terms.  A null parsed
  // reaction gives an invalid expression without terms, "null -> null".
  explicit ReactionExpression(const ParsedReaction* parsed);
  // Copy the collision tokens, the text, both flags and both term lists
  // (the species pointers, not the species).
  ReactionExpression(const ReactionExpression& other);
  ReactionExpression& operator=(const ReactionExpression& other);
  ~ReactionExpression() override;

  std::string getExpressionString() const override;
  // Fixed at construction.
  bool isSyntacticallyValid() const override { return valid_; }
  bool containsToken(const std::string& token) const override;
  // The names of the reactant terms, then of the product terms; the flag
  // makes no difference.
  void fillSetWithTokens(TokenSet& tokens, bool allTokens) const override;
  // Every term of both sides is bound (true without terms).
  bool doAllTokensResolve() const override;
  void getUnresolvedTokens(TokenSet& tokens) const override;
  // (name, species) of every term, reactants first; the first entry of a
  // name wins.
  void getSymbolComponentMap(ConstComponentMap& out) const override;
  void getSymbolComponentMap(ComponentMap& out) const override;
  // False for null and for any component that is not a species.
  bool isComponentUsed(const KelborComponent* component) const override;
  // Binds every term of that name to the component when it is a species,
  // and unbinds them when it is not (or is null).  The text is unchanged.
  void setResolvedComponent(const std::string& token, KelborComponent* component) override;
  // The species of the first reactant term of that name, else of the first
  // product term of that name, else null.
  KelborComponent* getResolvedComponent(const std::string& token) const override;
  // Does nothing: term names follow their species through
  // refreshReactionString.
  void substitute(const SubstitutionMap& substitutions) override;

  bool getReversible() const { return reversible_; }
  // Composes the text when the flag changes; otherwise nothing happens.
  void setReversible(bool reversible);

  std::size_t getNumReactants() const { return reactants_.size(); }
  std::size_t getNumProducts() const { return products_.size(); }
  // The index must be below the side's count.
  const ReactionTerm& getReactantAt(std::size_t index) const { return reactants_[index]; }
  const ReactionTerm& getProductAt(std::size_t index) const { return products_[index]; }

  // Append each term's species (null for an unbound term), in term order.
  template <class Species = BSpecies>
  void getReactants(kstrVector<Species*>& out) const {
    for (const ReactionTerm& term : reactants_) out.push_back(term.getSpecies<Species>());
  }
  template <class Species = BSpecies>
  void getProducts(kstrVector<Species*>& out) const {
    for (const ReactionTerm& term : products_) out.push_back(term.getSpecies<Species>());
  }

  // False when the expression is not valid or the species is null; else
  // whether a term of that side is bound to the species.
  template <std::derived_from<KelborComponent> Species>
  bool isReactant(const Species* species) const {
    return isBoundOnSide(reactants_, species);
  }
  template <std::derived_from<KelborComponent> Species>
  bool isProduct(const Species* species) const {
    return isBoundOnSide(products_, species);
  }
  // False when the expression is not valid; else whether a bound term of
  // that side has a species whose getPQN equals the text (null counts as
  // ""), so in a model with several compartments the text is qualified.
  bool isReactant(const char* text) const;
  bool isProduct(const char* text) const;

  // A species with a (positive) stoichiometry to add to one side.
  using SpeciesAmount = std::pair<KelborComponent*, double>;
  // Adds each amount in order to the side: to the stoichiometry of the
  // side's first term bound to that species, else as a new term named by
  // the species' getPQN and bound to it; then composes the text once.  Null
  // species are skipped.  Costs O(side + amounts), however many there are.
  void addToSide(bool products, const std::vector<SpeciesAmount>& amounts);

  // Appends a term named by the species' getPQN with the given
  // stoichiometry, bound to the species, and composes the text.  A null
  // species changes nothing.
  template <std::derived_from<KelborComponent> Species>
  void addReactant(Species* species, double stoichiometry) {
    appendTerm(reactants_, species, stoichiometry);
  }
  template <std::derived_from<KelborComponent> Species>
  void addProduct(Species* species, double stoichiometry) {
    appendTerm(products_, species, stoichiometry);
  }
  // Removes every term of that side bound to the species, keeping the
  // order of the others, composes the text in any case and answers whether
  // a term was removed (never for a null species).
  template <std::derived_from<KelborComponent> Species>
  bool removeReactant(const Species* species) {
    return removeBoundTerms(reactants_, species);
  }
  template <std::derived_from<KelborComponent> Species>
  bool removeProduct(const Species* species) {
    return removeBoundTerms(products_, species);
  }
  // The same on the product side (products true) or the reactant side,
  // appending the names of the removed terms to removedNames.  False, and
  // the text is not composed again, when the expression is not valid or no
  // term of that side is bound to the species.
  bool removeTermsOf(bool products, const KelborComponent* species,
                     std::vector<std::string>& removedNames);

  // values holds the signed stoichiometry, one value per term, reactants
  // first and negative: reactant i takes -values[i], product j takes
  // values[reactants + j]; then the text is composed.  When count differs
  // from the number of terms (or values is null while terms exist) nothing
  // changes.
  void setStoichiometry(const double* values, std::size_t count);
  // Appends the signed stoichiometry: the reactant magnitudes negated, then
  // the product magnitudes.
  void getSignedStoichiometry(kstrVector<double>& out) const;

  // With refreshNames every bound term takes its species' getPQN as its
  // name (unbound terms keep theirs); then the text is composed.
  void refreshReactionString(bool refreshNames);

 private:
  // Where each term name stands: positions of reactants, and of products
  // with kProductBit set.  Built on first use for an equation of many terms
  // (a few terms are searched instead) and dropped whenever terms or their
  // names change; a copy starts without one, since its keys view the
  // names of the equation it was built for.
  class NameIndex {
   public:
    static constexpr std::uint32_t kProductBit = 0x80000000u;
    NameIndex() = default;
    NameIndex(const NameIndex&) {}
    NameIndex& operator=(const NameIndex&) {
      clear();
      return *this;
    }
    bool built() const { return built_; }
    void clear() {
      positions_.clear();
      built_ = false;
    }
    void build(const TermVector& reactants, const TermVector& products);
    // The positions of the terms of that name, in term order, reactants
    // first; null when there is none.
    const std::vector<std::uint32_t>* find(const std::string& name) const;

   private:
    std::unordered_map<std::string_view, std::vector<std::uint32_t>> positions_;
    bool built_ = false;
  };

  void init(const ParsedReaction& parsed);
  void composeText();
  // Takes term `index` of the side out of the composed text in place of
  // composing it again (a long equation loses one term at the cost of
  // moving the text behind it).
  void cutTermFromText(const TermVector& terms, std::size_t index);
  // The term index for a lookup by name, or null when the terms are few
  // enough to be searched.
  const NameIndex* nameIndex() const;
  ReactionTerm& termAt(std::uint32_t position);
  const ReactionTerm& termAt(std::uint32_t position) const;
  bool isBoundOnSide(const TermVector& terms, const KelborComponent* species) const;
  bool isNamedOnSide(const TermVector& terms, const char* text) const;
  void appendTerm(TermVector& terms, KelborComponent* species, double stoichiometry);
  bool removeBoundTerms(TermVector& terms, const KelborComponent* species,
                        std::vector<std::string>* removedNames = nullptr);

  std::string text_;
  // The text is the one composeText writes (not one kept as given).
  bool composed_ = false;
  bool valid_ = true;
  bool reversible_ = false;
  TermVector reactants_;
  TermVector products_;
  mutable NameIndex nameIndex_;
};

}  // namespace kstr
