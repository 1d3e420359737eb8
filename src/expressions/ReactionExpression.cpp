#include "expressions/ReactionExpression.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <unordered_set>

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

// Appends the term's text (its stoichiometry and a space when that is not
// 1, then its name) and answers its length with the " + " before it, the
// length the Fenwick tree of its side holds for it.
std::size_t appendTermText(std::string& text, const ReactionTerm& term) {
  const std::size_t start = text.size();
  if (!(term.stoichiometry == 1.0)) {
    appendNumber(text, term.stoichiometry);
    text += ' ';
  }
  text += term.name;
  return text.size() - start + kJoinLength;
}

// Appends the side's text; each term's length with its " + " goes to
// lengths[slot + 1] (lengths holds one more than the terms), for the
// Fenwick tree of the side.
void appendSide(std::string& text, const ReactionExpression::TermVector& terms,
                std::vector<std::size_t>& lengths) {
  if (terms.empty()) {
    text += kEmptySide;
    return;
  }
  for (std::size_t i = 0; i < terms.size(); ++i) {
    if (i != 0) text += " + ";
    lengths[i + 1] = appendTermText(text, terms[i]);
  }
}

// Turns lengths[1..] of each slot into their Fenwick tree, in place.
void sumLengths(std::vector<std::size_t>& tree) {
  for (std::size_t i = 1; i < tree.size(); ++i) {
    const std::size_t parent = i + (i & (~i + 1));
    if (parent < tree.size()) tree[parent] += tree[i];
  }
}

// Below this many terms an equation is searched term by term; above it a
// name index pays for itself.
constexpr std::size_t kIndexedTerms = 32;

// Gaps left by removed terms are closed once a side holds more of them
// than terms (and more than this), so closing costs O(1) a removal.
constexpr std::size_t kGapsKept = 32;

// The Fenwick tree of text lengths of a side (see the member's comment).
void buildLengths(std::vector<std::size_t>& tree, const ReactionExpression::TermVector& terms,
                  const LiveSlotTree& slots) {
  tree.assign(terms.size() + 1, 0);
  for (std::size_t i = 0; i < terms.size(); ++i) {
    if (slots.isLive(i)) tree[i + 1] = termTextLength(terms[i]) + kJoinLength;
  }
  sumLengths(tree);
}

// The lengths of the slots before the slot.
std::size_t lengthBefore(const std::vector<std::size_t>& tree, std::size_t slot) {
  std::size_t sum = 0;
  for (std::size_t i = slot; i > 0; i -= i & (~i + 1)) sum += tree[i];
  return sum;
}

void takeLength(std::vector<std::size_t>& tree, std::size_t slot, std::size_t length) {
  for (std::size_t i = slot + 1; i < tree.size(); i += i & (~i + 1)) tree[i] -= length;
}

void erasePosition(std::vector<std::uint32_t>& positions, std::uint32_t position) {
  const auto it = std::find(positions.begin(), positions.end(), position);
  if (it != positions.end()) positions.erase(it);
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

// --- the index ---------------------------------------------------------------------

void ReactionExpression::NameIndex::build(const ReactionExpression& expression) {
  positions_.clear();
  species_.clear();
  positions_.reserve(expression.getNumReactants() + expression.getNumProducts());
  const auto add = [this](const TermVector& terms, const LiveSlotTree& slots, std::uint32_t bit) {
    for (std::size_t i = 0; i < terms.size(); ++i) {
      if (!slots.isLive(i)) continue;
      const std::uint32_t position = static_cast<std::uint32_t>(i) | bit;
      positions_[terms[i].name].push_back(position);
      if (terms[i].species != nullptr) species_[terms[i].species].push_back(position);
    }
  };
  add(expression.reactants_, expression.reactantSlots_, 0);
  add(expression.products_, expression.productSlots_, kProductBit);
  built_ = true;
}

const ReactionExpression::NameIndex::Positions* ReactionExpression::NameIndex::find(
    const std::string& name) const {
  const auto it = positions_.find(std::string_view(name));
  return it == positions_.end() ? nullptr : &it->second;
}

const ReactionExpression::NameIndex::Positions* ReactionExpression::NameIndex::findSpecies(
    const KelborComponent* species) const {
  const auto it = species_.find(species);
  return it == species_.end() ? nullptr : &it->second;
}

void ReactionExpression::NameIndex::remove(std::uint32_t position, const ReactionTerm& term) {
  if (const auto it = positions_.find(std::string_view(term.name)); it != positions_.end()) {
    erasePosition(it->second, position);
    if (it->second.empty()) positions_.erase(it);
  }
  rebind(position, term.species, nullptr);
}

void ReactionExpression::NameIndex::add(std::uint32_t position, const ReactionTerm& term) {
  // Positions stay in term order, reactants first: a reactant goes in front
  // of the name's products.
  Positions& named = positions_[std::string_view(term.name)];
  const auto firstProduct = std::find_if(named.begin(), named.end(),
                                         [](std::uint32_t p) { return (p & kProductBit) != 0; });
  named.insert((position & kProductBit) ? named.end() : firstProduct, position);
  if (term.species != nullptr) species_[term.species].push_back(position);
}

void ReactionExpression::NameIndex::rebind(std::uint32_t position, const KelborComponent* from,
                                           const KelborComponent* to) {
  if (from == to) return;
  if (from != nullptr) {
    if (const auto it = species_.find(from); it != species_.end()) {
      erasePosition(it->second, position);
      if (it->second.empty()) species_.erase(it);
    }
  }
  if (to != nullptr) species_[to].push_back(position);
}

ReactionExpression::NameIndex* ReactionExpression::nameIndex() const {
  if (reactants_.size() + products_.size() <= kIndexedTerms) return nullptr;
  if (!nameIndex_.built()) nameIndex_.build(*this);
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

void ReactionExpression::termsChanged() {
  nameIndex_.clear();
  reactantLengths_.clear();
  productLengths_.clear();
}

void ReactionExpression::closeGaps(TermVector& terms) {
  LiveSlotTree& slots = slotsOf(terms);
  if (slots.live() == slots.slots()) return;
  TermVector kept;
  kept.reserve(slots.live());
  for (std::size_t i = 0; i < terms.size(); ++i) {
    if (slots.isLive(i)) kept.push_back(std::move(terms[i]));
  }
  terms.swap(kept);
  slots.reset(terms.size());
  termsChanged();
}

void ReactionExpression::closeAllGaps() {
  closeGaps(reactants_);
  closeGaps(products_);
}

void ReactionExpression::init(const ParsedReaction& parsed) {
  fillTerms(parsed.reactants, reactants_);
  fillTerms(parsed.products, products_);
  reactantSlots_.reset(reactants_.size());
  productSlots_.reset(products_.size());
  termsChanged();
  reversible_ = parsed.reversible;
}

// --- the text ----------------------------------------------------------------------

void ReactionExpression::cutTermFromText(TermVector& terms, std::size_t slot) {
  const bool products = &terms == &products_;
  std::vector<std::size_t>& lengths = products ? productLengths_ : reactantLengths_;
  LiveSlotTree& slots = slotsOf(terms);
  if (lengths.empty()) buildLengths(lengths, terms, slots);
  const std::size_t length = termTextLength(terms[slot]);
  // Where the term stands in text_ (the text begins at textStart_).
  std::size_t start = textStart_ + lengthBefore(lengths, slot);
  if (products) {
    // The product side ends the text.
    const std::size_t side = lengthBefore(lengths, terms.size()) - kJoinLength;
    start = text_.size() - side + lengthBefore(lengths, slot);
  }
  if (slots.live() == 1) {
    text_.replace(start, length, kEmptySide);
  } else if (slots.liveBefore(slot) == 0) {
    eraseText(start, length + kJoinLength);
  } else {
    eraseText(start - kJoinLength, length + kJoinLength);
  }
  takeLength(lengths, slot, length + kJoinLength);
  slots.kill(slot);
}

void ReactionExpression::eraseText(std::size_t at, std::size_t count) {
  const std::size_t before = at - textStart_;
  if (before >= text_.size() - at - count) {
    text_.erase(at, count);
    return;
  }
  // The part before is the shorter one: it moves towards the end, and the
  // text begins later.
  std::memmove(&text_[textStart_ + count], &text_[textStart_], before);
  textStart_ += count;
  // Space given up in front is taken back once it exceeds the text.
  if (textStart_ > text_.size() - textStart_) {
    text_.erase(0, textStart_);
    textStart_ = 0;
  }
}

void ReactionExpression::composeText() {
  closeAllGaps();
  composed_ = true;
  text_.clear();
  textStart_ = 0;
  // The text lengths of the terms are taken as they are written, so that a
  // removal that follows finds its term in the text at once.
  reactantLengths_.assign(reactants_.size() + 1, 0);
  productLengths_.assign(products_.size() + 1, 0);
  appendSide(text_, reactants_, reactantLengths_);
  text_ += reversible_ ? " <-> " : " -> ";
  appendSide(text_, products_, productLengths_);
  sumLengths(reactantLengths_);
  sumLengths(productLengths_);
}

std::string ReactionExpression::getExpressionString() const { return text_.substr(textStart_); }

// --- tokens and bindings -----------------------------------------------------------

bool ReactionExpression::containsToken(const std::string& token) const {
  if (const NameIndex* index = nameIndex()) return index->find(token) != nullptr;
  const auto named = [&token](const ReactionTerm& term) { return term.name == token; };
  return anyTerm(reactants_, named) || anyTerm(products_, named);
}

void ReactionExpression::fillSetWithTokens(TokenSet& tokens, bool) const {
  const auto insert = [&tokens](const ReactionTerm& term) { tokens.insert(term.name); };
  forEachTerm(reactants_, insert);
  forEachTerm(products_, insert);
}

bool ReactionExpression::doAllTokensResolve() const {
  const auto unbound = [](const ReactionTerm& term) { return term.species == nullptr; };
  return !anyTerm(reactants_, unbound) && !anyTerm(products_, unbound);
}

void ReactionExpression::getUnresolvedTokens(TokenSet& tokens) const {
  const auto insert = [&tokens](const ReactionTerm& term) {
    if (term.species == nullptr) tokens.insert(term.name);
  };
  forEachTerm(reactants_, insert);
  forEachTerm(products_, insert);
}

void ReactionExpression::getSymbolComponentMap(ConstComponentMap& out) const {
  const auto insert = [&out](const ReactionTerm& term) { out.emplace(term.name, term.species); };
  forEachTerm(reactants_, insert);
  forEachTerm(products_, insert);
}

void ReactionExpression::getSymbolComponentMap(ComponentMap& out) const {
  const auto insert = [&out](const ReactionTerm& term) { out.emplace(term.name, term.species); };
  forEachTerm(reactants_, insert);
  forEachTerm(products_, insert);
}

bool ReactionExpression::isComponentUsed(const KelborComponent* component) const {
  if (!isSpecies(component)) return false;
  if (const NameIndex* index = nameIndex()) return index->findSpecies(component) != nullptr;
  const auto boundToIt = [component](const ReactionTerm& term) {
    return term.species == component;
  };
  return anyTerm(reactants_, boundToIt) || anyTerm(products_, boundToIt);
}

void ReactionExpression::setResolvedComponent(const std::string& token,
                                              KelborComponent* component) {
  KelborComponent* species = isSpecies(component) ? component : nullptr;
  if (NameIndex* index = nameIndex()) {
    if (const NameIndex::Positions* positions = index->find(token)) {
      for (const std::uint32_t position : *positions) {
        ReactionTerm& term = termAt(position);
        index->rebind(position, term.species, species);
        term.species = species;
      }
    }
    return;
  }
  for (TermVector* terms : {&reactants_, &products_}) {
    const LiveSlotTree& slots = slotsOf(*terms);
    for (std::size_t i = 0; i < terms->size(); ++i) {
      if (slots.isLive(i) && (*terms)[i].name == token) (*terms)[i].species = species;
    }
  }
}

KelborComponent* ReactionExpression::getResolvedComponent(const std::string& token) const {
  if (const NameIndex* index = nameIndex()) {
    const NameIndex::Positions* positions = index->find(token);
    return positions ? termAt(positions->front()).species : nullptr;
  }
  KelborComponent* found = nullptr;
  const auto named = [&](const ReactionTerm& term) {
    if (term.name != token) return false;
    found = term.species;
    return true;
  };
  if (!anyTerm(reactants_, named)) anyTerm(products_, named);
  return found;
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

std::vector<std::size_t> ReactionExpression::boundSlots(const TermVector& terms,
                                                        const KelborComponent* species) const {
  std::vector<std::size_t> slots;
  if (species == nullptr) return slots;
  if (const NameIndex* index = nameIndex()) {
    const std::uint32_t side = &terms == &products_ ? NameIndex::kProductBit : 0;
    if (const NameIndex::Positions* positions = index->findSpecies(species)) {
      for (const std::uint32_t position : *positions) {
        if ((position & NameIndex::kProductBit) == side) {
          slots.push_back(position & ~NameIndex::kProductBit);
        }
      }
    }
    std::sort(slots.begin(), slots.end());
    return slots;
  }
  const LiveSlotTree& live = slotsOf(terms);
  for (std::size_t i = 0; i < terms.size(); ++i) {
    if (live.isLive(i) && terms[i].species == species) slots.push_back(i);
  }
  return slots;
}

bool ReactionExpression::isBoundOnSide(const TermVector& terms,
                                       const KelborComponent* species) const {
  if (!valid_ || species == nullptr) return false;
  if (const NameIndex* index = nameIndex()) {
    const std::uint32_t side = &terms == &products_ ? NameIndex::kProductBit : 0;
    const NameIndex::Positions* positions = index->findSpecies(species);
    return positions != nullptr &&
           std::any_of(positions->begin(), positions->end(), [side](std::uint32_t position) {
             return (position & NameIndex::kProductBit) == side;
           });
  }
  return anyTerm(terms, [species](const ReactionTerm& term) { return term.species == species; });
}

bool ReactionExpression::isNamedOnSide(const TermVector& terms, const char* text) const {
  if (!valid_) return false;
  const std::string wanted = text == nullptr ? std::string() : std::string(text);
  std::string pqn;
  return anyTerm(terms, [&](const ReactionTerm& term) {
    if (term.species == nullptr) return false;
    term.species->getPQN(pqn);
    return pqn == wanted;
  });
}

// --- editing the terms -------------------------------------------------------------

void ReactionExpression::appendTerm(TermVector& terms, KelborComponent* species,
                                    double stoichiometry) {
  if (species == nullptr) return;
  closeGaps(terms);
  pushTerm(terms, species, stoichiometry);
  termsChanged();
  composeText();
}

void ReactionExpression::pushTerm(TermVector& terms, KelborComponent* species, double stoichiometry) {
  ReactionTerm term;
  species->getPQN(term.name);
  term.stoichiometry = stoichiometry;
  term.species = species;
  terms.push_back(std::move(term));
  slotsOf(terms).push();
}

void ReactionExpression::addToSide(bool products, const std::vector<SpeciesAmount>& amounts) {
  TermVector& terms = products ? products_ : reactants_;
  closeGaps(terms);
  terms.reserve(terms.size() + amounts.size());
  // The side's first term of each species: a short side is searched term
  // by term, a long one hashed once for all amounts.
  constexpr std::size_t kSearchedSide = 16;
  const bool hashed = terms.size() + amounts.size() > kSearchedSide;
  std::unordered_map<const KelborComponent*, std::size_t> firstTerm;
  if (hashed) {
    firstTerm.reserve(terms.size() + amounts.size());
    for (std::size_t i = 0; i < terms.size(); ++i) {
      if (terms[i].species != nullptr) firstTerm.emplace(terms[i].species, i);
    }
  }
  // The first term of the species, or null when the amount adds one.
  const auto termOf = [&](const KelborComponent* species) -> ReactionTerm* {
    if (hashed) {
      const auto [it, added] = firstTerm.emplace(species, terms.size());
      return added ? nullptr : &terms[it->second];
    }
    for (ReactionTerm& term : terms) {
      if (term.species == species) return &term;
    }
    return nullptr;
  };
  const std::size_t before = terms.size();
  for (const auto& [species, stoichiometry] : amounts) {
    if (species == nullptr) continue;
    if (ReactionTerm* term = termOf(species)) {
      term->stoichiometry += stoichiometry;
      continue;
    }
    pushTerm(terms, species, stoichiometry);
  }
  // A stoichiometry that grew changes the text lengths.
  if (terms.size() != before || !amounts.empty()) termsChanged();
  composeText();
}

bool ReactionExpression::canAppendAsNewTerms(const TermVector& terms,
                                             const std::vector<SpeciesAmount>& amounts) const {
  std::unordered_set<const KelborComponent*> listed;
  if (amounts.size() > 8) listed.reserve(amounts.size());
  for (const auto& [species, stoichiometry] : amounts) {
    (void)stoichiometry;
    if (species == nullptr || isBoundOnSide(terms, species) || !listed.insert(species).second) return false;
  }
  return true;
}

bool ReactionExpression::appendNewTerms(const std::vector<SpeciesAmount>& reactants,
                                        const std::vector<SpeciesAmount>& products,
                                        std::vector<std::string>& names) {
  if (!valid_ || !composed_) return false;
  if (!canAppendAsNewTerms(reactants_, reactants) || !canAppendAsNewTerms(products_, products)) return false;
  appendNewTermsToSide(reactants_, reactants, names);
  appendNewTermsToSide(products_, products, names);
  return true;
}

void ReactionExpression::appendNewTermsToSide(TermVector& terms, const std::vector<SpeciesAmount>& amounts,
                                              std::vector<std::string>& names) {
  if (amounts.empty()) return;
  const bool products = &terms == &products_;
  std::vector<std::size_t>& lengths = products ? productLengths_ : reactantLengths_;
  LiveSlotTree& slots = slotsOf(terms);
  if (lengths.empty()) buildLengths(lengths, terms, slots);
  // Where the side's text ends, and whether it is the "null" of no terms.
  const bool empty = slots.live() == 0;
  const std::size_t sideLength = empty ? std::strlen(kEmptySide) : lengthBefore(lengths, terms.size()) - kJoinLength;
  const std::size_t sideEnd = products ? text_.size() : textStart_ + sideLength;
  const ReactionTerm* const storage = terms.data();
  // Room for the new terms, their lengths and names at once, still growing
  // by doubling: terms added one at a time stay linear in all.
  const auto makeRoom = [extra = amounts.size()](auto& v) {
    if (v.capacity() < v.size() + extra) v.reserve(std::max(v.size() + extra, 2 * v.capacity()));
  };
  makeRoom(terms);
  makeRoom(lengths);
  makeRoom(names);
  std::string added;
  for (const auto& [species, stoichiometry] : amounts) {
    pushTerm(terms, species, stoichiometry);
    const ReactionTerm& term = terms.back();
    if (!added.empty() || !empty) added += " + ";
    const std::size_t length = appendTermText(added, term);
    // The Fenwick tree gains the slot: its node covers the slots
    // (i - lowbit(i), i], so it holds the new length and those before it.
    const std::size_t node = lengths.size();
    const std::size_t covered = lengthBefore(lengths, node - 1) - lengthBefore(lengths, node - (node & (~node + 1)));
    lengths.push_back(length + covered);
    names.push_back(term.name);
  }
  if (empty) {
    text_.replace(sideEnd - sideLength, sideLength, added);
  } else {
    text_.insert(sideEnd, added);
  }
  // The index views the names where they stand: a side whose vector moved
  // is indexed again when next asked.
  if (!nameIndex_.built()) return;
  if (terms.data() != storage) {
    nameIndex_.clear();
    return;
  }
  const std::uint32_t side = products ? NameIndex::kProductBit : 0;
  for (std::size_t slot = terms.size() - amounts.size(); slot < terms.size(); ++slot) {
    nameIndex_.add(static_cast<std::uint32_t>(slot) | side, terms[slot]);
  }
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
  const std::vector<std::size_t> slots = boundSlots(terms, species);
  if (removedNames) {
    for (const std::size_t slot : slots) removedNames->push_back(terms[slot].name);
  }
  const std::uint32_t side = &terms == &products_ ? NameIndex::kProductBit : 0;
  for (const std::size_t slot : slots) {
    if (nameIndex_.built()) nameIndex_.remove(static_cast<std::uint32_t>(slot) | side, terms[slot]);
    // A composed text loses the term where it stands; one kept as given
    // is composed again below.
    if (composed_) {
      cutTermFromText(terms, slot);
    } else {
      slotsOf(terms).kill(slot);
    }
  }
  const LiveSlotTree& live = slotsOf(terms);
  const std::size_t gaps = live.slots() - live.live();
  if (gaps > kGapsKept && gaps > live.live()) closeGaps(terms);
  if (slots.empty() || !composed_) composeText();
  return !slots.empty();
}

void ReactionExpression::setStoichiometry(const double* values, std::size_t count) {
  const std::size_t numReactants = getNumReactants();
  if (count != numReactants + getNumProducts()) return;
  if (values == nullptr && count != 0) return;
  closeAllGaps();
  for (std::size_t i = 0; i < numReactants; ++i) reactants_[i].stoichiometry = -values[i];
  for (std::size_t j = 0; j < products_.size(); ++j) {
    products_[j].stoichiometry = values[numReactants + j];
  }
  termsChanged();
  composeText();
}

void ReactionExpression::getSignedStoichiometry(kstrVector<double>& out) const {
  out.reserve(out.size() + getNumReactants() + getNumProducts());
  forEachTerm(reactants_, [&out](const ReactionTerm& term) { out.push_back(-term.stoichiometry); });
  forEachTerm(products_, [&out](const ReactionTerm& term) { out.push_back(term.stoichiometry); });
}

void ReactionExpression::refreshReactionString(bool refreshNames) {
  if (refreshNames) {
    closeAllGaps();
    termsChanged();
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
