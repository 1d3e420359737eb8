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
#include "core/LiveSlotTree.hpp"
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
  // The same text, borrowed until the expression next changes.
  const char* getText() const { return text_.c_str() + textStart_; }
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

  std::size_t getNumReactants() const { return reactantSlots_.live(); }
  std::size_t getNumProducts() const { return productSlots_.live(); }
  // The index must be below the side's count.  Constant time, or
  // logarithmic while the side has gaps left by removed terms.
  const ReactionTerm& getReactantAt(std::size_t index) const {
    return reactants_[slotAt(reactantSlots_, index)];
  }
  const ReactionTerm& getProductAt(std::size_t index) const {
    return products_[slotAt(productSlots_, index)];
  }

  // Append each term's species (null for an unbound term), in term order.
  template <class Species = BSpecies>
  void getReactants(kstrVector<Species*>& out) const {
    forEachTerm(reactants_, [&out](const ReactionTerm& term) { out.push_back(term.getSpecies<Species>()); });
  }
  template <class Species = BSpecies>
  void getProducts(kstrVector<Species*>& out) const {
    forEachTerm(products_, [&out](const ReactionTerm& term) { out.push_back(term.getSpecies<Species>()); });
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
  // Appends each amount as a new term at the end of its side, named by the
  // species' getPQN and bound to it, writing the terms into the composed
  // text where their side ends in place of composing it again; the names
  // of the new terms are appended to names, reactants first.  A long
  // equation gains k terms at a cost of O(k) and the move of the text
  // behind the reactants.  False, with nothing changed, when that is not
  // the same as addToSide on each side: the expression is not valid or its
  // text was kept as given, a species is null, already on its side or
  // listed twice for it.
  bool appendNewTerms(const std::vector<SpeciesAmount>& reactants,
                      const std::vector<SpeciesAmount>& products, std::vector<std::string>& names);

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
  // a term was removed (never for a null species).  On a long equation the
  // removal of k terms costs O(k log n): the terms are found by the index,
  // leave gaps that are closed once they outnumber the terms, and are cut
  // out of the text where it holds them.
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
  // Where each term name stands, and each bound species: positions of
  // reactants, and of products with kProductBit set (a position is the
  // term's slot in its side's vector).  Built on first use for an equation
  // of many terms (a few terms are searched instead), kept as terms are
  // removed, bound or appended as new terms, and dropped whenever terms are
  // otherwise added, renamed or moved (also when an append moves a side's
  // vector); a copy starts without one, since its keys view the names of
  // the equation it was built for.
  class NameIndex {
   public:
    using Positions = std::vector<std::uint32_t>;
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
      species_.clear();
      built_ = false;
    }
    void build(const ReactionExpression& expression);
    // The positions of the terms of that name, in term order, reactants
    // first; null when there is none.
    const Positions* find(const std::string& name) const;
    // The positions of the terms bound to the species, in no set order;
    // null when there is none.
    const Positions* findSpecies(const KelborComponent* species) const;
    // The term at the position (still holding its name) leaves the index.
    void remove(std::uint32_t position, const ReactionTerm& term);
    // The term at the position (a new one) enters the index.
    void add(std::uint32_t position, const ReactionTerm& term);
    // The term at the position is bound from one species to another.
    void rebind(std::uint32_t position, const KelborComponent* from, const KelborComponent* to);

   private:
    std::unordered_map<std::string_view, Positions> positions_;
    std::unordered_map<const KelborComponent*, Positions> species_;
    bool built_ = false;
  };

  // A side's vector position of the side's index-th term.
  static std::size_t slotAt(const LiveSlotTree& slots, std::size_t index) {
    return slots.live() == slots.slots() ? index : slots.slotOf(index);
  }
  const LiveSlotTree& slotsOf(const TermVector& terms) const {
    return &terms == &products_ ? productSlots_ : reactantSlots_;
  }
  LiveSlotTree& slotsOf(const TermVector& terms) {
    return &terms == &products_ ? productSlots_ : reactantSlots_;
  }
  // Calls f with each term of the side in term order, passing over the
  // gaps of removed terms.
  template <class F>
  void forEachTerm(const TermVector& terms, F&& f) const {
    const LiveSlotTree& slots = slotsOf(terms);
    const bool gaps = slots.live() != slots.slots();
    for (std::size_t i = 0; i < terms.size(); ++i) {
      if (!gaps || slots.isLive(i)) f(terms[i]);
    }
  }
  template <class Pred>
  bool anyTerm(const TermVector& terms, Pred&& pred) const {
    const LiveSlotTree& slots = slotsOf(terms);
    const bool gaps = slots.live() != slots.slots();
    for (std::size_t i = 0; i < terms.size(); ++i) {
      if ((!gaps || slots.isLive(i)) && pred(terms[i])) return true;
    }
    return false;
  }

  void init(const ParsedReaction& parsed);
  void composeText();
  // Erases count characters at that place of text_, moving the shorter of
  // the parts before and after them.
  void eraseText(std::size_t at, std::size_t count);
  // Takes the term in that slot of the side out of the composed text in
  // place of composing it again (a long equation loses one term at the
  // cost of moving the text behind it), and leaves the slot empty.
  void cutTermFromText(TermVector& terms, std::size_t slot);
  // Whether every amount may be appended to the side as a new term (see
  // appendNewTerms).
  bool canAppendAsNewTerms(const TermVector& terms, const std::vector<SpeciesAmount>& amounts) const;
  // Appends the amounts to the side, its text, its text lengths and the
  // name index (dropped when the side's vector moved).
  void appendNewTermsToSide(TermVector& terms, const std::vector<SpeciesAmount>& amounts,
                            std::vector<std::string>& names);
  // The side's terms moved together, without gaps; every index dropped.
  void closeGaps(TermVector& terms);
  // Both sides without gaps, for an edit that rewrites the terms.
  void closeAllGaps();
  // The terms or their names changed otherwise than by removal: the name
  // index and the text lengths are dropped.
  void termsChanged();
  // The term index for a lookup by name, or null when the terms are few
  // enough to be searched.
  NameIndex* nameIndex() const;
  ReactionTerm& termAt(std::uint32_t position);
  const ReactionTerm& termAt(std::uint32_t position) const;
  // The slots of the side's terms bound to the species, in term order.
  std::vector<std::size_t> boundSlots(const TermVector& terms, const KelborComponent* species) const;
  bool isBoundOnSide(const TermVector& terms, const KelborComponent* species) const;
  bool isNamedOnSide(const TermVector& terms, const char* text) const;
  void appendTerm(TermVector& terms, KelborComponent* species, double stoichiometry);
  // A term of the species at the end of the side, with its live slot.
  void pushTerm(TermVector& terms, KelborComponent* species, double stoichiometry);
  bool removeBoundTerms(TermVector& terms, const KelborComponent* species,
                        std::vector<std::string>* removedNames = nullptr);

  // The text is text_ from textStart_ on: a removal near the front moves
  // the part before the term in place of the part after it.
  std::string text_;
  std::size_t textStart_ = 0;
  // The text is the one composeText writes (not one kept as given).
  bool composed_ = false;
  bool valid_ = true;
  bool reversible_ = false;
  // The terms of each side in term order; a removed term leaves its slot
  // (which no longer counts) until the side's gaps are closed.
  TermVector reactants_;
  TermVector products_;
  // Which slots of each side hold a term.
  LiveSlotTree reactantSlots_;
  LiveSlotTree productSlots_;
  // Per side, a Fenwick tree (1-based) over the slots of the text length of
  // each term with its " + ", for where a term stands in the composed text;
  // written with the text, and once dropped, empty until a removal or an
  // append needs it.
  std::vector<std::size_t> reactantLengths_;
  std::vector<std::size_t> productLengths_;
  mutable NameIndex nameIndex_;
};

}  // namespace kstr
