#include "expressions/ReactionExpression.hpp"

#include <algorithm>
#include <charconv>

#include <ks_utils/Identifiers.hpp>

#include "core/ComponentKind.hpp"
#include "core/KelborComponent.hpp"
#include "reactions/ParsedReaction.hpp"
#include "reactions/ParsedReactionTerm.hpp"

namespace kstr {

namespace {

constexpr const char* kEmptySide = "null";

bool isSpecies(const KelborComponent* component) {
  return component != nullptr && component->getEnumType() == kstr::species;
}

// "name", or "qualifier.name" with a non-empty qualifier; each part in
// brackets when it is no valid identifier.
std::string termName(const std::string& qualifier, const std::string& name) {
  std::string bracketedName = name;
  bracketNameIfNotValidIdentifier(bracketedName);
  if (qualifier.empty()) return bracketedName;
  std::string result = qualifier;
  bracketNameIfNotValidIdentifier(result);
  result += '.';
  result += bracketedName;
  return result;
}

// The terms of one side of a parsed reaction, without the "null"
// placeholder, all unbound.
void fillTerms(const kstrVector<ParsedReactionTerm*>& parsedTerms,
               ReactionExpression::TermVector& terms) {
  terms.clear();
  terms.reserve(parsedTerms.size());
  for (const ParsedReactionTerm* parsed : parsedTerms) {
    if (parsed == nullptr || parsed->name == kEmptySide) continue;
    ReactionTerm term;
    term.stoichiometry = parsed->stoichiometry;
    term.name = termName(parsed->qualifier, parsed->name);
    terms.push_back(std::move(term));
  }
}

// A double as printf's "%g" writes it, with as many more significant digits
// as it takes to read back as the same double, so that an equation set from
// its own text keeps every stoichiometry.
void appendNumber(std::string& text, double value) {
  char buffer[64];
  std::to_chars_result written{};
  for (int precision = 6; precision <= 17; ++precision) {
    written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    double back = 0;
    std::from_chars(buffer, written.ptr, back);
    if (back == value) break;
  }
  text.append(buffer, written.ptr);
}

// The length of a term's text: its stoichiometry and a space when that is
// not 1, then its name.
std::size_t termTextLength(const ReactionTerm& term) {
  if (term.stoichiometry == 1.0) return term.name.size();
  std::string number;
  appendNumber(number, term.stoichiometry);
  return number.size() + 1 + term.name.size();
}

constexpr std::size_t kJoinLength = 3;  // " + "

// The length of a whole side's text.
std::size_t sideTextLength(const ReactionExpression::TermVector& terms) {
  if (terms.empty()) return std::char_traits<char>::length(kEmptySide);
  std::size_t length = kJoinLength * (terms.size() - 1);
  for (const ReactionTerm& term : terms) length += termTextLength(term);
  return length;
}

void appendSide(std::string& text, const ReactionExpression::TermVector& terms) {
  if (terms.empty()) {
    text += kEmptySide;
    return;
  }
  bool first = true;
  for (const ReactionTerm& term : terms) {
    if (!first) text += " + ";
    first = false;
    if (!(term.stoichiometry == 1.0)) {
      appendNumber(text, term.stoichiometry);
      text += ' ';
    }
    text += term.name;
  }
}

const ReactionTerm* findNamed(const ReactionExpression::TermVector& terms,
                              const std::string& name) {
  for (const ReactionTerm& term : terms) {
    if (term.name == name) return &term;
  }
  return nullptr;
}

// Below this many terms an equation is searched term by term; above it a
// name index pays for itself.
constexpr std::size_t kIndexedTerms = 32;

template <class Map>
void insertBindings(const ReactionExpression::TermVector& terms, Map& out) {
  for (const ReactionTerm& term : terms) out.emplace(term.name, term.species);
}

}  // namespace

ReactionExpression::ReactionExpression() { composeText(); }

ReactionExpression::ReactionExpression(const std::string& text, const ParsedReaction* parsed)
    : text_(text), valid_(parsed != nullptr) {
  if (parsed != nullptr) init(*parsed);
}

ReactionExpression::ReactionExpression(const ParsedReaction* parsed) : valid_(parsed != nullptr) {
  if (parsed != nullptr) init(*parsed);
  composeText();
}

ReactionExpression::ReactionExpression(const ReactionExpression& other) = default;
ReactionExpression& ReactionExpression::operator=(const ReactionExpression& other) = default;
ReactionExpression::~ReactionExpression() = default;

void ReactionExpression::NameIndex::build(const TermVector& reactants,
                                          const TermVector& products) {
  positions_.clear();
  positions_.reserve(reactants.size() + products.size());
  for (std::size_t i = 0; i < reactants.size(); ++i) {
    positions_[reactants[i].name].push_back(static_cast<std::uint32_t>(i));
  }
  for (std::size_t j = 0; j < products.size(); ++j) {
    positions_[products[j].name].push_back(static_cast<std::uint32_t>(j) | kProductBit);
  }
  built_ = true;
}

const std::vector<std::uint32_t>* ReactionExpression::NameIndex::find(
    const std::string& name) const {
  const auto it = positions_.find(std::string_view(name));
  return it == positions_.end() ? nullptr : &it->second;
}

const ReactionExpression::NameIndex* ReactionExpression::nameIndex() const {
  if (reactants_.size() + products_.size() <= kIndexedTerms) return nullptr;
  if (!nameIndex_.built()) nameIndex_.build(reactants_, products_);
  return &nameIndex_;
}

ReactionTerm& ReactionExpression::termAt(std::uint32_t position) {
  const std::uint32_t index = position & ~NameIndex::kProductBit;
  return (position & NameIndex::kProductBit) ? products_[index] : reactants_[index];
}

const ReactionTerm& ReactionExpression::termAt(std::uint32_t position) const {
  const std::uint32_t index = position & ~NameIndex::kProductBit;
  return (position & NameIndex::kProductBit) ? products_[index] : reactants_[index];
}

void ReactionExpression::init(const ParsedReaction& parsed) {
  nameIndex_.clear();
  fillTerms(parsed.reactants, reactants_);
  fillTerms(parsed.products, products_);
  reversible_ = parsed.reversible;
}

void ReactionExpression::cutTermFromText(const TermVector& terms, std::size_t index) {
  std::size_t start = 0;
  if (&terms == &products_) {
    start = sideTextLength(reactants_) + (reversible_ ? 5 : 4);  // " <-> " or " -> "
  }
  for (std::size_t j = 0; j < index; ++j) start += termTextLength(terms[j]) + kJoinLength;
  const std::size_t length = termTextLength(terms[index]);
  if (terms.size() == 1) {
    text_.replace(start, length, kEmptySide);
  } else if (index == 0) {
    text_.erase(start, length + kJoinLength);
  } else {
    text_.erase(start - kJoinLength, length + kJoinLength);
  }
}

void ReactionExpression::composeText() {
  composed_ = true;
  text_.clear();
  appendSide(text_, reactants_);
  text_ += reversible_ ? " <-> " : " -> ";
  appendSide(text_, products_);
}

std::string ReactionExpression::getExpressionString() const { return text_; }

bool ReactionExpression::containsToken(const std::string& token) const {
  if (const NameIndex* index = nameIndex()) return index->find(token) != nullptr;
  return findNamed(reactants_, token) != nullptr || findNamed(products_, token) != nullptr;
}

void ReactionExpression::fillSetWithTokens(TokenSet& tokens, bool) const {
  for (const ReactionTerm& term : reactants_) tokens.insert(term.name);
  for (const ReactionTerm& term : products_) tokens.insert(term.name);
}

bool ReactionExpression::doAllTokensResolve() const {
  const auto bound = [](const ReactionTerm& term) { return term.species != nullptr; };
  return std::all_of(reactants_.begin(), reactants_.end(), bound) &&
         std::all_of(products_.begin(), products_.end(), bound);
}

void ReactionExpression::getUnresolvedTokens(TokenSet& tokens) const {
  for (const ReactionTerm& term : reactants_) {
    if (term.species == nullptr) tokens.insert(term.name);
  }
  for (const ReactionTerm& term : products_) {
    if (term.species == nullptr) tokens.insert(term.name);
  }
}

void ReactionExpression::getSymbolComponentMap(ConstComponentMap& out) const {
  insertBindings(reactants_, out);
  insertBindings(products_, out);
}

void ReactionExpression::getSymbolComponentMap(ComponentMap& out) const {
  insertBindings(reactants_, out);
  insertBindings(products_, out);
}

bool ReactionExpression::isComponentUsed(const KelborComponent* component) const {
  if (!isSpecies(component)) return false;
  const auto boundToIt = [component](const ReactionTerm& term) {
    return term.species == component;
  };
  return std::any_of(reactants_.begin(), reactants_.end(), boundToIt) ||
         std::any_of(products_.begin(), products_.end(), boundToIt);
}

void ReactionExpression::setResolvedComponent(const std::string& token,
                                              KelborComponent* component) {
  KelborComponent* species = isSpecies(component) ? component : nullptr;
  if (const NameIndex* index = nameIndex()) {
    if (const std::vector<std::uint32_t>* positions = index->find(token)) {
      for (const std::uint32_t position : *positions) termAt(position).species = species;
    }
    return;
  }
  for (ReactionTerm& term : reactants_) {
    if (term.name == token) term.species = species;
  }
  for (ReactionTerm& term : products_) {
    if (term.name == token) term.species = species;
  }
}

KelborComponent* ReactionExpression::getResolvedComponent(const std::string& token) const {
  if (const NameIndex* index = nameIndex()) {
    const std::vector<std::uint32_t>* positions = index->find(token);
    return positions ? termAt(positions->front()).species : nullptr;
  }
  const ReactionTerm* term = findNamed(reactants_, token);
  if (term == nullptr) term = findNamed(products_, token);
  return term == nullptr ? nullptr : term->species;
}

void ReactionExpression::substitute(const SubstitutionMap&) {}

void ReactionExpression::setReversible(bool reversible) {
  if (reversible == reversible_) return;
  reversible_ = reversible;
  composeText();
}

bool ReactionExpression::isReactant(const char* text) const {
  return isNamedOnSide(reactants_, text);
}

bool ReactionExpression::isProduct(const char* text) const {
  return isNamedOnSide(products_, text);
}

bool ReactionExpression::isBoundOnSide(const TermVector& terms,
                                       const KelborComponent* species) const {
  if (!valid_ || species == nullptr) return false;
  return std::any_of(terms.begin(), terms.end(),
                     [species](const ReactionTerm& term) { return term.species == species; });
}

bool ReactionExpression::isNamedOnSide(const TermVector& terms, const char* text) const {
  if (!valid_) return false;
  const std::string wanted = text == nullptr ? std::string() : std::string(text);
  std::string pqn;
  for (const ReactionTerm& term : terms) {
    if (term.species == nullptr) continue;
    term.species->getPQN(pqn);
    if (pqn == wanted) return true;
  }
  return false;
}

void ReactionExpression::appendTerm(TermVector& terms, KelborComponent* species,
                                    double stoichiometry) {
  if (species == nullptr) return;
  ReactionTerm term;
  species->getPQN(term.name);
  term.stoichiometry = stoichiometry;
  term.species = species;
  terms.push_back(std::move(term));
  nameIndex_.clear();
  composeText();
}

void ReactionExpression::addToSide(bool products, const std::vector<SpeciesAmount>& amounts) {
  TermVector& terms = products ? products_ : reactants_;
  // The side's first term of each species, found once for all amounts.
  std::unordered_map<const KelborComponent*, std::size_t> firstTerm;
  firstTerm.reserve(terms.size() + amounts.size());
  for (std::size_t i = 0; i < terms.size(); ++i) {
    if (terms[i].species != nullptr) firstTerm.emplace(terms[i].species, i);
  }
  const std::size_t before = terms.size();
  for (const auto& [species, stoichiometry] : amounts) {
    if (species == nullptr) continue;
    const auto [it, added] = firstTerm.emplace(species, terms.size());
    if (!added) {
      terms[it->second].stoichiometry += stoichiometry;
      continue;
    }
    ReactionTerm term;
    species->getPQN(term.name);
    term.stoichiometry = stoichiometry;
    term.species = species;
    terms.push_back(std::move(term));
  }
  if (terms.size() != before) nameIndex_.clear();
  composeText();
}

bool ReactionExpression::removeTermsOf(bool products, const KelborComponent* species,
                                       std::vector<std::string>& removedNames) {
  if (!valid_ || species == nullptr) return false;
  TermVector& terms = products ? products_ : reactants_;
  const std::size_t before = removedNames.size();
  removeBoundTerms(terms, species, &removedNames);
  return removedNames.size() != before;
}

bool ReactionExpression::removeBoundTerms(TermVector& terms, const KelborComponent* species,
                                          std::vector<std::string>* removedNames) {
  const std::size_t before = terms.size();
  const auto bound = [species](const ReactionTerm& term) { return term.species == species; };
  const auto first = species ? std::find_if(terms.begin(), terms.end(), bound) : terms.end();
  if (composed_ && first != terms.end() && std::find_if(first + 1, terms.end(), bound) == terms.end()) {
    // One term goes: the text loses it without being composed again.
    if (removedNames) removedNames->push_back(first->name);
    cutTermFromText(terms, static_cast<std::size_t>(first - terms.begin()));
    terms.erase(first);
    nameIndex_.clear();
    return true;
  }
  if (species != nullptr) {
    for (auto it = first; removedNames && it != terms.end(); ++it) {
      if (bound(*it)) removedNames->push_back(it->name);
    }
    terms.erase(std::remove_if(first, terms.end(), bound), terms.end());
  }
  if (terms.size() != before) nameIndex_.clear();
  composeText();
  return terms.size() != before;
}

void ReactionExpression::setStoichiometry(const double* values, std::size_t count) {
  const std::size_t numReactants = reactants_.size();
  if (count != numReactants + products_.size()) return;
  if (values == nullptr && count != 0) return;
  for (std::size_t i = 0; i < numReactants; ++i) reactants_[i].stoichiometry = -values[i];
  for (std::size_t j = 0; j < products_.size(); ++j) {
    products_[j].stoichiometry = values[numReactants + j];
  }
  composeText();
}

void ReactionExpression::getSignedStoichiometry(kstrVector<double>& out) const {
  out.reserve(out.size() + reactants_.size() + products_.size());
  for (const ReactionTerm& term : reactants_) out.push_back(-term.stoichiometry);
  for (const ReactionTerm& term : products_) out.push_back(term.stoichiometry);
}

void ReactionExpression::refreshReactionString(bool refreshNames) {
  if (refreshNames) {
    nameIndex_.clear();
    for (ReactionTerm& term : reactants_) {
      if (term.species != nullptr) term.species->getPQN(term.name);
    }
    for (ReactionTerm& term : products_) {
      if (term.species != nullptr) term.species->getPQN(term.name);
    }
  }
  composeText();
}

}  // namespace kstr
