// The names of rates, rules and events against the ids of their MathML.
#include "TokenResolution.hpp"

#include <set>

#include <ks_utils/MParseTree.hpp>

#include "core/KelborComponent.hpp"
#include "model/Kelbor.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"
#include "support/SbmlMeaning.hpp"

namespace sbmltest {
namespace {

using Ids = std::set<std::string>;

// The ids the math names (not the functions it calls, not time), and the
// names of the functions it calls.
void namesOf(const ASTNode& math, Ids& out, Ids& functions) {
  if (math.getType() == AST_NAME && math.getName()) out.insert(math.getName());
  if (math.isFunction() && math.getName()) functions.insert(math.getName());
  for (unsigned i = 0; i < math.getNumChildren(); ++i) namesOf(*math.getChild(i), out, functions);
}

std::string shown(const Ids& ids) {
  std::string text;
  for (const std::string& id : ids) text += " " + id;
  return "{" + text + " }";
}

// The ids of what the tokens resolve to; an unresolved token that is no
// host function, no function of the math, nor time shows as "?token".
template <class Scope>
Ids resolvedIds(Kelbor& model, Scope* scope, const std::set<std::string>& tokens, const Ids& functions) {
  Ids ids;
  for (const std::string& token : tokens) {
    KelborComponent* c = model.resolveSymbol(token, scope);
    if (c) {
      ids.insert(c->getID() ? c->getID() : "");
    } else if (token != "time" && !MParseTree::isStrPellamFcn(token) && !functions.count(token)) {
      ids.insert("?" + token);
    }
  }
  return ids;
}

class Checker {
 public:
  Checker(Kelbor& model, const Model& sbml, std::vector<std::string>& out) : model_(model), sbml_(sbml), out_(out) {}

  template <class Scope>
  void check(const std::string& what, Scope* scope, const std::set<std::string>& tokens, const ASTNode* math,
             const std::string& variable = "") {
    if (!math || sbmlmeaning::callsFunctionDefinition(*math, sbml_)) return;
    Ids expected;
    Ids functions;
    namesOf(*math, expected, functions);
    if (!variable.empty()) expected.insert(variable);
    const Ids resolved = resolvedIds(model_, scope, tokens, functions);
    if (resolved != expected) out_.push_back(what + ": names resolve to " + shown(resolved) + ", the MathML names " + shown(expected));
  }

  void reactions() {
    for (BReaction* r : *model_.getReactions()) {
      const Reaction* element = r->getID() ? sbml_.getReaction(r->getID()) : nullptr;
      if (!element || !element->isSetKineticLaw()) continue;
      std::set<std::string> tokens;
      r->getReactionRateTokens(tokens, false);
      check("rate of " + element->getId(), r, tokens, element->getKineticLaw()->getMath());
    }
  }

  void rules() {
    const kstrVector<BRule*>& rules = *model_.getRules();
    if (rules.size() != sbml_.getNumRules()) {
      out_.push_back("rules: " + std::to_string(sbml_.getNumRules()) + " read as " + std::to_string(rules.size()));
      return;
    }
    for (size_t i = 0; i < rules.size(); ++i) {
      const Rule* element = sbml_.getRule(static_cast<unsigned>(i));
      std::set<std::string> tokens;
      rules[i]->getRuleTokens(tokens);
      rules[i]->getRuleVariableTokens(tokens);
      check("rule " + std::to_string(i), rules[i], tokens, element->getMath(),
            element->isAlgebraic() ? "" : element->getVariable());
    }
  }

  void events() {
    const kstrVector<BEvent*>& events = *model_.getEvents();
    if (events.size() != sbml_.getNumEvents()) {
      out_.push_back("events: " + std::to_string(sbml_.getNumEvents()) + " read as " + std::to_string(events.size()));
      return;
    }
    for (size_t i = 0; i < events.size(); ++i) {
      const Event* element = sbml_.getEvent(static_cast<unsigned>(i));
      BEvent* event = events[i];
      const std::string what = "event " + std::to_string(i);
      std::set<std::string> tokens;
      event->getTriggerTokens(tokens);
      if (element->isSetTrigger()) check(what + " trigger", event, tokens, element->getTrigger()->getMath());
      for (uint64_t k = 0; k < event->getNumTriggerFunctions() && k < element->getNumEventAssignments(); ++k) {
        const EventAssignment* assignment = element->getEventAssignment(static_cast<unsigned>(k));
        std::set<std::string> sides;
        event->getEventFcnLHSTokensAt(k, sides);
        event->getEventFcnRHSTokensAt(k, sides);
        check(what + " assignment " + std::to_string(k), event, sides, assignment->getMath(),
              assignment->getVariable());
      }
    }
  }

 private:
  Kelbor& model_;
  const Model& sbml_;
  std::vector<std::string>& out_;
};

}  // namespace

std::vector<std::string> tokenResolutionFaults(Kelbor& model, const Model& sbml) {
  std::vector<std::string> faults;
  Checker checker(model, sbml, faults);
  checker.reactions();
  checker.rules();
  checker.events();
  return faults;
}

}  // namespace sbmltest
