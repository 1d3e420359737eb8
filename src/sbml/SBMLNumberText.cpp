// Written documents whose numbers keep every digit they need.
//
// libSBML formats doubles itself, so the doubles that need more digits are
// swapped, for the length of one write, for markers: numbers whose text
// libSBML writes unchanged, that say which value they stand for, and that
// the text is then searched for and rewritten with the exact texts.
#include "sbml/SBMLNumberText.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include <sbml/SBMLTypes.h>

#include "expressions/FormulaFunctions.hpp"
#include "sbml/SBMLComponent.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLInputShape.hpp"
#include "sbml/SBMLLargeStack.hpp"

namespace kstr::sbml {

namespace {

// The significant digits of the shortest text that reads back as the value.
int shortestDigits(double value) {
  std::array<char, 32> text{};
  const char* end = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::scientific).ptr;
  int digits = 0;
  for (const char* c = text.data(); c != end && *c != 'e'; ++c) digits += *c >= '0' && *c <= '9';
  return digits;
}

// True when libSBML's 15 significant digits read back as another double
// (never for infinities and NaN, which it writes by name).
// A value with a text of 15 digits or fewer needs none: the 15-digit
// rounding lies no farther from it than that text (the spacing of 15-digit
// decimals is far wider than a double's), so it reads back the same; only
// the others are formatted as libSBML does and read back.
bool needsMoreDigits(double value) {
  if (!std::isfinite(value)) return false;
  // Whole numbers of up to 15 digits (stoichiometries, most amounts) are
  // answered without formatting them.
  if (std::fabs(value) < 1e15 && std::trunc(value) == value) return false;
  if (shortestDigits(value) <= 15) return false;
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return std::strtod(text, nullptr) != value;
}

// Calls visit(node, levels) for every node of the formula (a leaf is one
// level), without recursion, children in document order; waiting is the
// list of nodes still to visit, given so that several formulas share one.
template <class Node, class Visit>
void walkMath(Node* formula, std::vector<std::pair<Node*, size_t>>& waiting, Visit&& visit) {
  waiting.clear();
  waiting.emplace_back(formula, 1);
  while (!waiting.empty()) {
    const auto [node, levels] = waiting.back();
    waiting.pop_back();
    visit(node, levels);
    for (unsigned i = node->getNumChildren(); i-- > 0;) waiting.emplace_back(node->getChild(i), levels + 1);
  }
}

bool isReal(const ASTNode& node) { return node.getType() == AST_REAL || node.getType() == AST_REAL_E; }

// One double of the document that 15 digits do not carry.
struct Slot {
  double value;
  std::function<void(double)> set;
};

class SlotCollector {
 public:
  std::vector<Slot> slots;
  // The levels of the deepest formula (a leaf is one).
  size_t deepestMath = 0;

  // The setter is kept (as a function) only for a value that needs it.
  template <class Set>
  void value(bool isSet, double v, Set&& set) {
    if (isSet && needsMoreDigits(v)) slots.push_back({v, std::function<void(double)>(std::forward<Set>(set))});
  }

  // Every node of the formula, without recursion; one list of waiting
  // nodes serves every formula of the document.
  void math(const ASTNode* formula) {
    if (!formula) return;
    walkMath(const_cast<ASTNode*>(formula), waiting_, [this](ASTNode* n, size_t levels) {
      deepestMath = std::max(deepestMath, levels);
      mathNode(n);
    });
  }

  void mathNode(ASTNode* n) {
    if (isReal(*n) && needsMoreDigits(n->getReal())) {
      // Restoring an e-notation number gives back its two parts.
      const double original = n->getReal();
      const double mantissa = n->getMantissa();
      const long exponent = n->getExponent();
      const bool eNotation = n->getType() == AST_REAL_E;
      slots.push_back({original, [=](double v) {
                         if (eNotation && v == original) {
                           n->setValue(mantissa, exponent);
                         } else {
                           n->setValue(v);
                         }
                       }});
    }
  }

  void reaction(Reaction& r) {
    for (ListOfSpeciesReferences* list : {r.getListOfReactants(), r.getListOfProducts()}) {
      for (unsigned i = 0; i < list->size(); ++i) {
        auto* reference = static_cast<SpeciesReference*>(list->get(i));
        value(true, reference->getStoichiometry(), [reference](double v) { reference->setStoichiometry(v); });
      }
    }
    if (KineticLaw* law = r.getKineticLaw()) {
      for (unsigned i = 0; i < law->getNumParameters(); ++i) parameter(*law->getParameter(i));
      math(law->getMath());
    }
  }

  void parameter(Parameter& p) {
    value(p.isSetValue(), p.getValue(), [&p](double v) { p.setValue(v); });
  }

  void model(Model& m) {
    for (unsigned i = 0; i < m.getNumUnitDefinitions(); ++i) {
      UnitDefinition* definition = m.getUnitDefinition(i);
      for (unsigned j = 0; j < definition->getNumUnits(); ++j) {
        Unit* u = definition->getUnit(j);
        value(true, u->getMultiplier(), [u](double v) { u->setMultiplier(v); });
        value(true, u->getOffset(), [u](double v) { u->setOffset(v); });
      }
    }
    for (unsigned i = 0; i < m.getNumCompartments(); ++i) {
      Compartment* c = m.getCompartment(i);
      value(c->isSetSize(), c->getSize(), [c](double v) { c->setSize(v); });
    }
    for (unsigned i = 0; i < m.getNumSpecies(); ++i) {
      Species* s = m.getSpecies(i);
      value(s->isSetInitialAmount(), s->getInitialAmount(), [s](double v) { s->setInitialAmount(v); });
      value(s->isSetInitialConcentration(), s->getInitialConcentration(),
            [s](double v) { s->setInitialConcentration(v); });
    }
    for (unsigned i = 0; i < m.getNumParameters(); ++i) parameter(*m.getParameter(i));
    for (unsigned i = 0; i < m.getNumRules(); ++i) math(m.getRule(i)->getMath());
    for (unsigned i = 0; i < m.getNumReactions(); ++i) reaction(*m.getReaction(i));
    for (unsigned i = 0; i < m.getNumEvents(); ++i) {
      Event* e = m.getEvent(i);
      if (e->isSetTrigger()) math(e->getTrigger()->getMath());
      if (e->isSetDelay()) math(e->getDelay()->getMath());
      for (unsigned j = 0; j < e->getNumEventAssignments(); ++j) math(e->getEventAssignment(j)->getMath());
    }
  }

 private:
  std::vector<std::pair<ASTNode*, size_t>> waiting_;
};

// Marker k of a family: 0.0043F, nine digits of k, 7.  libSBML writes it as
// it stands (15 digits hold it, and it has no exponent).
constexpr size_t kMarkerDigits = 9;

std::string markerText(char family, size_t k) {
  char text[32];
  std::snprintf(text, sizeof text, "0.0043%c%09zu7", family, k);
  return text;
}

// libSBML's write recurses as deep as the formulas go: a deep one is
// written on the large stack.
std::string writtenText(SBMLDocument& document, bool deep) {
  char* written = nullptr;
  runOnLargeStack([&] { written = writeSBMLToString(&document); }, deep);
  std::string text = written ? written : "";
  std::free(written);
  return text;
}

// Replaces each marker of the family by the exact text of its value; false
// when the text holds the family's prefix anywhere else.
bool replaceMarkers(std::string& text, char family, const std::vector<Slot>& slots) {
  const std::string prefix = markerText(family, 0).substr(0, 7);
  const size_t length = prefix.size() + kMarkerDigits + 1;
  std::string out;
  out.reserve(text.size() + slots.size() * 8);
  std::vector<bool> seen(slots.size(), false);
  size_t from = 0;
  for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, from)) {
    const size_t k = std::strtoul(text.substr(at + prefix.size(), kMarkerDigits).c_str(), nullptr, 10);
    if (k >= slots.size() || seen[k] || text.compare(at, length, markerText(family, k)) != 0) return false;
    seen[k] = true;
    out.append(text, from, at - from);
    out += numberText(std::fabs(slots[k].value));
    from = at + length;
  }
  out.append(text, from, std::string::npos);
  for (bool s : seen) {
    if (!s) return false;
  }
  text.swap(out);
  return true;
}

// The text with every number that needs more digits found by a look
// through the document.
std::string writeLookingForLongNumbers(SBMLDocument& document, bool& deep) {
  SlotCollector collector;
  if (Model* model = document.getModel()) collector.model(*model);
  deep = collector.deepestMath > kShallowNesting;
  const std::vector<Slot>& slots = collector.slots;
  if (slots.empty()) return writtenText(document, deep);
  std::string text;
  bool done = false;
  for (char family = '1'; family <= '9' && !done; ++family) {
    for (size_t k = 0; k < slots.size(); ++k) {
      const double marker = std::strtod(markerText(family, k).c_str(), nullptr);
      slots[k].set(std::signbit(slots[k].value) ? -marker : marker);
    }
    text = writtenText(document, deep);
    done = replaceMarkers(text, family, slots);
  }
  for (const Slot& slot : slots) slot.set(slot.value);
  // Every family met a number of the document itself: the 15-digit text.
  return done ? text : writtenText(document, deep);
}

}  // namespace

MathNumbers mathNumbersOf(const ASTNode& math) {
  MathNumbers found;
  std::vector<std::pair<const ASTNode*, size_t>> waiting;
  walkMath(&math, waiting, [&found](const ASTNode* node, size_t levels) {
    found.levels = std::max(found.levels, levels);
    if (!found.needsMoreDigits && isReal(*node)) found.needsMoreDigits = needsMoreDigits(node->getReal());
  });
  return found;
}

size_t mathLevelsOf(const ASTNode& math) {
  size_t deepest = 0;
  std::vector<std::pair<const ASTNode*, size_t>> waiting;
  walkMath(&math, waiting, [&deepest](const ASTNode*, size_t levels) { deepest = std::max(deepest, levels); });
  return deepest;
}

void noteWrittenNumber(double value) {
  if (isConversionRunning()) currentContext().noteWrittenNumber(needsMoreDigits(value));
}

std::string writeWithExactNumbers(SBMLDocument& document, bool& deep, const SBMLConversionContext& noted) {
  if (noted.writtenNeedsMoreDigits()) return writeLookingForLongNumbers(document, deep);
  deep = noted.deepestWrittenMath() > kShallowNesting;
  return writtenText(document, deep);
}

}  // namespace kstr::sbml
