// Renames and removals as a user makes them, and what follows them in the
// model's texts: every rate, rule and event keeps denoting the components
// it denoted, through the names it is rewritten to, and listens to them;
// variant entries and dose references follow the same names; a rename that
// would make a name denote another component is refused with nothing
// changed.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ModelHostFixture.hpp"
#include "expressions/AssignmentExpression.hpp"
#include "expressions/MathExpression.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "quantities/BCompartment.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"

namespace {

// The model of the rename cases: compartment "cell" with species A and B,
// model parameters k and kcat; three reactions, each with an "Unknown" law
// holding its own parameter kf, r1 and r2 unnamed (or r1 named "r1"):
//   r1  A -> null     rate set by the case (kf*k*A unless the case says)
//   r2  B -> null     rate kf*B
//   r3  A + B -> null rate set by the case (naming another law's kf)
// the rule "kcat = 2*k + A", the event "A < k" with {A = k, k = A}, a
// variant entry and a dose duration naming the case's law parameter.
struct RenameWorld {
  OBInterface* m = nullptr;
  OBInterface* r[3] = {};
  OBInterface* kf[3] = {};
  OBInterface *rule = nullptr, *event = nullptr, *variant = nullptr, *dose = nullptr;
  OBInterface *k = nullptr, *A = nullptr, *cell = nullptr;
};

class RenamePropagationTest : public ModelHostTest {
 protected:
  RenameWorld world(bool firstNamed, const std::string& firstRate, const std::string& thirdRate,
                    const std::string& reference) {
    RenameWorld w;
    w.m = model("m");
    w.cell = add(w.m, "addcompartment", {host().str("cell")});
    w.A = add(w.cell, "addspecies", {host().str("A"), host().num(1)});
    add(w.cell, "addspecies", {host().str("B"), host().num(2)});
    w.k = add(w.m, "addparameter", {host().str("k"), host().num(3)});
    add(w.m, "addparameter", {host().str("kcat"), host().num(4)});
    const char* equations[3] = {"A -> null", "B -> null", "A + B -> null"};
    for (int i = 0; i < 3; ++i) {
      w.r[i] = add(w.m, "addreaction", {host().str(equations[i])});
      OBInterface* law = add(w.r[i], "addkineticlaw", {host().str("Unknown")});
      w.kf[i] = add(law, "addparameter", {host().str("kf"), host().num(10 + i)});
    }
    if (firstNamed) host().set(w.r[0], "Name", host().str("r1"));
    host().set(w.r[0], "ReactionRate", host().str(firstRate.c_str()));
    host().set(w.r[1], "ReactionRate", host().str("kf*B"));
    host().set(w.r[2], "ReactionRate", host().str(thirdRate.c_str()));
    w.rule = add(w.m, "addrule", {host().str("kcat = 2*k + A"), host().str("repeatedAssignment")});
    w.event = add(w.m, "addevent", {host().str("A < k"), host().cell({host().str("A = k"), host().str("k = A")})});
    w.variant = add(w.m, "addvariant", {host().str("v")});
    host().set(w.variant, "Content",
               host().cell({host().cell({host().str("parameter"), host().str(reference.c_str()),
                                         host().str("Value"), host().num(42)})}));
    w.dose = add(w.m, "adddose", {host().str("d")});
    host().set(w.dose, "TargetName", host().str("A"));
    host().set(w.dose, "DurationParameterName", host().str(reference.c_str()));
    return w;
  }

  static BReaction* reaction(const OBInterface* r) { return dynamic_cast<BReaction*>(componentOf(r)); }

  // Every text of the world, by a short label.
  std::map<std::string, std::string> texts(const RenameWorld& w) {
    std::map<std::string, std::string> out;
    const char* labels[3] = {"r1", "r2", "r3"};
    for (int i = 0; i < 3; ++i) {
      if (w.r[i]) out[labels[i]] = host().getString(w.r[i], "ReactionRate");
    }
    out["rule"] = host().getString(w.rule, "Rule");
    out["trigger"] = host().getString(w.event, "Trigger");
    std::vector<std::string> functions;
    for (const std::string& text : textsOf(host().get(w.event, "EventFcns"))) functions.push_back(text);
    out["functions"] = functions.size() == 2 ? functions[0] + "; " + functions[1] : "?";
    const Variant* v = dynamic_cast<const Variant*>(componentOf(w.variant));
    std::unique_ptr<kstrVector<const BPatchQuad*>> quads(v->getQuads());
    out["variant"] = quads->empty() ? "" : qxArrayToStdString(quads->front()->getName());
    out["dose"] = host().getString(w.dose, "DurationParameterName");
    return out;
  }

  static std::vector<std::string> textsOf(const qxArray* cell) {
    std::vector<std::string> out;
    for (size_t i = 0; cell && qxIsCell(cell) && i < qxGetNumberOfElements(cell); ++i) {
      out.push_back(qxArrayToStdString(qxGetCell(cell, i)));
    }
    return out;
  }

  // The model is consistent: every token of every expression is bound to
  // what its name denotes now in the expression's scope, and the component
  // it is bound to counts the expression's owner among its listeners.
  void expectConsistent(RenameWorld& w, const std::string& label) {
    Kelbor* model = kelbor(w.m);
    auto check = [&](ExpressionBasedComponent* owner, BReaction* scope,
                     const boost::shared_ptr<kstr::Expression>& e) {
      kstr::Expression::ConstComponentMap map;
      e->getSymbolComponentMap(map);
      for (const auto& [token, component] : map) {
        const KelborComponent* now = scope ? model->resolveSymbol(token, scope) : model->resolveSymbol(token, owner);
        EXPECT_EQ(component, now) << label << ": token " << token << " of " << e->getExpressionString();
        if (component) {
          EXPECT_EQ(component->getListeners().count(owner), 1u)
              << label << ": " << token << " does not hear " << e->getExpressionString();
        }
      }
    };
    for (OBInterface* r : w.r) {
      if (r) check(reaction(r), reaction(r), reaction(r)->getReactionRateExpression());
    }
    auto* rule = dynamic_cast<BRule*>(componentOf(w.rule));
    check(rule, nullptr, rule->getRuleExpression());
    auto* event = dynamic_cast<BEvent*>(componentOf(w.event));
    check(event, nullptr, event->getTriggerExpression());
    for (const auto& fcn : event->getEventFcnExpressions()) check(event, nullptr, fcn);
  }

  // Commits the variant and answers the Value of each law parameter.
  std::vector<double> committedValues(RenameWorld& w) {
    host().call(w.variant, "commit", {host().handle(w.m)});
    std::vector<double> values;
    for (OBInterface* p : w.kf) values.push_back(p ? qxGetScalar(host().get(p, "Value")) : -1);
    return values;
  }
};

// --- the rename table --------------------------------------------------------------------

// One change of a case, made as the user makes it.
using Change = std::function<void(TestHost&, RenameWorld&)>;

void deleteFirstReaction(TestHost& host, RenameWorld& w) {
  EXPECT_TRUE(host.destroy(w.r[0]));
  w.r[0] = nullptr;
  w.kf[0] = nullptr;
}
// A reaction is renamed through its Name: it has no "rename".
Change nameReaction(int index, const char* name) {
  return [=](TestHost& host, RenameWorld& w) { host.set(w.r[index], "Name", host.str(name)); };
}
Change rename(OBInterface* RenameWorld::*which, const char* name) {
  return [=](TestHost& host, RenameWorld& w) { host.call(w.*which, "rename", {host.str(name)}); };
}

struct RenameCase {
  const char* label;
  bool firstNamed;
  const char* firstRate;  // r1's rate
  const char* thirdRate;  // r3's rate
  const char* reference;  // what the variant entry and the dose name
  int referenced;         // the reaction (0-2) whose kf the reference denotes
  Change change;
  const char* error;      // the refusal, when the change is refused
  std::map<std::string, std::string> after;  // the texts that change
};

TEST_F(RenamePropagationTest, TextsKeepDenotingWhatTheyDenoteThroughRenamesAndRemovals) {
  const char* kept = "kf*k*A";
  const std::vector<RenameCase> cases = {
      // Deleting r1 moves r2 and r3 up one place: the names by which the
      // texts reach their parameters move with them.  r1's own rate named
      // r2's parameter, which it stops hearing although the name now
      // denotes nothing.
      {"delete a reaction whose rate names the next one's parameter", false, "UnnamedReaction_2.kf*A", "2*kf",
       "UnnamedReaction_2.kf", 1, deleteFirstReaction, nullptr,
       {{"variant", "UnnamedReaction_1.kf"}, {"dose", "UnnamedReaction_1.kf"}}},
      {"delete ahead, another's parameter", false, kept, "2*UnnamedReaction_2.kf", "UnnamedReaction_2.kf", 1,
       deleteFirstReaction, nullptr,
       {{"r3", "2*UnnamedReaction_1.kf"}, {"variant", "UnnamedReaction_1.kf"}, {"dose", "UnnamedReaction_1.kf"}}},
      {"delete ahead, its own parameter", false, kept, "UnnamedReaction_3.kf*A", "UnnamedReaction_3.kf", 2,
       deleteFirstReaction, nullptr,
       {{"r3", "UnnamedReaction_2.kf*A"}, {"variant", "UnnamedReaction_2.kf"}, {"dose", "UnnamedReaction_2.kf"}}},
      {"delete a named reaction ahead", true, kept, "UnnamedReaction_2.kf*B", "UnnamedReaction_2.kf", 1,
       deleteFirstReaction, nullptr,
       {{"r3", "UnnamedReaction_1.kf*B"}, {"variant", "UnnamedReaction_1.kf"}, {"dose", "UnnamedReaction_1.kf"}}},
      // r3, r1, r2: r1 comes second, r2 third.
      {"reorder", false, kept, "3*UnnamedReaction_1.kf", "UnnamedReaction_2.kf", 1,
       [](TestHost& host, RenameWorld& w) { host.call(w.m, "reorder", {host.handles({w.r[2], w.r[0], w.r[1]})}); },
       nullptr,
       {{"r3", "3*UnnamedReaction_2.kf"}, {"variant", "UnnamedReaction_3.kf"}, {"dose", "UnnamedReaction_3.kf"}}},
      // Renaming a reaction renames the qualified names of its parameters.
      {"rename a named reaction", true, kept, "2*r1.kf", "r1.kf", 0, nameReaction(0, "rx"), nullptr,
       {{"r3", "2*rx.kf"}, {"variant", "rx.kf"}, {"dose", "rx.kf"}}},
      {"rename to a name that needs brackets", true, kept, "2*r1.kf", "r1.kf", 0, nameReaction(0, "r x"), nullptr,
       {{"r3", "2*[r x].kf"}, {"variant", "[r x].kf"}, {"dose", "[r x].kf"}}},
      {"name an unnamed reaction", false, kept, "kf*UnnamedReaction_2.kf", "UnnamedReaction_2.kf", 1,
       nameReaction(1, "rx"), nullptr, {{"r3", "kf*rx.kf"}, {"variant", "rx.kf"}, {"dose", "rx.kf"}}},
      // A rename that keeps every meaning rewrites every text.
      {"parameter to a free name", false, kept, "2*kf", "UnnamedReaction_1.kf", 0, rename(&RenameWorld::k, "kon"),
       nullptr,
       {{"r1", "kf*kon*A"}, {"rule", "kcat = 2*kon + A"}, {"trigger", "A < kon"}, {"functions", "A = kon; kon = A"}}},
      // A species taking the name of a species of another compartment is
      // written with its compartment wherever it was written bare.
      {"species onto another compartment's species name", false, kept, "2*kf", "UnnamedReaction_1.kf", 0,
       [](TestHost& host, RenameWorld& w) {
         OBInterface* c2 = objectOf(host.call(w.m, "addcompartment", {host.str("c2")}, 1).at(0));
         host.call(c2, "addspecies", {host.str("Z")}, 1);
         host.call(w.A, "rename", {host.str("Z")});
       },
       nullptr,
       {{"r1", "kf*k*cell.Z"}, {"rule", "kcat = 2*k + cell.Z"}, {"trigger", "cell.Z < k"},
        {"functions", "cell.Z = k; k = cell.Z"}}},
      // A rename that would make a name denote another component is
      // refused, and nothing changes.
      {"parameter onto the species' name", false, kept, "2*kf", "UnnamedReaction_1.kf", 0,
       rename(&RenameWorld::k, "A"), "Kestrion:RenameChangesMeaning", {}},
      {"species onto the parameter's name", false, kept, "2*kf", "UnnamedReaction_1.kf", 0,
       rename(&RenameWorld::A, "k"), "Kestrion:RenameChangesMeaning", {}},
      {"species onto a law parameter's name", false, kept, "2*kf", "UnnamedReaction_1.kf", 0,
       rename(&RenameWorld::A, "kf"), "Kestrion:RenameChangesMeaning", {}},
      {"parameter onto the compartment's name", false, kept, "2*kf", "UnnamedReaction_1.kf", 0,
       rename(&RenameWorld::k, "cell"), "Kestrion:RenameChangesMeaning", {}},
      {"compartment onto the parameter's name", false, kept, "2*kf", "UnnamedReaction_1.kf", 0,
       rename(&RenameWorld::cell, "k"), "Kestrion:RenameChangesMeaning", {}},
  };
  for (const RenameCase& c : cases) {
    SCOPED_TRACE(c.label);
    // A row that raises is reported and the next row runs.
    try {
      RenameWorld w = world(c.firstNamed, c.firstRate, c.thirdRate, c.reference);
      std::map<std::string, std::string> expected = texts(w);
      for (const auto& [what, text] : c.after) expected[what] = text;
      const KelborComponent* target = componentOf(w.kf[c.referenced]);
      const size_t users = target->getInUseCount();
      const std::string names[3] = {nameOf(w.k), nameOf(w.A), nameOf(w.cell)};
      if (c.error) {
        expectHostError([&] { c.change(host(), w); }, c.error);
        EXPECT_EQ((std::vector<std::string>{nameOf(w.k), nameOf(w.A), nameOf(w.cell)}),
                  std::vector<std::string>(names, names + 3));
      } else {
        c.change(host(), w);
      }
      if (!w.r[0]) expected.erase("r1");
      EXPECT_EQ(texts(w), expected);
      // The texts still denote (and their owners still hear) what they did.
      expectConsistent(w, c.label);
      const bool heldByFirst = std::string(c.firstRate).find(c.reference) != std::string::npos;
      EXPECT_EQ(target->getInUseCount(), users - (heldByFirst && !w.r[0] ? 1 : 0));
      // The variant sets the parameter it named.
      EXPECT_EQ(committedValues(w)[c.referenced], 42);
      // Renaming the parameter afterwards reaches every text; removing it
      // leaves no binding behind, and parameters added afterwards are safe.
      host().call(w.kf[c.referenced], "rename", {host().str("kq")});
      expectConsistent(w, std::string(c.label) + ", parameter renamed");
      EXPECT_TRUE(host().destroy(w.kf[c.referenced]));
      w.kf[c.referenced] = nullptr;
      expectConsistent(w, std::string(c.label) + ", parameter deleted");
      for (OBInterface* r : w.r) {
        if (r) add(objectOf(host().get(r, "KineticLaw")), "addparameter", {host().str("kq")});
      }
      expectConsistent(w, std::string(c.label) + ", parameters added");
      host().call(w.m, "delete");
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
    }
  }
}

}  // namespace
