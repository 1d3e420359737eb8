// Allocation failures: the main scenarios (building the bundled example,
// copying a model, renaming a species in use, renaming a species or its
// compartment named by rules and events, renaming a species, a parameter or
// a compartment that kinetic laws, variants and doses name, deleting a
// model, writing and reading SBML where the engine offers it) run with one
// host allocation made to fail, for allocations across each step (every
// allocation of a rename).  Every run ends normally or in
// a host error ("Kestrion:MallocError" when the engine's own allocation
// failed, the object system's error for its own conversions); never in a C++
// exception the host does not know.  The step leaves the model as it was or
// fully done, and nothing is leaked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>

#include "SweepPlan.hpp"
#include "model/BQuorvixRoot.hpp"
#include "SweepWorld.hpp"

namespace {

// At most this many failing positions per step and allocator, spread evenly
// over the step's allocations (the first few always among them).
constexpr size_t kPositionsPerStep = 24;

// What the steps of a scenario share.
struct Context {
  TestHost host;
  std::map<std::string, OBInterface*> objects;
  // The method call, with its arguments (the object first) made already.
  OBInterface* call1(const char* method, std::initializer_list<qxArray*> args) {
    std::vector<qxArray*> outs = host.call(method, args, 1);
    return outs.empty() ? nullptr : objectOf(outs[0]);
  }
};

// One host call of a scenario: prepare makes the arguments the way a
// user's script does and answers the call itself, which is what runs with
// an allocation made to fail (the host's own making of the arguments is not
// the engine's to answer for).
struct Step {
  std::string label;
  std::function<std::function<void()>(Context&)> prepare;
};

struct Scenario {
  std::string name;
  std::vector<Step> setup;  // run without failures
  std::vector<Step> steps;  // each run with failures
  // Set while the engine still fails the scenario: what goes wrong.
  const char* knownFault = nullptr;
  // Fail every allocation of each step in turn rather than a spread of
  // them (for steps of a few hundred allocations).
  bool everyPosition = false;
};

// The bundled example, one host call a step.
std::vector<Step> enzymeSteps() {
  std::vector<Step> steps;
  steps.push_back({"construct the model", [](Context& c) -> std::function<void()> {
                     qxArray* name = c.host.str("enzyme");
                     return [&c, name] { c.objects["model"] = c.host.construct("Model", {name}); };
                   }});
  steps.push_back({"addcompartment", [](Context& c) -> std::function<void()> {
                     qxArray* model = c.host.handle(c.objects["model"]);
                     qxArray* name = c.host.str("cell");
                     return [&c, model, name] { c.objects["cell"] = c.call1("addcompartment", {model, name}); };
                   }});
  for (const char* name : {"E", "S", "ES", "P"}) {
    steps.push_back({std::string("addspecies ") + name, [name](Context& c) -> std::function<void()> {
                       qxArray* model = c.host.handle(c.objects["model"]);
                       qxArray* text = c.host.str(name);
                       return [&c, model, text, name] { c.objects[name] = c.call1("addspecies", {model, text}); };
                     }});
    steps.push_back({std::string("InitialAmount of ") + name, [name](Context& c) -> std::function<void()> {
                       qxArray* amount = c.host.num(10);
                       return [&c, amount, name] { c.host.set(c.objects[name], "InitialAmount", amount); };
                     }});
  }
  for (const char* name : {"kf", "kr", "kcat"}) {
    steps.push_back({std::string("addparameter ") + name, [name](Context& c) -> std::function<void()> {
                       qxArray* model = c.host.handle(c.objects["model"]);
                       qxArray* text = c.host.str(name);
                       return [&c, model, text, name] { c.objects[name] = c.call1("addparameter", {model, text}); };
                     }});
  }
  const std::pair<const char*, const char*> reactions[] = {{"E + S <-> ES", "kf*E*S - kr*ES"},
                                                           {"ES -> E + P", "kcat*ES"}};
  for (const auto& [equation, rate] : reactions) {
    steps.push_back({std::string("addreaction ") + equation, [equation](Context& c) -> std::function<void()> {
                       qxArray* model = c.host.handle(c.objects["model"]);
                       qxArray* text = c.host.str(equation);
                       return [&c, model, text, equation] {
                         c.objects[equation] = c.call1("addreaction", {model, text});
                       };
                     }});
    steps.push_back({std::string("ReactionRate ") + rate, [equation, rate](Context& c) -> std::function<void()> {
                       qxArray* text = c.host.str(rate);
                       return [&c, text, equation] { c.host.set(c.objects[equation], "ReactionRate", text); };
                     }});
  }
  return steps;
}

// A step calling a method of a named object with no further arguments and
// the given number of results.
Step methodStep(const char* label, const char* object, const char* method, int nargout) {
  return {label, [object, method, nargout](Context& c) -> std::function<void()> {
            qxArray* self = c.host.handle(c.objects[object]);
            return [&c, self, method, nargout] { c.host.call(method, {self}, nargout); };
          }};
}

// The bundled example with a rule and an event naming S as given.
std::vector<Step> ruleAndEventSteps(const char* s) {
  std::vector<Step> steps = enzymeSteps();
  const std::string name = s;
  steps.push_back({"addrule and addevent", [name](Context& c) -> std::function<void()> {
                     qxArray* model = c.host.handle(c.objects["model"]);
                     qxArray* rule = c.host.str(("P = 2*" + name).c_str());
                     qxArray* type = c.host.str("repeatedAssignment");
                     qxArray* trigger = c.host.str((name + " < 5").c_str());
                     qxArray* fcn = c.host.str((name + " = 100").c_str());
                     return [&c, model, rule, type, trigger, fcn] {
                       c.call1("addrule", {model, rule, type});
                       c.call1("addevent", {model, trigger, fcn});
                     };
                   }});
  return steps;
}

// The bundled example with a kinetic law, a variant and a dose naming a
// species and a parameter: the first reaction takes Henri-Michaelis-Menten
// with kf and kr and the species as given, the second a mass-action law
// with kcat; the variant sets the species' amount and kcat's value; a
// schedule dose targets the species and a repeat dose takes kcat as its
// duration parameter.
std::vector<Step> lawVariantAndDoseSteps(const char* s) {
  std::vector<Step> steps = enzymeSteps();
  const std::string species = s;
  steps.push_back({"kinetic laws, a variant and doses", [species](Context& c) -> std::function<void()> {
                     return [&c, species] {
                       TestHost& h = c.host;
                       OBInterface* model = c.objects["model"];
                       OBInterface* binding = c.objects["E + S <-> ES"];
                       OBInterface* law = c.call1("addkineticlaw", {h.handle(binding), h.str("Henri-Michaelis-Menten")});
                       h.set(law, "ParameterVariableNames", h.cell({h.str("kf"), h.str("kr")}));
                       h.set(law, "SpeciesVariableNames", h.cell({h.str(species.c_str())}));
                       OBInterface* catalysis = c.objects["ES -> E + P"];
                       OBInterface* massAction = c.call1("addkineticlaw", {h.handle(catalysis), h.str("MassAction")});
                       h.set(massAction, "ParameterVariableNames", h.cell({h.str("kcat")}));
                       OBInterface* variant = c.call1("addvariant", {h.handle(model), h.str("v")});
                       h.call("addcontent",
                              {h.handle(variant), h.cell({h.str("species"), h.str(species.c_str()),
                                                          h.str("InitialAmount"), h.num(5)})});
                       h.call("addcontent", {h.handle(variant), h.cell({h.str("parameter"), h.str("kcat"),
                                                                        h.str("Value"), h.num(2)})});
                       OBInterface* schedule = c.call1("adddose", {h.handle(model), h.str("d1"), h.str("schedule")});
                       h.set(schedule, "TargetName", h.str(species.c_str()));
                       OBInterface* repeat = c.call1("adddose", {h.handle(model), h.str("d2"), h.str("repeat")});
                       h.set(repeat, "TargetName", h.str(species.c_str()));
                       h.set(repeat, "DurationParameterName", h.str("kcat"));
                     };
                   }});
  return steps;
}

// lawVariantAndDoseSteps with a parameter kv that only the variant names, so
// that renaming a species to kv changes no formula's meaning.
std::vector<Step> variantOnlyParameterSteps() {
  std::vector<Step> steps = lawVariantAndDoseSteps("S");
  steps.push_back({"a parameter only the variant names", [](Context& c) -> std::function<void()> {
                     return [&c] {
                       TestHost& h = c.host;
                       OBInterface* model = c.objects["model"];
                       c.call1("addparameter", {h.handle(model), h.str("kv")});
                       OBInterface* variant = objectOf(h.call(model, "getvariant", {h.str("v")}, 1).at(0));
                       h.call("addcontent", {h.handle(variant), h.cell({h.str("parameter"), h.str("kv"),
                                                                        h.str("Value"), h.num(3)})});
                     };
                   }});
  return steps;
}

// The bundled example with rules and an event naming S, and a second
// compartment whose species X a rule names by its bare name.
std::vector<Step> secondCompartmentSteps() {
  std::vector<Step> steps = ruleAndEventSteps("S");
  steps.push_back({"a second compartment with X named by a rule", [](Context& c) -> std::function<void()> {
                     return [&c] {
                       TestHost& h = c.host;
                       OBInterface* model = c.objects["model"];
                       OBInterface* nucleus = c.call1("addcompartment", {h.handle(model), h.str("nucleus")});
                       c.call1("addspecies", {h.handle(nucleus), h.str("X")});
                       c.call1("addparameter", {h.handle(model), h.str("kx")});
                       c.call1("addrule", {h.handle(model), h.str("kx = 3*X"), h.str("repeatedAssignment")});
                     };
                   }});
  return steps;
}

// The bundled example whose second reaction takes a mass-action law bound
// to a parameter of the law's own.
std::vector<Step> lawParameterSteps() {
  std::vector<Step> steps = enzymeSteps();
  steps.push_back({"a law with a parameter of its own", [](Context& c) -> std::function<void()> {
                     return [&c] {
                       TestHost& h = c.host;
                       OBInterface* catalysis = c.objects["ES -> E + P"];
                       OBInterface* law = c.call1("addkineticlaw", {h.handle(catalysis), h.str("MassAction")});
                       c.objects["klocal"] = c.call1("addparameter", {h.handle(law), h.str("klocal")});
                       h.set(law, "ParameterVariableNames", h.cell({h.str("klocal")}));
                     };
                   }});
  return steps;
}

// A step renaming a named object.
Step renameStep(const char* object, const char* newName) {
  return {std::string("rename ") + object, [object, newName](Context& c) -> std::function<void()> {
            qxArray* self = c.host.handle(c.objects[object]);
            qxArray* name = c.host.str(newName);
            return [&c, self, name] { c.host.call("rename", {self, name}); };
          }};
}

// A rename after the setup, failing each of its allocations in turn.
Scenario renameScenario(std::string name, std::vector<Step> setup, const char* object, const char* newName) {
  Scenario s{std::move(name), std::move(setup), {renameStep(object, newName)}};
  s.everyPosition = true;
  return s;
}

std::vector<Scenario> scenarios() {
  std::vector<Scenario> all;
  all.push_back({"build the bundled example", {}, enzymeSteps()});
  all.push_back({"copy a model", enzymeSteps(), {methodStep("copyobj", "model", "copyobj", 1)}});
  all.push_back(renameScenario("rename a species in use", enzymeSteps(), "S", "substrate"));
  // Rules and events name the species, one of them through its compartment.
  all.push_back(renameScenario("rename a compartment whose species rules and events name",
                               ruleAndEventSteps("cell.S"), "cell", "cytosol"));
  all.push_back(renameScenario("rename a species rules and events name", ruleAndEventSteps("S"), "S",
                               "substrate"));
  all.push_back({"delete a model", enzymeSteps(), {methodStep("delete", "model", "delete", 0)}});
  // Kinetic-law bindings, variant entries and dose references name the
  // component by text.
  all.push_back(renameScenario("rename a species kinetic laws, variants and doses name",
                               lawVariantAndDoseSteps("S"), "S", "substrate"));
  all.push_back(renameScenario("rename a parameter kinetic laws, variants and doses name",
                               lawVariantAndDoseSteps("S"), "kcat", "kcatalytic"));
  all.push_back(renameScenario("rename a compartment whose species kinetic laws, variants and doses name",
                               lawVariantAndDoseSteps("cell.S"), "cell", "cytosol"));
  // The new name is held by a species of another compartment: expressions
  // naming that species by its bare name are rewritten to its qualified name.
  all.push_back(renameScenario("rename a species to the name of another compartment's species",
                               secondCompartmentSteps(), "S", "X"));
  // The new name is a parameter's: the variant entries and dose targets
  // naming the species take its qualified name.  (A parameter a formula
  // names would refuse the rename: that formula's bare name would come to
  // denote the species.)
  all.push_back(renameScenario("rename a species to the name of a parameter a variant names",
                               variantOnlyParameterSteps(), "S", "kv"));
  all.push_back(renameScenario("rename a kinetic law's own parameter", lawParameterSteps(), "klocal", "klaw"));
  if (OBApplicationManager::findClass("Kestrion.SBMLReadWrite") != nullptr) {
    // Written to text, then read back as a new model.
    all.push_back({"write and read SBML", enzymeSteps(),
                   {{"sbmlwrite and sbmlread", [](Context& c) -> std::function<void()> {
                       OBInterface* rw = c.host.construct("SBMLReadWrite", {});
                       qxArray* self = c.host.handle(rw);
                       qxArray* model = c.host.handle(c.objects["model"]);
                       qxArray* form = c.host.cell({c.host.str("stream")});
                       return [&c, self, model, form] {
                         std::vector<qxArray*> text = c.host.call("sbmlwrite", {self, model}, 1);
                         if (!text.empty()) c.host.call("sbmlread", {self, text[0], form}, 1);
                       };
                     }}}});
  }
  return all;
}

// Deletes every model and gives back what the host held.
void tearDown(std::unique_ptr<Context>& c) {
  if (OBInterface* root = getOBIRoot()) {
    auto error = TestHost::errorOf([&] { c->host.call(root, "reset", {}); });
    EXPECT_FALSE(error.has_value()) << error->id;
  }
  c.reset();
}

struct StepProfile {
  size_t hbAttempts = 0;
  size_t qxAttempts = 0;
  std::vector<std::string> after;  // stable snapshot once the step is done
};

void runSteps(Context& c, const std::vector<Step>& steps, size_t count) {
  for (size_t i = 0; i < count; ++i) steps[i].prepare(c)();
}

// Runs the scenario without failures, counting each step's allocations.
std::vector<StepProfile> profile(const Scenario& s) {
  auto c = std::make_unique<Context>();
  runSteps(*c, s.setup, s.setup.size());
  std::vector<StepProfile> out;
  for (const Step& step : s.steps) {
    StepProfile p;
    const std::function<void()> call = step.prepare(*c);
    hbTestFailAllocationAt(0);
    qxTestFailCreationAt(0);
    call();
    p.hbAttempts = hbTestAllocationAttempts();
    p.qxAttempts = qxTestCreationAttempts();
    p.after = snapshotOf(modelScope(), true);
    out.push_back(std::move(p));
  }
  tearDown(c);
  return out;
}

std::vector<size_t> positions(size_t attempts, bool every) {
  std::vector<size_t> out;
  if (attempts == 0) return out;
  if (every) {
    for (size_t k = 1; k <= attempts; ++k) out.push_back(k);
    return out;
  }
  const size_t stride = std::max<size_t>(1, attempts / kPositionsPerStep);
  for (size_t k = 1; k <= std::min<size_t>(attempts, 4); ++k) out.push_back(k);
  for (size_t k = 5; k <= attempts; k += stride) out.push_back(k);
  if (out.back() != attempts) out.push_back(attempts);
  return out;
}

class AllocationFailure : public ::testing::TestWithParam<size_t> {};

TEST_P(AllocationFailure, EachStepEndsCleanlyWithTheModelUnchangedOrComplete) {
  startEngineOnce();
  const std::vector<Scenario> all = scenarios();
  if (GetParam() >= all.size()) GTEST_SKIP() << "no such scenario in this build";
  const Scenario& s = all[GetParam()];
  if (s.knownFault != nullptr) GTEST_SKIP() << s.name << ": " << s.knownFault;
  profile(s);  // fills process-wide caches before the leak baseline
  const std::vector<StepProfile> profiles = profile(s);
  const HostHealth start = TestHost::health();
  size_t runs = 0, hostErrors = 0, completed = 0;
  std::map<std::string, size_t> errorIds;
  for (size_t j = 0; j < s.steps.size(); ++j) {
    for (int allocator = 0; allocator < 2; ++allocator) {
      const size_t attempts = allocator == 0 ? profiles[j].hbAttempts : profiles[j].qxAttempts;
      for (size_t k : positions(attempts, s.everyPosition)) {
        const std::string what = s.name + ": " + s.steps[j].label + ", " + (allocator == 0 ? "hb" : "qx") +
                                 " allocation " + std::to_string(k) + " of " + std::to_string(attempts);
        auto c = std::make_unique<Context>();
        runSteps(*c, s.setup, s.setup.size());
        runSteps(*c, s.steps, j);
        const std::vector<std::string> before = snapshotOf(modelScope(), true);
        const std::function<void()> call = s.steps[j].prepare(*c);
        if (allocator == 0) hbTestFailAllocationAt(k);
        else qxTestFailCreationAt(k);
        std::optional<HostCallError> error;
        try {
          error = TestHost::errorOf(call);
        } catch (const std::bad_alloc&) {
          ADD_FAILURE() << what << ": std::bad_alloc reached the host instead of an error it knows";
        }
        hbTestFailAllocationAt(0);
        qxTestFailCreationAt(0);
        ++runs;
        if (error) {
          ++hostErrors;
          ++errorIds[error->id];
          EXPECT_TRUE(isAllowedErrorId(error->id)) << what << ": " << error->id;
        } else {
          ++completed;
        }
        const std::string broken = checkModelInvariants();
        EXPECT_EQ(broken, "") << what;
        const std::vector<std::string> after = snapshotOf(modelScope(), true);
        if (after != before && after != profiles[j].after) {
          ADD_FAILURE() << what << " left the model half done:\n  against the state before: "
                        << firstDifference(before, after)
                        << "\n  against the finished step: " << firstDifference(profiles[j].after, after);
        }
        tearDown(c);
        const HostHealth end = TestHost::health();
        if (!(end == start)) {
          ADD_FAILURE() << what << " leaked: " << describe(end) << " against " << describe(start);
          return;
        }
      }
    }
  }
  std::printf("%s: %zu runs, %zu ended in a host error, %zu completed\n", s.name.c_str(), runs, hostErrors,
              completed);
  for (const auto& [id, n] : errorIds) std::printf("  %s: %zu\n", id.c_str(), n);
  // The engine's own allocations failing reach the host as its allocation
  // error.
  if (hostErrors > 0) {
    EXPECT_GT(errorIds["Kestrion:MallocError"], 0u) << s.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, AllocationFailure, ::testing::Range<size_t>(0, 13));

}  // namespace
