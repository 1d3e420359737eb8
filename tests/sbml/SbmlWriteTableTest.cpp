// Models built through the host and written to SBML, one row each: the
// written text passes libSBML's consistency check (but for the errors a row
// expects, which the engine has warned about), reads back, and is written
// again the same (values, units, CV terms, metaids and math); each row adds
// the checks of its own fault, on the written document and, where it has
// them, on the model read back.
#include <sbml/SBMLTypes.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

#include "SbmlDocumentCompare.hpp"
#include "SbmlHostFixture.hpp"
#include <interp/interp.hpp>

#include "support/SbmlMeaning.hpp"
#include "core/KelborComponent.hpp"
#include <ks_utils/Units.hpp>

namespace sbmltest {
namespace {

using Build = std::function<OBInterface*(TestHost&)>;
using Check = std::function<void(const SBMLDocument&)>;
// Checks the model read back from the written text.
using CheckBack = std::function<void(TestHost&, OBInterface* back)>;

struct Row {
  std::string what;
  Build build;
  std::vector<std::pair<std::string, size_t>> warnings;  // identifier, count
  std::vector<unsigned> expectedErrors;                   // libSBML ids the row's warnings explain
  Check check;
  // A species whose units are left out comes back without units, which the
  // write gives the default substance flag.
  bool sameOnSecondWrite = true;
  CheckBack checkBack = nullptr;
};

OBInterface* add(TestHost& host, OBInterface* on, const char* method, std::initializer_list<qxArray*> args) {
  return objectOf(host.call(on, method, args, 1).at(0));
}

// A model with compartment c, species A and B, and non-constant parameters.
OBInterface* base(TestHost& host, std::initializer_list<const char*> parameters = {}) {
  OBInterface* m = host.construct("Model", {host.str("m")});
  OBInterface* c = add(host, m, "addcompartment", {host.str("c")});
  add(host, c, "addspecies", {host.str("A")});
  add(host, c, "addspecies", {host.str("B")});
  for (const char* name : parameters) {
    host.set(add(host, m, "addparameter", {host.str(name)}), "ConstantValue", host.logical(false));
  }
  return m;
}

std::string rdf(const std::string& about, const std::string& resource) {
  return "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
         "xmlns:bqbiol=\"http://biomodels.net/biology-qualifiers/\"><rdf:Description rdf:about=\"#" + about +
         "\"><bqbiol:is><rdf:Bag><rdf:li rdf:resource=\"" + resource +
         "\"/></rdf:Bag></bqbiol:is></rdf:Description></rdf:RDF>";
}

const Model& modelOf(const SBMLDocument& d) { return *d.getModel(); }

// The model parameter of that name (the first).
const Parameter& parameterNamed(const SBMLDocument& d, const std::string& name) {
  for (unsigned i = 0; i < modelOf(d).getNumParameters(); ++i) {
    if (modelOf(d).getParameter(i)->getName() == name) return *modelOf(d).getParameter(i);
  }
  static const Parameter none(2, 1);
  ADD_FAILURE() << "no parameter " << name;
  return none;
}

// The name of the element with that SBML id.
std::string nameOfId(const SBMLDocument& d, const std::string& id) {
  const SBase* element = const_cast<SBMLDocument&>(d).getElementBySId(id);
  return element ? element->getName() : "(no element " + id + ")";
}

// The component of the model with that name.
OBInterface* named(TestHost& host, OBInterface* m, const char* name) {
  qxArray* args[3] = {host.handle(m), host.str("Name"), host.str(name)};
  qxArray* out[1] = {nullptr};
  inCallFcn(1, out, 3, args, "kstrselect");
  host.own(out[0]);
  return static_cast<OBInterface*>(qxGetHandle(out[0], 0));
}

// What a unit text means to the engine: its expansion over the base units.
std::string engineMeaning(const std::string& units) {
  const OVUnits::BaseUnitExpansion e = getUnitManagerApiFcn()->expandToBaseUnits(units);
  std::ostringstream out;
  out.precision(17);
  out << e.multiplier << " +" << e.offset;
  for (const OVUnits::BaseUnitTerm& term : e.terms) out << " " << term.name << "^" << term.exponent;
  return out.str();
}

// The SI meaning of the units attribute of a written parameter: a unit
// definition of the document, or a base unit kind.
sbmlmeaning::SIUnit writtenMeaning(const SBMLDocument& d, const std::string& units) {
  if (const UnitDefinition* definition = modelOf(d).getUnitDefinition(units)) {
    return sbmlmeaning::siUnitOf(definition);
  }
  UnitDefinition base(2, 4);
  Unit* unit = base.createUnit();
  if (unit->setKind(UnitKind_forName(units.c_str())) != LIBSBML_OPERATION_SUCCESS) {
    ADD_FAILURE() << "units '" << units << "' name no unit definition and no base unit";
    return {};
  }
  unit->setExponent(1);
  unit->setMultiplier(1);
  unit->setScale(0);
  return sbmlmeaning::siUnitOf(&base);
}

sbmlmeaning::SIUnit si(double factor, std::map<std::string, int> dimension) {
  sbmlmeaning::SIUnit unit;
  unit.none = false;
  unit.factor = factor;
  unit.dimension = std::move(dimension);
  return unit;
}

void expectSameUnit(const sbmlmeaning::SIUnit& written, const sbmlmeaning::SIUnit& expected) {
  EXPECT_TRUE(sbmlmeaning::sameUnit(written, expected))
      << "written " << sbmlmeaning::describe(written) << ", meant " << sbmlmeaning::describe(expected);
}

// The kinetic-law parameter of that name of the model's first reaction.
OBInterface* lawParameterNamed(TestHost& h, OBInterface* m, const char* name) {
  OBInterface* r = objectOf(h.get(m, "Reactions"));
  OBInterface* law = objectOf(h.get(r, "KineticLaw"));
  qxArray* parameters = h.get(law, "Parameters");
  for (size_t i = 0; i < qxGetNumberOfElements(parameters); ++i) {
    auto* parameter = static_cast<OBInterface*>(qxGetHandle(parameters, i));
    if (componentOf(parameter)->getName() == name) return parameter;
  }
  ADD_FAILURE() << "no kinetic-law parameter " << name;
  return nullptr;
}

// The ValueUnits of a parameter read back mean what the given text means.
void expectValueUnitsMean(TestHost& h, OBInterface* parameter, const char* units) {
  ASSERT_NE(parameter, nullptr);
  const std::string back = textOf(h.get(parameter, "ValueUnits"));
  ASSERT_FALSE(back.empty()) << "the units were lost on the read";
  EXPECT_EQ(engineMeaning(back), engineMeaning(units)) << back << " read for " << units;
}

const char* const kChebi = "http://identifiers.org/chebi/CHEBI:17234";
const char* const kGo = "http://identifiers.org/GO:0005737";

std::vector<Row> rows() {
  std::vector<Row> table;
  table.push_back({"RDF annotations on a species, a compartment and the model",
                   [](TestHost& h) {
                     OBInterface* m = base(h);
                     h.set(m, "Annotation", h.str(rdf("meta_m", kGo).c_str()));
                     OBInterface* c = objectOf(h.get(m, "Compartments"));
                     h.set(c, "Annotation", h.str(rdf("meta_c", kGo).c_str()));
                     OBInterface* a = named(h, m, "A");
                     h.set(a, "Annotation", h.str(rdf("meta_s", kChebi).c_str()));
                     return m;
                   },
                   {},
                   {},
                   [](const SBMLDocument& d) {
                     EXPECT_EQ(modelOf(d).getMetaId(), "meta_m");
                     EXPECT_EQ(cvTermsOf(modelOf(d)), (std::vector<std::string>{std::string("bqbiol:is ") + kGo}));
                     EXPECT_EQ(modelOf(d).getCompartment(0)->getMetaId(), "meta_c");
                     EXPECT_EQ(cvTermsOf(*modelOf(d).getCompartment(0)).size(), 1u);
                     const Species* a = modelOf(d).getSpecies(0);
                     EXPECT_EQ(a->getMetaId(), "meta_s");
                     EXPECT_EQ(cvTermsOf(*a), (std::vector<std::string>{std::string("bqbiol:is ") + kChebi}));
                   }});
  table.push_back({"an annotation with an undeclared prefix",
                   [](TestHost& h) {
                     OBInterface* m = base(h);
                     OBInterface* c = objectOf(h.get(m, "Compartments"));
                     h.set(c, "Annotation", h.str("<y:z>undeclared prefix</y:z>"));
                     return m;
                   },
                   {{"Kestrion:SBMLFieldNotWritten", 1}},
                   {},
                   [](const SBMLDocument& d) { EXPECT_FALSE(modelOf(d).getCompartment(0)->isSetAnnotation()); }});
  table.push_back({"ids spelled like constants and functions",
                   [](TestHost& h) {
                     OBInterface* m = base(h, {"sum", "power", "k"});
                     add(h, objectOf(h.get(m, "Compartments")), "addspecies", {h.str("Pi")});
                     // As read from a file: ids equal to the names.
                     for (const char* name : {"Pi", "sum", "power", "k"}) componentOf(named(h, m, name))->setID(name);
                     OBInterface* r = add(h, m, "addreaction", {h.str("A + Pi -> B")});
                     h.set(r, "ReactionRate", h.str("k*A*Pi*sum*power"));
                     add(h, m, "addrule", {h.str("k = power(sum, 2) + Pi"), h.str("repeatedAssignment")});
                     return m;
                   },
                   {},
                   {},
                   [](const SBMLDocument& d) {
                     const std::string rate = mathText(modelOf(d).getReaction(0)->getKineticLaw()->getMath());
                     EXPECT_NE(rate.find("<ci> Pi </ci>"), std::string::npos) << rate;
                     EXPECT_EQ(rate.find("<pi/>"), std::string::npos) << rate;
                     EXPECT_NE(rate.find("<ci> sum </ci>"), std::string::npos) << rate;
                     EXPECT_NE(rate.find("<ci> power </ci>"), std::string::npos) << rate;
                     const std::string rule = mathText(modelOf(d).getRule(0)->getMath());
                     EXPECT_NE(rule.find("<power/>"), std::string::npos) << rule;
                   }});
  table.push_back({"a rule variable that resolves to nothing",
                   [](TestHost& h) {
                     OBInterface* m = base(h, {"k"});
                     add(h, m, "addrule", {h.str("undefinedthing = 3"), h.str("repeatedAssignment")});
                     add(h, m, "addrule", {h.str("k = 3"), h.str("repeatedAssignment")});
                     return m;
                   },
                   {{"Kestrion:SBMLRuleNotWritten", 1}},
                   {},
                   [](const SBMLDocument& d) {
                     ASSERT_EQ(modelOf(d).getNumRules(), 1u);
                     EXPECT_EQ(nameOfId(d, modelOf(d).getRule(0)->getVariable()), "k");
                   }});
  table.push_back({"two assignments to one variable in one event, and an event of a ruled variable",
                   [](TestHost& h) {
                     OBInterface* m = base(h, {"x", "y", "z"});
                     add(h, m, "addrule", {h.str("z = 2"), h.str("repeatedAssignment")});
                     add(h, m, "addevent",
                         {h.str("time > 1"), h.cell({h.str("x = 1"), h.str("x = 2"), h.str("y = 3"), h.str("z = 4")})});
                     return m;
                   },
                   {{"Kestrion:SBMLEventAssignmentNotWritten", 2}},
                   {},
                   [](const SBMLDocument& d) {
                     ASSERT_EQ(modelOf(d).getNumEvents(), 1u);
                     const Event& e = *modelOf(d).getEvent(0);
                     ASSERT_EQ(e.getNumEventAssignments(), 2u);
                     EXPECT_EQ(nameOfId(d, e.getEventAssignment(0)->getVariable()), "x");
                     EXPECT_EQ(nameOfId(d, e.getEventAssignment(1)->getVariable()), "y");
                   }});
  table.push_back({"an initial assignment of a variable an event assigns",
                   [](TestHost& h) {
                     OBInterface* m = base(h, {"x"});
                     add(h, m, "addrule", {h.str("x = 5"), h.str("initialAssignment")});
                     add(h, m, "addevent", {h.str("time > 1"), h.cell({h.str("x = 1")})});
                     return m;
                   },
                   {{"Kestrion:SBMLRuleNotWritten", 1}},
                   {},
                   [](const SBMLDocument& d) {
                     EXPECT_EQ(modelOf(d).getNumRules(), 0u);
                     EXPECT_EQ(modelOf(d).getNumEvents(), 1u);
                   }});
  table.push_back({"a species in gram",
                   [](TestHost& h) {
                     OBInterface* m = base(h);
                     OBInterface* a = named(h, m, "A");
                     h.set(a, "InitialAmount", h.num(2));
                     h.set(a, "InitialAmountUnits", h.str("gram"));
                     return m;
                   },
                   {{"Kestrion:SBMLUnitsNotWritten", 1}},
                   {},
                   [](const SBMLDocument& d) { EXPECT_FALSE(modelOf(d).getSpecies(0)->isSetSubstanceUnits()); },
                   false});
  table.push_back({"rule IDs that make invalid or repeated metaids",
                   [](TestHost& h) {
                     OBInterface* m = base(h, {"p1", "p2", "p3", "p4", "p5"});
                     const char* ids[] = {"1 bad", "dup", "dup", "", ""};
                     const char* types[] = {"initialAssignment", "initialAssignment", "repeatedAssignment",
                                            "initialAssignment", "repeatedAssignment"};
                     for (int i = 0; i < 5; ++i) {
                       const std::string rule = "p" + std::to_string(i + 1) + " = " + std::to_string(i);
                       OBInterface* r = add(h, m, "addrule", {h.str(rule.c_str()), h.str(types[i])});
                       componentOf(r)->setID(ids[i]);
                     }
                     return m;
                   },
                   {},
                   {},
                   [](const SBMLDocument& d) {
                     ASSERT_EQ(modelOf(d).getNumRules(), 5u);
                     const bool initial[] = {true, true, false, true, false};
                     for (unsigned i = 0; i < 5; ++i) {
                       const std::string metaId = modelOf(d).getRule(i)->getMetaId();
                       EXPECT_TRUE(SyntaxChecker::isValidXMLID(metaId)) << metaId;
                       EXPECT_EQ(metaId.find("initialAssignment") != std::string::npos, initial[i]) << metaId;
                     }
                   }});
  table.push_back({"a kinetic law with local parameters and a user unit",
                   [](TestHost& h) {
                     OBInterface* m = base(h);
                     OBInterface* r = add(h, m, "addreaction", {h.str("A -> B")});
                     OBInterface* law = add(h, r, "addkineticlaw", {h.str("MassAction")});
                     OBInterface* kf = add(h, law, "addparameter", {h.str("kf"), h.num(1.0 / 3)});
                     h.set(kf, "ValueUnits", h.str("kelborPerMinute"));
                     h.set(law, "ParameterVariableNames", h.cell({h.str("kf")}));
                     return m;
                   },
                   {},
                   {},
                   [](const SBMLDocument& d) {
                     const KineticLaw* law = modelOf(d).getReaction(0)->getKineticLaw();
                     ASSERT_NE(law, nullptr);
                     ASSERT_EQ(law->getNumParameters(), 1u);
                     EXPECT_EQ(law->getParameter(0)->getValue(), 1.0 / 3);
                     EXPECT_NE(modelOf(d).getUnitDefinition(law->getParameter(0)->getUnits()), nullptr);
                   }});
  table.push_back({"A -> A and a catalyst of stoichiometry 2",
                   [](TestHost& h) {
                     OBInterface* m = base(h, {"k"});
                     h.set(add(h, m, "addreaction", {h.str("A -> A")}), "ReactionRate", h.str("k*A"));
                     h.set(add(h, m, "addreaction", {h.str("2 B + A -> 2 B")}), "ReactionRate", h.str("k*A*B"));
                     return m;
                   },
                   {},
                   {},
                   [](const SBMLDocument& d) {
                     const Reaction& same = *modelOf(d).getReaction(0);
                     EXPECT_EQ(same.getNumReactants(), 1u);
                     EXPECT_EQ(same.getNumProducts(), 1u);
                     const Reaction& catalysed = *modelOf(d).getReaction(1);
                     EXPECT_EQ(catalysed.getNumModifiers(), 0u);
                     EXPECT_EQ(catalysed.getNumReactants(), 2u);
                   }});
  table.push_back({"functions with and without MathML forms in a rule and an event",
                   [](TestHost& h) {
                     OBInterface* m = base(h, {"a", "b", "x", "y"});
                     const char* f = "min(a, b) + nthroot(a, 3) + log2(b) + factorial(a) + piecewise(1, gt(a, b), 0)";
                     add(h, m, "addrule", {h.str((std::string("x = ") + f).c_str()), h.str("repeatedAssignment")});
                     add(h, m, "addevent", {h.str("gt(time, factorial(b))"), h.cell({h.str((std::string("y = ") + f).c_str())})});
                     return m;
                   },
                   {{"Kestrion:SBMLFunctionWithoutMathML", 2}, {"Kestrion:KS_EVENT_FAILED_TO_VERIFY_EVENTFCN", 0}},
                   {10214},
                   [](const SBMLDocument& d) {
                     EXPECT_EQ(modelOf(d).getNumEvents(), 1u);
                     const std::string rule = mathText(modelOf(d).getRule(0)->getMath());
                     for (const char* form : {"<root/>", "<log/>", "<factorial/>", "<piecewise>", "<ci> min </ci>"}) {
                       EXPECT_NE(rule.find(form), std::string::npos) << form << " in " << rule;
                     }
                   }});
  table.push_back({"the delay symbol",
                   [](TestHost& h) {
                     OBInterface* m = base(h, {"a", "x"});
                     add(h, m, "addrule", {h.str("x = delay(a, 2)"), h.str("repeatedAssignment")});
                     return m;
                   },
                   {},
                   {},
                   [](const SBMLDocument& d) {
                     const std::string rule = mathText(modelOf(d).getRule(0)->getMath());
                     EXPECT_NE(rule.find("symbols/delay\"> delay </csymbol>"), std::string::npos) << rule;
                   }});
  table.push_back({"numbers that need 17 digits",
                   [](TestHost& h) {
                     OBInterface* m = base(h, {"third", "largest"});
                     h.set(named(h, m, "third"), "Value",
                           h.num(1.0 / 3));
                     h.set(named(h, m, "largest"), "Value",
                           h.num(1.7976931348623157e308));
                     OBInterface* r = add(h, m, "addreaction", {h.str("A + 0.3333333333333333 B -> A")});
                     OBInterface* law = add(h, r, "addkineticlaw", {h.str("MassAction")});
                     h.set(law, "ParameterVariableNames", h.cell({h.str("third")}));
                     add(h, m, "addrule", {h.str("third = 0.1 + 0.20000000000000001"), h.str("rate")});
                     return m;
                   },
                   {},
                   {},
                   [](const SBMLDocument& d) {
                     EXPECT_EQ(parameterNamed(d, "third").getValue(), 1.0 / 3);
                     EXPECT_EQ(parameterNamed(d, "largest").getValue(), 1.7976931348623157e308);
                     const Reaction& r = *modelOf(d).getReaction(0);
                     ASSERT_EQ(r.getNumReactants(), 1u);
                     EXPECT_EQ(r.getReactant(0)->getStoichiometry(), 1.0 / 3);
                     const std::string rate = mathText(r.getKineticLaw()->getMath());
                     EXPECT_NE(rate.find("numbers 0.3333333333333333"), std::string::npos) << rate;
                     const std::string rule = mathText(modelOf(d).getRule(0)->getMath());
                     EXPECT_NE(rule.find("numbers 0.1 0.2"), std::string::npos) << rule;
                   }});
  // Units written with a parameter and a kinetic-law parameter: the written
  // unit definition means the units (SI factor and dimension), and the
  // parameter read back has units of the same meaning.
  struct UnitsCase {
    const char* rate;  // of the model parameter, in 1/time
    double rateFactor;
    const char* flux;  // of the kinetic-law parameter, in substance/time
    double fluxFactor;
  };
  for (const UnitsCase& u : {UnitsCase{"1/second", 1, "mole / second", 1},
                             UnitsCase{"second^-1", 1, "mole / second", 1},
                             UnitsCase{"1/minute", 1.0 / 60, "millimole / minute", 1e-3 / 60}}) {
    table.push_back({std::string("a parameter in ") + u.rate + " and a kinetic-law parameter in " + u.flux,
                     [u](TestHost& h) {
                       OBInterface* m = base(h, {"k1"});
                       h.set(named(h, m, "k1"), "ValueUnits", h.str(u.rate));
                       OBInterface* r = add(h, m, "addreaction", {h.str("A -> B")});
                       OBInterface* law = add(h, r, "addkineticlaw", {h.str("MassAction")});
                       OBInterface* flux = add(h, law, "addparameter", {h.str("flux"), h.num(2.5)});
                       h.set(flux, "ValueUnits", h.str(u.flux));
                       h.set(law, "ParameterVariableNames", h.cell({h.str("k1")}));
                       return m;
                     },
                     {},
                     {},
                     [u](const SBMLDocument& d) {
                       const Parameter& k1 = parameterNamed(d, "k1");
                       ASSERT_TRUE(k1.isSetUnits()) << "k1 written without units";
                       expectSameUnit(writtenMeaning(d, k1.getUnits()), si(u.rateFactor, {{"second", -1}}));
                       const KineticLaw* law = modelOf(d).getReaction(0)->getKineticLaw();
                       ASSERT_NE(law, nullptr);
                       ASSERT_EQ(law->getNumParameters(), 1u);
                       ASSERT_TRUE(law->getParameter(0)->isSetUnits()) << "flux written without units";
                       expectSameUnit(writtenMeaning(d, law->getParameter(0)->getUnits()),
                                      si(u.fluxFactor, {{"mole", 1}, {"second", -1}}));
                     },
                     true,
                     [u](TestHost& h, OBInterface* back) {
                       expectValueUnitsMean(h, named(h, back, "k1"), u.rate);
                       expectValueUnitsMean(h, lawParameterNamed(h, back, "flux"), u.flux);
                     }});
  }
  return table;
}

class SbmlWriteTableTest : public SbmlHostTest {
 protected:
  // Process-wide storage (the user library, the parsers, the unit
  // manager) is grown by one pass over the table before the health is taken.
  void SetUp() override {
    static const bool warmed = [] {
      TestHost warm;
      warm.start();
      addUnit(warm);
      OBInterface* rw = warm.construct("SBMLReadWrite");
      for (const Row& row : rows()) {
        const std::string text = textOf(warm.call(rw, "sbmlwrite", {warm.handle(row.build(warm))}, 1).at(0));
        qxArray* back = warm.call(rw, "sbmlread", {warm.str(text.c_str()), warm.cell({warm.str("stream")})}, 1).at(0);
        warm.call(rw, "sbmlwrite", {back}, 1);
        warm.call(getOBIRoot(), "reset");
      }
      warm.release(rw);
      warm.call(getOBIRoot(), "removefromlibrary", {warm.str("unit"), warm.str("kelborPerMinute")});
      return true;
    }();
    (void)warmed;
    SbmlHostTest::SetUp();
    addUnit(host());
  }

  static void addUnit(TestHost& h) {
    OBInterface* unit = h.construct("Unit", {h.str("kelborPerMinute"), h.str("1/second"), h.num(1.0 / 60)});
    h.call(getOBIRoot(), "addtolibrary", {h.handle(unit)}, 1);
  }
  void TearDown() override {
    host().call(getOBIRoot(), "removefromlibrary", {host().str("unit"), host().str("kelborPerMinute")});
    SbmlHostTest::TearDown();
  }

  void checkRow(const Row& row) {
    OBInterface* model = row.build(host());
    host().clearLogs();
    const std::string text = writeText(model);
    for (const auto& [id, count] : row.warnings) EXPECT_EQ(warningCount(id), count) << id;
    const std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
    // Models built through the host do not declare units that agree.
    document->setConsistencyChecks(LIBSBML_CAT_UNITS_CONSISTENCY, false);
    for (const std::string& error : consistencyErrors(*document)) {
      const unsigned id = static_cast<unsigned>(std::stoul(error));
      EXPECT_NE(std::find(row.expectedErrors.begin(), row.expectedErrors.end(), id), row.expectedErrors.end())
          << error << "\n" << text;
    }
    row.check(*document);
    OBInterface* back = readText(text, {"skipcc"});
    if (row.checkBack) row.checkBack(host(), back);
    const std::unique_ptr<SBMLDocument> again(readSBMLFromString(writeText(back).c_str()));
    if (row.sameOnSecondWrite) {
      EXPECT_EQ(describeDocument(*again), describeDocument(*document));
    }
  }
};

// The first real of a formula, or NaN when it has none.
double firstReal(const ASTNode* math) {
  if (!math) return std::nan("");
  if (math->getType() == AST_REAL || math->getType() == AST_REAL_E) return math->getReal();
  for (unsigned i = 0; i < math->getNumChildren(); ++i) {
    const double found = firstReal(math->getChild(i));
    if (!std::isnan(found)) return found;
  }
  return std::nan("");
}

// Each place a write sets a double, alone in its model with a value that
// 15 digits do not carry: the written text keeps every digit of it, since
// the write looks for such numbers only when one was set.
TEST_F(SbmlWriteTableTest, EachKindOfWrittenNumberKeepsEveryDigitAlone) {
  constexpr double third = 1.0 / 3;
  constexpr const char* thirdText = "0.3333333333333333";
  struct NumberRow {
    const char* what;
    std::function<void(TestHost&, OBInterface* m)> set;
    std::function<double(const SBMLDocument&)> written;
    double expected;
  };
  const auto rate = [](TestHost& h, OBInterface* m, const std::string& formula) {
    OBInterface* r = add(h, m, "addreaction", {h.str("A -> B")});
    h.set(r, "ReactionRate", h.str(formula.c_str()));
  };
  const NumberRow numberRows[] = {
      {"a parameter's value", [](TestHost& h, OBInterface* m) { h.set(named(h, m, "p"), "Value", h.num(third)); },
       [](const SBMLDocument& d) { return parameterNamed(d, "p").getValue(); }, third},
      {"a species' initial amount",
       [](TestHost& h, OBInterface* m) { h.set(named(h, m, "A"), "InitialAmount", h.num(third)); },
       [](const SBMLDocument& d) { return modelOf(d).getSpecies(0)->getInitialAmount(); }, third},
      {"a compartment's size",
       [](TestHost& h, OBInterface* m) { h.set(named(h, m, "c"), "Capacity", h.num(third)); },
       [](const SBMLDocument& d) { return modelOf(d).getCompartment(0)->getSize(); }, third},
      {"a stoichiometry",
       [](TestHost& h, OBInterface* m) {
         add(h, m, "addreaction", {h.str((std::string(thirdText) + " A -> B").c_str())});
       },
       [](const SBMLDocument& d) { return modelOf(d).getReaction(0)->getReactant(0)->getStoichiometry(); }, third},
      {"a number of a rate", [&](TestHost& h, OBInterface* m) { rate(h, m, std::string(thirdText) + " * A"); },
       [](const SBMLDocument& d) { return firstReal(modelOf(d).getReaction(0)->getKineticLaw()->getMath()); },
       third},
      {"a number of a rule",
       [](TestHost& h, OBInterface* m) {
         add(h, m, "addrule", {h.str((std::string("p = ") + thirdText).c_str()), h.str("repeatedAssignment")});
       },
       [](const SBMLDocument& d) { return firstReal(modelOf(d).getRule(0)->getMath()); }, third},
      {"a number of an event assignment",
       [](TestHost& h, OBInterface* m) {
         add(h, m, "addevent", {h.str("time > 1"), h.cell({h.str((std::string("p = ") + thirdText).c_str())})});
       },
       [](const SBMLDocument& d) { return firstReal(modelOf(d).getEvent(0)->getEventAssignment(0)->getMath()); },
       third},
      {"a kinetic-law parameter's value",
       [](TestHost& h, OBInterface* m) {
         OBInterface* r = add(h, m, "addreaction", {h.str("A -> B")});
         OBInterface* law = add(h, r, "addkineticlaw", {h.str("MassAction")});
         add(h, law, "addparameter", {h.str("kf"), h.num(third)});
         h.set(law, "ParameterVariableNames", h.cell({h.str("kf")}));
       },
       [](const SBMLDocument& d) { return modelOf(d).getReaction(0)->getKineticLaw()->getParameter(0)->getValue(); },
       third},
      {"a unit's multiplier",
       [](TestHost& h, OBInterface* m) { h.set(named(h, m, "p"), "ValueUnits", h.str("kelborPerMinute")); },
       [](const SBMLDocument& d) {
         const UnitDefinition* definition = modelOf(d).getUnitDefinition(parameterNamed(d, "p").getUnits());
         if (!definition) return std::nan("");
         double multiplier = 1;
         for (unsigned i = 0; i < definition->getNumUnits(); ++i) multiplier *= definition->getUnit(i)->getMultiplier();
         return multiplier;
       },
       1.0 / 60},
  };
  for (const NumberRow& row : numberRows) {
    SCOPED_TRACE(row.what);
    OBInterface* m = base(host(), {"p"});
    row.set(host(), m);
    const std::string text = writeText(m);
    const std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
    ASSERT_NE(document->getModel(), nullptr) << text;
    EXPECT_EQ(row.written(*document), row.expected) << text;
    host().call(getOBIRoot(), "reset");
  }
}

// A species reference whose species libSBML refuses (an id that is not an
// SBML id, or none when the species' ID was taken away) is left out with the
// warning that names the attribute, the value and the reaction, as every
// refused setter of a write is.
TEST_F(SbmlWriteTableTest, ARefusedSpeciesReferenceIsAWarning) {
  struct IdRow {
    const char* id;
    const char* warned;
  };
  for (const IdRow& row : {IdRow{"not an id", "species 'not an id' of reaction"},
                           IdRow{nullptr, "species '' of reaction"}}) {
    SCOPED_TRACE(row.warned);
    OBInterface* m = base(host());
    add(host(), m, "addreaction", {host().str("A -> B")});
    componentOf(named(host(), m, "A"))->setID(row.id);
    host().clearLogs();
    const std::string text = writeText(m);
    size_t references = 0;
    for (const hbRecordedWarning& w : host().warnings()) {
      if (w.id != "Kestrion:SBMLAttributeNotWritten") continue;
      if (w.text.find(row.warned) != std::string::npos) ++references;
    }
    EXPECT_EQ(references, 1u) << text;
    const std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
    ASSERT_NE(document->getModel(), nullptr) << text;
    const Reaction* r = modelOf(*document).getReaction(0);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->getNumReactants(), 1u);
    EXPECT_FALSE(r->getReactant(0)->isSetSpecies());
    ASSERT_EQ(r->getNumProducts(), 1u);
    EXPECT_EQ(r->getProduct(0)->getStoichiometry(), 1.0);
    host().call(getOBIRoot(), "reset");
  }
}

TEST_F(SbmlWriteTableTest, WrittenModelsAreValidAndReadBackTheSame) {
  for (const Row& row : rows()) {
    SCOPED_TRACE(row.what);
    checkRow(row);
    host().clearLogs();
    host().call(getOBIRoot(), "reset");
  }
}

}  // namespace
}  // namespace sbmltest
