// The comparison of what two SBML level 2 documents mean to a simulator.
#include "support/SbmlMeaning.hpp"

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <utility>

namespace sbmlmeaning {

// --- values and units ------------------------------------------------------------------------

bool sameValue(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  if (a == b) return true;
  if (std::isinf(a) || std::isinf(b)) return false;
  return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

SIUnit siUnitOf(const UnitDefinition* derived) {
  SIUnit unit;
  if (!derived || derived->getNumUnits() == 0) return unit;
  unit.none = false;
  const std::unique_ptr<UnitDefinition> si(UnitDefinition::convertToSI(derived));
  if (!si) return unit;
  for (unsigned i = 0; i < si->getNumUnits(); ++i) {
    const Unit* u = si->getUnit(i);
    const double exponent = u->getExponentAsDouble();
    unit.factor *= std::pow(u->getMultiplier() * std::pow(10.0, u->getScale()), exponent);
    if (u->getKind() == UNIT_KIND_DIMENSIONLESS) continue;
    unit.dimension[UnitKind_toString(u->getKind())] += static_cast<int>(std::lround(exponent));
  }
  std::erase_if(unit.dimension, [](const auto& entry) { return entry.second == 0; });
  return unit;
}

std::string describe(const SIUnit& unit) {
  if (unit.none) return "no units";
  char factor[32];
  std::snprintf(factor, sizeof factor, "%.12g", unit.factor);
  std::string text = factor;
  for (const auto& [kind, exponent] : unit.dimension) text += " " + kind + "^" + std::to_string(exponent);
  return text;
}

bool sameUnit(const SIUnit& a, const SIUnit& b) {
  if (a.none || b.none) return a.none == b.none;
  return sameValue(a.factor, b.factor) && a.dimension == b.dimension;
}

namespace {

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// A reproducible value in [0.5, 2.5) for a name at a point.
double randomValue(const std::string& key, unsigned point, uint64_t seed) {
  uint64_t h = 1469598103934665603ull ^ seed;
  for (char c : key) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  h = (h ^ point) * 1099511628211ull;
  h ^= h >> 29;
  h *= 0xbf58476d1ce4e5b9ull;
  h ^= h >> 32;
  return 0.5 + 2.0 * static_cast<double>(h >> 11) / 9007199254740992.0;
}

// One document as a simulator reads it, at one point of the state.
class View {
 public:
  View(const Model& model, unsigned point, uint64_t seed) : model_(model), point_(point), seed_(seed) {}

  const Model& model() const { return model_; }

  bool speciesIsAmount(const Species& s) const {
    const Compartment* c = model_.getCompartment(s.getCompartment());
    return s.getHasOnlySubstanceUnits() || (c && c->getSpatialDimensions() == 0);
  }

  double size(const std::string& compartment) const { return randomValue("c:" + compartment, point_, seed_); }

  // The value of a name in math of the reaction's kinetic law (none: any
  // other math).
  double symbol(const std::string& name, const Reaction* reaction) const {
    if (reaction && reaction->getKineticLaw() && reaction->getKineticLaw()->getParameter(name)) {
      return randomValue("l:" + reaction->getId() + ":" + name, point_, seed_);
    }
    if (name == "time") return randomValue("time", point_, seed_);
    if (model_.getCompartment(name)) return size(name);
    if (const Species* s = model_.getSpecies(name)) {
      const double amount = randomValue("s:" + name, point_, seed_);
      return speciesIsAmount(*s) ? amount : amount / size(s->getCompartment());
    }
    if (model_.getParameter(name)) return randomValue("p:" + name, point_, seed_);
    throw MathError("names '" + name + "', which denotes nothing");
  }

  // What an assignment of the value to the variable sets: a species'
  // amount, or the value itself.
  double assigned(const std::string& variable, double value) const {
    const Species* s = model_.getSpecies(variable);
    if (!s || speciesIsAmount(*s)) return value;
    return value * size(s->getCompartment());
  }

  double value(const ASTNode& math, const Reaction* reaction) const {
    return evaluate(math, [this, reaction](const std::string& name) { return symbol(name, reaction); }, model_);
  }

 private:
  const Model& model_;
  unsigned point_;
  uint64_t seed_;
};

class Comparer {
 public:
  Comparer(const Model& original, const Model& written, const Options& options, Comparison& out)
      : original_(original), written_(written), options_(options), out_(out) {}

  void run() {
    for (unsigned i = 0; i < original_.getNumFunctionDefinitions(); ++i) {
      loss("function definition " + original_.getFunctionDefinition(i)->getId());
    }
    compartments();
    species();
    parameters();
    reactions();
    rules();
    events();
  }

 private:
  void difference(const std::string& text) { out_.differences.push_back(text); }
  void loss(const std::string& text) { out_.losses.push_back(text); }

  void compareUnits(const std::string& what, const UnitDefinition* a, const UnitDefinition* b) {
    const SIUnit ua = siUnitOf(a);
    const SIUnit ub = siUnitOf(b);
    if (!sameUnit(ua, ub)) difference(what + ": units " + describe(ua) + " became " + describe(ub));
  }

  void compareFlag(const std::string& what, const char* flag, bool a, bool b) {
    if (a != b) difference(what + ": " + flag + (a ? " true became false" : " false became true"));
  }

  // A value that may be unset.
  void compareOptional(const std::string& what, bool setA, double a, bool setB, double b) {
    if (setA != setB) {
      difference(what + (setA ? " " + number(a) + " became unset" : " unset became " + number(b)));
    } else if (setA && !sameValue(a, b)) {
      difference(what + " " + number(a) + " became " + number(b));
    }
  }

  void compartments();
  void species();
  std::optional<double> initialAmount(const Model& model, const Species& s, std::string& raw) const;
  void parameters();
  void reactions();
  void stoichiometry(const Reaction& a, const Reaction& b);
  void kineticLaw(const Reaction& a, const Reaction& b);
  void rules();
  void events();
  void event(const std::string& what, const Event& a, const Event& b);
  // Compares the math at every point; assignedTo, when not empty, converts
  // the values to what an assignment to it sets.
  void compareMath(const std::string& what, const ASTNode* a, const ASTNode* b, const Reaction* ra,
                   const Reaction* rb, const std::string& assignedTo);

  const Model& original_;
  const Model& written_;
  const Options& options_;
  Comparison& out_;
};

void Comparer::compartments() {
  for (unsigned i = 0; i < original_.getNumCompartments(); ++i) {
    const Compartment& a = *original_.getCompartment(i);
    const std::string what = "compartment " + a.getId();
    const Compartment* b = written_.getCompartment(a.getId());
    if (!b) {
      difference(what + ": missing");
      continue;
    }
    compareOptional(what + ": size", a.isSetSize(), a.getSize(), b->isSetSize(), b->getSize());
    if (a.getSpatialDimensions() != b->getSpatialDimensions()) {
      difference(what + ": spatial dimensions " + std::to_string(a.getSpatialDimensions()) + " became " +
                 std::to_string(b->getSpatialDimensions()));
    }
    if (a.getOutside() != b->getOutside()) difference(what + ": outside '" + a.getOutside() + "' became '" + b->getOutside() + "'");
    compareFlag(what, "constant", a.getConstant(), b->getConstant());
    if (a.getSpatialDimensions() > 0) compareUnits(what, a.getDerivedUnitDefinition(), b->getDerivedUnitDefinition());
  }
  if (written_.getNumCompartments() != original_.getNumCompartments()) {
    difference("compartments: " + std::to_string(original_.getNumCompartments()) + " became " +
               std::to_string(written_.getNumCompartments()));
  }
}

// The initial amount, or none with the raw text when it cannot be known (a
// concentration in a compartment without size) or is unset ("").
std::optional<double> Comparer::initialAmount(const Model& model, const Species& s, std::string& raw) const {
  const Compartment* c = model.getCompartment(s.getCompartment());
  raw.clear();
  if (s.isSetInitialAmount()) return s.getInitialAmount();
  if (!s.isSetInitialConcentration()) return std::nullopt;
  if (c && c->isSetSize()) return s.getInitialConcentration() * c->getSize();
  raw = "concentration " + number(s.getInitialConcentration()) + " in a compartment without size";
  return std::nullopt;
}

void Comparer::species() {
  const View va(original_, 0, options_.seed);
  const View vb(written_, 0, options_.seed);
  for (unsigned i = 0; i < original_.getNumSpecies(); ++i) {
    const Species& a = *original_.getSpecies(i);
    const std::string what = "species " + a.getId();
    const Species* b = written_.getSpecies(a.getId());
    if (!b) {
      difference(what + ": missing");
      continue;
    }
    if (a.getCompartment() != b->getCompartment()) {
      difference(what + ": compartment " + a.getCompartment() + " became " + b->getCompartment());
    }
    std::string rawA;
    std::string rawB;
    const std::optional<double> amountA = initialAmount(original_, a, rawA);
    const std::optional<double> amountB = initialAmount(written_, *b, rawB);
    const Compartment* c = original_.getCompartment(a.getCompartment());
    const bool sized = c && (c->isSetSize() || c->getSpatialDimensions() == 0);
    const bool otherForm = a.isSetInitialAmount() != va.speciesIsAmount(a) &&
                           (a.isSetInitialAmount() || a.isSetInitialConcentration());
    if (!sized && otherForm) {
      loss(what + ": an initial " + (a.isSetInitialAmount() ? "amount" : "concentration") +
           " for a species whose symbol is not one, in a compartment without size, is read as it stands");
    } else if (amountA && amountB) {
      if (!sameValue(*amountA, *amountB)) {
        difference(what + ": initial amount " + number(*amountA) + " became " + number(*amountB));
      }
    } else if (amountA.has_value() != amountB.has_value() || rawA != rawB) {
      const auto show = [](const std::optional<double>& amount, const std::string& raw) {
        return amount ? "amount " + number(*amount) : raw.empty() ? std::string("unset") : raw;
      };
      difference(what + ": initial value " + show(amountA, rawA) + " became " + show(amountB, rawB));
    }
    compareFlag(what, "boundaryCondition", a.getBoundaryCondition(), b->getBoundaryCondition());
    compareFlag(what, "constant", a.getConstant(), b->getConstant());
    if (va.speciesIsAmount(a) != vb.speciesIsAmount(*b)) {
      difference(what + (va.speciesIsAmount(a) ? ": an amount became a concentration"
                                               : ": a concentration became an amount"));
    }
    compareUnits(what, a.getDerivedUnitDefinition(), b->getDerivedUnitDefinition());
  }
  if (written_.getNumSpecies() != original_.getNumSpecies()) {
    difference("species: " + std::to_string(original_.getNumSpecies()) + " became " +
               std::to_string(written_.getNumSpecies()));
  }
}

void Comparer::parameters() {
  for (unsigned i = 0; i < original_.getNumParameters(); ++i) {
    const Parameter& a = *original_.getParameter(i);
    const std::string what = "parameter " + a.getId();
    const Parameter* b = written_.getParameter(a.getId());
    if (!b) {
      difference(what + ": missing");
      continue;
    }
    compareOptional(what + ": value", a.isSetValue(), a.getValue(), b->isSetValue(), b->getValue());
    compareFlag(what, "constant", a.getConstant(), b->getConstant());
    compareUnits(what, a.getDerivedUnitDefinition(), b->getDerivedUnitDefinition());
  }
  if (written_.getNumParameters() != original_.getNumParameters()) {
    difference("parameters: " + std::to_string(original_.getNumParameters()) + " became " +
               std::to_string(written_.getNumParameters()));
  }
}

void Comparer::reactions() {
  for (unsigned i = 0; i < original_.getNumReactions(); ++i) {
    const Reaction& a = *original_.getReaction(i);
    const std::string what = "reaction " + a.getId();
    const Reaction* b = written_.getReaction(a.getId());
    if (!b) {
      difference(what + ": missing");
      continue;
    }
    compareFlag(what, "reversible", a.getReversible(), b->getReversible());
    compareFlag(what, "fast", a.getFast(), b->getFast());
    stoichiometry(a, *b);
    kineticLaw(a, *b);
  }
  if (written_.getNumReactions() != original_.getNumReactions()) {
    difference("reactions: " + std::to_string(original_.getNumReactions()) + " became " +
               std::to_string(written_.getNumReactions()));
  }
}

namespace {

struct Participation {
  std::map<std::string, double> net;
  // Species that take part without being changed (modifiers, and species on
  // both sides with net zero).
  std::set<std::string> unchanged;
  bool stoichiometryMath = false;
};

Participation participationOf(const Reaction& r) {
  Participation p;
  std::set<std::string> seen;
  for (unsigned k = 0; k < r.getNumReactants(); ++k) {
    p.stoichiometryMath = p.stoichiometryMath || r.getReactant(k)->isSetStoichiometryMath();
    p.net[r.getReactant(k)->getSpecies()] -= r.getReactant(k)->getStoichiometry();
    seen.insert(r.getReactant(k)->getSpecies());
  }
  for (unsigned k = 0; k < r.getNumProducts(); ++k) {
    p.stoichiometryMath = p.stoichiometryMath || r.getProduct(k)->isSetStoichiometryMath();
    p.net[r.getProduct(k)->getSpecies()] += r.getProduct(k)->getStoichiometry();
    seen.insert(r.getProduct(k)->getSpecies());
  }
  for (unsigned k = 0; k < r.getNumModifiers(); ++k) p.unchanged.insert(r.getModifier(k)->getSpecies());
  for (const std::string& s : seen) {
    if (p.net[s] == 0.0) p.unchanged.insert(s);
  }
  std::erase_if(p.net, [](const auto& entry) { return entry.second == 0.0; });
  return p;
}

std::string describe(const std::map<std::string, double>& net) {
  std::string text;
  for (const auto& [species, value] : net) text += (text.empty() ? "" : ", ") + species + " " + number(value);
  return "{" + text + "}";
}

}  // namespace

void Comparer::stoichiometry(const Reaction& a, const Reaction& b) {
  const std::string what = "reaction " + a.getId();
  const Participation pa = participationOf(a);
  const Participation pb = participationOf(b);
  if (pa.stoichiometryMath) {
    loss(what + ": stoichiometryMath (read as 1)");
    return;
  }
  if (pa.net.size() != pb.net.size() ||
      !std::equal(pa.net.begin(), pa.net.end(), pb.net.begin(), [](const auto& x, const auto& y) {
        return x.first == y.first && sameValue(x.second, y.second);
      })) {
    difference(what + ": net stoichiometry " + describe(pa.net) + " became " + describe(pb.net));
  }
  if (pa.unchanged != pb.unchanged) {
    std::string ta;
    std::string tb;
    for (const std::string& s : pa.unchanged) ta += " " + s;
    for (const std::string& s : pb.unchanged) tb += " " + s;
    difference(what + ": modifiers {" + ta + " } became {" + tb + " }");
  }
}

void Comparer::kineticLaw(const Reaction& a, const Reaction& b) {
  const std::string what = "reaction " + a.getId();
  const KineticLaw* la = a.getKineticLaw();
  const KineticLaw* lb = b.getKineticLaw();
  const unsigned localsA = la ? la->getNumParameters() : 0;
  const unsigned localsB = lb ? lb->getNumParameters() : 0;
  for (unsigned i = 0; i < localsA; ++i) {
    const Parameter& pa = *la->getParameter(i);
    const std::string local = what + ": local parameter " + pa.getId();
    const Parameter* pb = lb ? lb->getParameter(pa.getId()) : nullptr;
    if (!pb) {
      difference(local + " missing");
      continue;
    }
    compareOptional(local + " value", pa.isSetValue(), pa.getValue(), pb->isSetValue(), pb->getValue());
    compareUnits(local, pa.getDerivedUnitDefinition(), pb->getDerivedUnitDefinition());
  }
  if (localsA != localsB) {
    difference(what + ": local parameters " + std::to_string(localsA) + " became " + std::to_string(localsB));
  }
  compareMath(what + ": rate", la ? la->getMath() : nullptr, lb ? lb->getMath() : nullptr, &a, &b, "");
}

void Comparer::compareMath(const std::string& what, const ASTNode* a, const ASTNode* b, const Reaction* ra,
                           const Reaction* rb, const std::string& assignedTo) {
  if (!a) {
    if (b) difference(what + ": written without math in the original");
    return;
  }
  if (callsFunctionDefinition(*a, original_)) {
    loss(what + " (calls a function definition)");
    return;
  }
  if (!b) {
    difference(what + ": math missing");
    return;
  }
  for (unsigned point = 0; point < options_.points; ++point) {
    const View va(original_, point, options_.seed);
    const View vb(written_, point, options_.seed);
    double x = 0.0;
    try {
      x = va.value(*a, ra);
    } catch (const MathError& e) {
      difference(what + ": the original cannot be evaluated: " + e.what());
      return;
    }
    double y = 0.0;
    try {
      y = vb.value(*b, rb);
    } catch (const MathError& e) {
      difference(what + ": " + e.what());
      return;
    }
    if (!assignedTo.empty()) {
      x = va.assigned(assignedTo, x);
      y = vb.assigned(assignedTo, y);
    }
    if (!sameValue(x, y)) {
      difference(what + ": value " + number(x) + " became " + number(y) + " at point " + std::to_string(point));
      return;
    }
  }
}

namespace {

// A rule's key: its variable, or "algebraic <n>" for the n-th algebraic
// rule.
std::map<std::string, const Rule*> rulesByKey(const Model& model) {
  std::map<std::string, const Rule*> rules;
  unsigned algebraic = 0;
  for (unsigned i = 0; i < model.getNumRules(); ++i) {
    const Rule* r = model.getRule(i);
    rules.emplace(r->isAlgebraic() ? "algebraic " + std::to_string(algebraic++) : r->getVariable(), r);
  }
  return rules;
}

const char* ruleKind(const Rule& r) {
  return r.isAlgebraic() ? "algebraic" : r.isRate() ? "rate" : "assignment";
}

}  // namespace

void Comparer::rules() {
  const std::map<std::string, const Rule*> a = rulesByKey(original_);
  const std::map<std::string, const Rule*> b = rulesByKey(written_);
  for (const auto& [key, rule] : a) {
    const std::string what = std::string(ruleKind(*rule)) + " rule " + key;
    auto it = b.find(key);
    if (it == b.end() && rule->getMath() && callsFunctionDefinition(*rule->getMath(), original_)) {
      loss(what + " (calls a function definition; not written)");
      continue;
    }
    if (it == b.end()) {
      difference(what + ": missing");
      continue;
    }
    if (std::string(ruleKind(*rule)) != ruleKind(*it->second)) {
      difference(what + ": became a " + ruleKind(*it->second) + " rule");
      continue;
    }
    compareMath(what, rule->getMath(), it->second->getMath(), nullptr, nullptr, rule->isAlgebraic() ? "" : key);
  }
  for (const auto& [key, rule] : b) {
    if (!a.count(key)) difference(std::string(ruleKind(*rule)) + " rule " + key + ": not in the original");
  }
}

namespace {

bool eventCallsFunctionDefinition(const Event& event, const Model& model) {
  const auto calls = [&model](const ASTNode* math) { return math && callsFunctionDefinition(*math, model); };
  if (event.isSetTrigger() && calls(event.getTrigger()->getMath())) return true;
  if (event.isSetDelay() && calls(event.getDelay()->getMath())) return true;
  for (unsigned k = 0; k < event.getNumEventAssignments(); ++k) {
    if (calls(event.getEventAssignment(k)->getMath())) return true;
  }
  return false;
}

}  // namespace

void Comparer::events() {
  const unsigned n = original_.getNumEvents();
  unsigned dropped = 0;
  for (unsigned i = 0; i < n; ++i) {
    const Event& a = *original_.getEvent(i);
    const std::string key = a.isSetId() ? a.getId() : "#" + std::to_string(i);
    const Event* b = a.isSetId() ? written_.getEvent(a.getId()) : written_.getEvent(i);
    if (!b && eventCallsFunctionDefinition(a, original_)) {
      loss("event " + key + " (calls a function definition; not written)");
      ++dropped;
      continue;
    }
    if (!b) {
      difference("event " + key + ": missing");
      continue;
    }
    event("event " + key, a, *b);
  }
  if (written_.getNumEvents() + dropped != n) {
    difference("events: " + std::to_string(n) + " became " + std::to_string(written_.getNumEvents()));
  }
}

void Comparer::event(const std::string& what, const Event& a, const Event& b) {
  if (a.isSetDelay() && !b.isSetDelay()) {
    loss(what + ": delay");
  } else if (a.isSetDelay() || b.isSetDelay()) {
    compareMath(what + ": delay", a.isSetDelay() ? a.getDelay()->getMath() : nullptr,
                b.isSetDelay() ? b.getDelay()->getMath() : nullptr, nullptr, nullptr, "");
  }
  compareMath(what + ": trigger", a.isSetTrigger() ? a.getTrigger()->getMath() : nullptr,
              b.isSetTrigger() ? b.getTrigger()->getMath() : nullptr, nullptr, nullptr, "");
  for (unsigned k = 0; k < a.getNumEventAssignments(); ++k) {
    const EventAssignment& ea = *a.getEventAssignment(k);
    const EventAssignment* eb = b.getEventAssignment(ea.getVariable());
    const std::string assignment = what + ": assignment to " + ea.getVariable();
    if (!eb) {
      difference(assignment + " missing");
      continue;
    }
    compareMath(assignment, ea.getMath(), eb->getMath(), nullptr, nullptr, ea.getVariable());
  }
  if (a.getNumEventAssignments() != b.getNumEventAssignments()) {
    difference(what + ": assignments " + std::to_string(a.getNumEventAssignments()) + " became " +
               std::to_string(b.getNumEventAssignments()));
  }
}

}  // namespace

Comparison compareMeaning(const Model& original, const Model& written, const Options& options) {
  Comparison out;
  Comparer(original, written, options, out).run();
  return out;
}

}  // namespace sbmlmeaning
