// Reading SBML unit definitions as a user would: definitions that need a
// new user unit, redefinitions of user units (with the library file backed
// up once per read), redefinitions of the SBML default units, and the
// definitions that are skipped with a warning or end the read; and units
// written and read back, which must come back meaning the same.
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <interp/interp.hpp>
#include <sbml/SBMLTypes.h>
#include <interp/interp_test.hpp>
#include <ks_utils/Units.hpp>

#include "SbmlHostFixture.hpp"
#include "core/KelborComponent.hpp"
#include "core/QuantityComponent.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitWrapper.hpp"

namespace sbmltest {
namespace {

// One <unit> element.
std::string unit(const char* kind, int exponent = 1, int scale = 0, double multiplier = 1, double offset = 0) {
  return std::string("<unit kind=\"") + kind + "\" exponent=\"" + std::to_string(exponent) + "\" scale=\"" +
         std::to_string(scale) + "\" multiplier=\"" + std::to_string(multiplier) + "\" offset=\"" +
         std::to_string(offset) + "\"/>";
}

std::string definition(const std::string& id, const std::string& units, const std::string& name = "") {
  return "<unitDefinition id=\"" + id + "\"" + (name.empty() ? "" : " name=\"" + name + "\"") +
         "><listOfUnits>" + units + "</listOfUnits></unitDefinition>";
}

// A model with the definitions and one parameter p using the unit id.
std::string modelWith(const std::string& definitions, const std::string& parameterUnits,
                      const std::string& modelAttributes = "id=\"m\" name=\"units model\"") {
  return l2v1("<listOfUnitDefinitions>" + definitions + "</listOfUnitDefinitions>"
              "<listOfParameters><parameter id=\"p\" value=\"1\" units=\"" + parameterUnits +
              "\"/></listOfParameters>",
              modelAttributes);
}

class SbmlUnitImportTest : public SbmlHostTest {
 protected:
  // The user library's lists keep the storage they grow: one read that
  // registers a user unit grows them before the health is taken.
  void SetUp() override {
    static const bool warmed = [] {
      TestHost warm;
      warm.start();
      OBInterface* rw = warm.construct("SBMLReadWrite");
      const std::string text = modelWith(definition("warm", unit("mole", 3)), "warm");
      warm.call(rw, "sbmlread", {warm.str(text.c_str()), warm.cell({warm.str("stream")})}, 1);
      warm.call(getOBIRoot(), "removefromlibrary", {warm.str("unit"), warm.str("warm")});
      warm.release(rw);
      warm.call(getOBIRoot(), "reset");
      return true;
    }();
    (void)warmed;
    SbmlHostTest::SetUp();
  }

  void TearDown() override {
    // User units the reads registered leave the user library again.
    std::vector<std::string> names;
    for (const BUnitWrapper* u : userLibrary()->getUnits()) names.push_back(u->getName());
    for (const std::string& name : names) {
      host().call(getOBIRoot(), "removefromlibrary", {host().str("unit"), host().str(name.c_str())});
    }
    SbmlHostTest::TearDown();
  }

  static BLibrary* userLibrary() { return BQuorvixRoot::getInstance()->getLibrary(1); }

  // The unit of the first parameter of the model.
  std::string parameterUnits(OBInterface* model) {
    return dynamic_cast<kstr::QuantityComponent*>(componentOf(children(model, "parameter").at(0)))->getUnits();
  }

  // A user unit made as a user would, in the user library.
  void addUserUnit(const char* name, const char* composition, double multiplier) {
    OBInterface* u = host().construct("Unit", {host().str(name), host().str(composition), host().num(multiplier)});
    host().call(getOBIRoot(), "addtolibrary", {host().handle(u)}, 1);
    host().release(u);
  }
};

struct NewUnitCase {
  const char* label;
  std::string units;
  const char* composition;
  double multiplier;
};

// Definitions that the existing units cannot express become user units that
// the component then carries.
TEST_F(SbmlUnitImportTest, DefinitionsBecomeUserUnits) {
  const NewUnitCase cases[] = {
      {"quotient", unit("mole") + unit("litre", -1), "mole/litre", 1},
      {"prefixed scale", unit("mole", 1, -3) + unit("litre", -1), "millimole/litre", 1},
      {"scale without prefix", unit("mole", 1, -4), "mole", 1e-4},
      {"several over a power", unit("gram") + unit("mole") + unit("second", -2), "(gram*mole)/second^2", 1},
      {"denominator only", unit("second", -1, 0, 60), "1/second", 1.0 / 60},
      {"two in the denominator", unit("mole") + unit("litre", -1) + unit("second", -1), "mole/(litre*second)", 1},
      {"dimensionless factor", unit("second") + unit("dimensionless", 1, 0, 3600), "second", 3600},
  };
  for (const NewUnitCase& c : cases) {
    SCOPED_TRACE(c.label);
    host().clearLogs();
    OBInterface* m = readText(modelWith(definition("myunit", c.units), "myunit"), {"skipcc"});
    EXPECT_EQ(parameterUnits(m), "myunit");
    const BUnitWrapper* made = userLibrary()->findUnit("myunit");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->getComposition(), c.composition);
    EXPECT_NEAR(made->getMultiplier(), c.multiplier, 1e-12 * c.multiplier);
    EXPECT_EQ(warningCount("Kestrion:UnableToSetUnits"), 0u);
    host().call(getOBIRoot(), "removefromlibrary", {host().str("unit"), host().str("myunit")});
  }
}

// A file that redefines two user units backs the library file up once: the
// first warning names the backup, the second only the unit.  An identical
// definition changes nothing and warns nothing.
TEST_F(SbmlUnitImportTest, RedefinedUserUnitsAreBackedUpAndReplaced) {
  addUserUnit("myu", "mole", 2);
  addUserUnit("myv", "litre", 2);
  addUserUnit("same", "second", 5);
  host().clearLogs();
  interpClearCallLog();
  const std::string definitions = definition("myu", unit("mole", 1, 0, 3)) + definition("myv", unit("litre", 1, 0, 4)) +
                                  definition("same", unit("second", 1, 0, 5));
  OBInterface* m = readText(modelWith(definitions, "myu"), {"skipcc"});
  EXPECT_EQ(parameterUnits(m), "myu");
  EXPECT_DOUBLE_EQ(userLibrary()->findUnit("myu")->getMultiplier(), 3);
  EXPECT_DOUBLE_EQ(userLibrary()->findUnit("myv")->getMultiplier(), 4);
  EXPECT_DOUBLE_EQ(userLibrary()->findUnit("same")->getMultiplier(), 5);
  ASSERT_EQ(warningCount("Kestrion:UserUnitOverwrittenFileBackedup"), 1u);
  EXPECT_EQ(warningCount("Kestrion:UserUnitOverwritten"), 1u);
  std::vector<std::string> texts;
  for (const hbRecordedWarning& w : host().warnings()) {
    if (w.id.rfind("Kestrion:UserUnitOverwritten", 0) == 0) texts.push_back(w.text);
  }
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("'myu'"), std::string::npos) << texts[0];
  EXPECT_NE(texts[0].find("/userunits_backup_"), std::string::npos) << texts[0];
  EXPECT_NE(texts[1].find("'myv'"), std::string::npos) << texts[1];
  EXPECT_EQ(texts[1].find("backed up"), std::string::npos) << texts[1];
  // Each replaced unit went through the host, the identical one did not.
  std::vector<std::string> removed;
  for (const InterpCallRecord& call : interpCallLog()) {
    if (call.name == "kstrgate" && call.args.at(0) == "privatebackupandremoveunit") removed.push_back(call.args.at(1));
  }
  EXPECT_EQ(removed, (std::vector<std::string>{"myu", "myv"}));
}

// The SBML default units: a plain redefinition maps onto the composition,
// a scaled one becomes sbml_<id>_<n> with notes naming the model, and a
// second read of the same definition reuses that unit.
TEST_F(SbmlUnitImportTest, DefaultUnitRedefinitions) {
  OBInterface* plain = readText(modelWith(definition("substance", unit("mole")), "substance"), {"skipcc"});
  EXPECT_EQ(parameterUnits(plain), "mole");
  EXPECT_TRUE(userLibrary()->getUnits().empty());

  const std::string scaled = definition("substance", unit("mole", 1, 0, 1000));
  OBInterface* first = readText(modelWith(scaled, "substance"), {"skipcc"});
  EXPECT_EQ(parameterUnits(first), "sbml_substance_1");
  const BUnitWrapper* made = userLibrary()->findUnit("sbml_substance_1");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->getComposition(), "mole");
  EXPECT_DOUBLE_EQ(made->getMultiplier(), 1000);
  EXPECT_STREQ(made->getNotes(),
               "This unit was created when an imported SBML file redefined the default units for a physical "
               "quantity. This models name was 'units model'.");
  OBInterface* again = readText(modelWith(scaled, "substance", "id=\"other\""), {"skipcc"});
  EXPECT_EQ(parameterUnits(again), "sbml_substance_1");
  EXPECT_EQ(userLibrary()->getUnits().size(), 1u);

  // A different scale takes the next free name; the notes name the model's
  // id when it has no name.
  OBInterface* other =
      readText(modelWith(definition("substance", unit("mole", 1, 0, 10)), "substance", "id=\"nameless\""), {"skipcc"});
  EXPECT_EQ(parameterUnits(other), "sbml_substance_2");
  EXPECT_NE(std::string(userLibrary()->findUnit("sbml_substance_2")->getNotes()).find("This models id was 'nameless'."),
            std::string::npos);
}

struct SkippedCase {
  const char* label;
  std::string definitions;
  const char* warning;
};

// Faulty definitions register nothing and warn; the parameter that uses one
// cannot take its units and says so; the read goes on.
TEST_F(SbmlUnitImportTest, FaultyDefinitionsAreSkippedWithAWarning) {
  const SkippedCase cases[] = {
      {"zero multiplier", definition("u", unit("mole", 1, 0, 0)), "Kestrion:UnitsCannotHaveZeroMultiplier"},
      {"zero multiplier in the second unit", definition("u", unit("mole") + unit("litre", -1, 0, 0)),
       "Kestrion:UnitsCannotHaveZeroMultiplier"},
      {"offset on a compound unit", definition("u", unit("kelvin", 1, 0, 1, 10) + unit("second", -1)),
       "Kestrion:UnitsOffsetMultipleUnits"},
      {"pure dimensionless", definition("u", unit("dimensionless", 1, 0, 2)),
       "Kestrion:UnitsPureDimensionlessUnsupported"},
      {"built-in name", definition("mole", unit("mole", 1, 0, 2)), "Kestrion:UnableToRegisterUnitBuiltinClash"},
      {"hour as a minute", definition("hour", unit("second", 1, 0, 60)), "Kestrion:UnableToRegisterUnitBuiltinClash"},
      {"exponent of the lowest int", definition("u", "<unit kind=\"second\" exponent=\"-2147483648\"/>"),
       "Kestrion:UnitDefinitionOutOfRange"},
      {"exponent beyond a hundred", definition("u", unit("second", 101)), "Kestrion:UnitDefinitionOutOfRange"},
      {"scale of the lowest int", definition("u", "<unit kind=\"mole\" scale=\"-2147483648\"/>"),
       "Kestrion:UnitDefinitionOutOfRange"},
      {"multiplier that overflows", definition("u", "<unit kind=\"mole\" exponent=\"2\" multiplier=\"1e300\"/>"),
       "Kestrion:UnitDefinitionOutOfRange"},
      {"multiplier that underflows", definition("u", "<unit kind=\"mole\" exponent=\"2\" multiplier=\"1e-300\"/>"),
       "Kestrion:UnitDefinitionOutOfRange"},
      {"scale that overflows", definition("u", "<unit kind=\"mole\" exponent=\"-3\" scale=\"-200\"/>"),
       "Kestrion:UnitDefinitionOutOfRange"},
      {"composition and multiplier that overflow together",
       definition("u", "<unit kind=\"metre\" exponent=\"100\" scale=\"3\"/>"
                       "<unit kind=\"dimensionless\" multiplier=\"1e10\"/>"),
       "Kestrion:UnitDefinitionOutOfRange"},
      {"redefined substance that overflows", definition("substance", "<unit kind=\"mole\" exponent=\"3\" "
                                                                     "multiplier=\"1e200\"/>"),
       "Kestrion:UnitDefinitionOutOfRange"},
  };
  for (const SkippedCase& c : cases) {
    SCOPED_TRACE(c.label);
    host().clearLogs();
    OBInterface* m = readText(modelWith(c.definitions, "u"), {"skipcc"});
    EXPECT_EQ(warningCount(c.warning), 1u);
    EXPECT_TRUE(userLibrary()->getUnits().empty());
    EXPECT_EQ(children(m, "parameter").size(), 1u);
  }
}

// A definition that restates a registered unit (one unit whose multiplier is
// how many of its kind make the registered unit) maps onto that unit
// silently; one that gives a registered user unit another size replaces it.
TEST_F(SbmlUnitImportTest, DefinitionsRestatingRegisteredUnits) {
  addUserUnit("myhr", "second", 3600);
  struct Case {
    const char* label;
    std::string definitions;
    const char* unitsOfP;
    double secondsInMyhr;
    size_t warnings;
  };
  const Case cases[] = {
      {"built-in hour", definition("hour", unit("second", 1, 0, 3600)), "hour", 3600, 0},
      {"built-in day", definition("day", unit("second", 1, 0, 86400)), "day", 3600, 0},
      {"user unit as it stands", definition("myhr", unit("second", 1, 0, 3600)), "myhr", 3600, 0},
      {"user unit made a 3600th of a second",
       definition("myhr", "<unit kind=\"second\" multiplier=\"2.777777777777778e-4\"/>"), "myhr", 1.0 / 3600, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    host().clearLogs();
    OBInterface* m = readText(modelWith(c.definitions, c.unitsOfP), {"skipcc"});
    EXPECT_EQ(parameterUnits(m), c.unitsOfP);
    std::string given;
    for (const hbRecordedWarning& w : host().warnings()) given += w.id + " ";
    EXPECT_EQ(host().warnings().size(), c.warnings) << given;
    EXPECT_NEAR(getUnitManagerApiFcn()->getConverter("myhr", "second").convert(1.0), c.secondsInMyhr,
                1e-9 * c.secondsInMyhr);
    EXPECT_EQ(userLibrary()->getUnits().size(), 1u);
  }
}

// A unit kind that libSBML cannot name ends the read and leaves no model;
// the definitions read before it stay registered.
TEST_F(SbmlUnitImportTest, UnknownUnitKindEndsTheRead) {
  const std::string definitions = definition("good", unit("mole", 2)) + definition("bad", unit("furlong"));
  expectError([&] { readText(modelWith(definitions, "bad"), {"skipcc"}); }, "Kestrion:InvalidUnitKindInSBMLFile");
  EXPECT_EQ(modelCount(), 0u);
  EXPECT_NE(userLibrary()->findUnit("good"), nullptr);
}

// A redefinition of a user unit that the host cannot take out of the
// library (the name is a registered unit but no user library entry) ends
// the read with the host's error and leaves no model.
TEST_F(SbmlUnitImportTest, FailedBackupEndsTheRead) {
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  OVUnits::UnitRepresentationApi* loose = units->newUnit();
  loose->setName("loose");
  loose->setComposition("mole");
  ASSERT_TRUE(units->registerUnit(loose));
  expectError([&] { readText(modelWith(definition("loose", unit("mole", 1, 0, 7)), "loose"), {"skipcc"}); },
              "kstrgate:NotAUserUnit");
  EXPECT_EQ(modelCount(), 0u);
  EXPECT_TRUE(units->unregisterUnit("loose"));
}

// A user unit written with a model comes back as a user unit when the
// library no longer has it, and maps onto the library's unit when it has.
TEST_F(SbmlUnitImportTest, WrittenUserUnitReadsBack) {
  addUserUnit("myrate", "1/second", 2);
  OBInterface* m = host().construct("Model", {host().str("rates")});
  OBInterface* k = objectOf(host().call(m, "addparameter", {host().str("k")}, 1).at(0));
  host().set(k, "ValueUnits", host().str("myrate"));
  const std::string text = writeText(m);
  host().call(m, "delete");
  EXPECT_NE(text.find("OVUSERUNIT_myrate"), std::string::npos) << text;

  OBInterface* present = readText(text, {"skipcc"});
  EXPECT_EQ(parameterUnits(present), "myrate");
  EXPECT_EQ(userLibrary()->getUnits().size(), 1u);

  host().call(getOBIRoot(), "removefromlibrary", {host().str("unit"), host().str("myrate")});
  OBInterface* back = readText(text, {"skipcc"});
  EXPECT_EQ(parameterUnits(back), "myrate");
  const BUnitWrapper* made = userLibrary()->findUnit("myrate");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->getComposition(), "1/second");
  EXPECT_DOUBLE_EQ(made->getMultiplier(), 2);
  EXPECT_EQ(warningCount("Kestrion:UnableToSetUnits"), 0u);
}

// A prefix on a concentration unit goes onto the written substance units,
// so the written units keep its factor; the user unit under the prefix
// itself is written as a definition that reads back.
TEST_F(SbmlUnitImportTest, PrefixedConcentrationIsWrittenWithAPrefixedSubstance) {
  addUserUnit("molar", "mole/liter", 1);
  OBInterface* m = host().construct("Model", {host().str("conc")});
  OBInterface* c = objectOf(host().call(m, "addcompartment", {host().str("c")}, 1).at(0));
  for (const char* name : {"A", "B"}) {
    OBInterface* s = objectOf(host().call(c, "addspecies", {host().str(name)}, 1).at(0));
    host().set(s, "InitialAmount", host().num(2));
    host().set(s, "InitialAmountUnits", host().str(name[0] == 'A' ? "millimolar" : "molar"));
  }
  host().clearLogs();
  const std::string text = writeText(m);
  EXPECT_EQ(warningCount("Kestrion:UnitNoLongerExists"), 0u) << text;
  const std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
  const Species* a = document->getModel()->getSpecies(0);
  EXPECT_FALSE(a->getHasOnlySubstanceUnits());
  EXPECT_DOUBLE_EQ(a->getInitialConcentration(), 2);
  EXPECT_EQ(a->getSubstanceUnits(), "OVBUILTINPREFIX_milli_OVBUILTINUNIT_mole");
  EXPECT_EQ(a->getSpatialSizeUnits(), "OVBUILTINUNIT_liter");
  EXPECT_EQ(document->getModel()->getSpecies(1)->getSubstanceUnits(), "mole");
  OBInterface* back = readText(text, {"skipcc"});
  std::vector<std::string> units;
  for (OBInterface* h : children(back, "species")) {
    units.push_back(dynamic_cast<kstr::QuantityComponent*>(componentOf(h))->getUnits());
  }
  EXPECT_EQ(units, (std::vector<std::string>{"millimole/liter", "mole/liter"}));
  host().call(m, "delete");
}

// SBML level 2 unit kinds beyond the base units and litre.
const char* const kSbmlKinds[] = {"becquerel", "coulomb", "farad",   "gray",    "henry",  "hertz",    "joule",
                                  "katal",     "lumen",   "lux",     "newton",  "ohm",    "pascal",   "radian",
                                  "siemens",   "sievert", "steradian", "tesla", "volt",   "watt",     "weber"};

// Units compared as SI factor and dimension, and written definitions
// checked with libSBML.
class SbmlUnitRoundTripTest : public SbmlUnitImportTest {
 protected:
  static std::string unitsOf(OBInterface* component) {
    return dynamic_cast<kstr::QuantityComponent*>(componentOf(component))->getUnits();
  }

  // The units of every parameter of the model, by name.
  std::vector<std::pair<std::string, std::string>> unitsOfParameters(OBInterface* model) {
    std::vector<std::pair<std::string, std::string>> units;
    for (OBInterface* p : children(model, "parameter")) units.emplace_back(componentOf(p)->getName(), unitsOf(p));
    return units;
  }

  // Both texts mean the same unit: the same dimension and SI factor.
  static void expectSameUnit(const std::string& before, const std::string& after) {
    SCOPED_TRACE(before + " -> " + after);
    ASSERT_FALSE(after.empty());
    OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
    const OVUnits::UnitDescription a = units->describeUnit(before);
    const OVUnits::UnitDescription b = units->describeUnit(after);
    EXPECT_EQ(a.exponents, b.exponents);
    EXPECT_NEAR(b.factor, a.factor, 1e-12 * a.factor);
  }

  // Every unit definition of the written text has an identifier that SBML
  // accepts, and no unit was dropped on the way.
  void expectValidDefinitions(const std::string& text) {
    EXPECT_EQ(warningCount("Kestrion:UnitNoLongerExists"), 0u) << text;
    const std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
    ASSERT_NE(document->getModel(), nullptr);
    const ListOfUnitDefinitions* definitions = document->getModel()->getListOfUnitDefinitions();
    for (unsigned i = 0; i < definitions->size(); ++i) {
      const UnitDefinition* d = definitions->get(i);
      SCOPED_TRACE(d->getName());
      EXPECT_TRUE(d->isSetId());
      EXPECT_TRUE(SyntaxChecker::isValidSBMLSId(d->getId())) << d->getId();
    }
    EXPECT_EQ(document->getNumErrors(LIBSBML_SEV_ERROR) + document->getNumErrors(LIBSBML_SEV_FATAL), 0u) << text;
  }
};

// Parameters and a compartment in unit texts the unit manager accepts as a
// user types them: the written file holds a valid definition for each, the
// engine reads its own file back with the consistency check, and every unit
// means what it meant.
TEST_F(SbmlUnitRoundTripTest, UnitTextsComeBackWithTheirMeaning) {
  const std::vector<std::string> texts = {
      "second^-1",         "meter^-1",           "mole / second",   "mole/second", "1/(mole*second)",
      "millimole/liter",   "farad/meter^2",      "volt*ampere^-1",  "katal",       "nanomole / (litre * minute)",
      "meter ^ (-2)",      "(gram*mole)/second^2",
      // Two meanings whose identifiers would read alike.
      "mole/(litre*second)", "mole/litre*second"};
  OBInterface* m = host().construct("Model", {host().str("units")});
  OBInterface* c = objectOf(host().call(m, "addcompartment", {host().str("c")}, 1).at(0));
  host().set(c, "CapacityUnits", host().str("meter ^ 3"));
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string name = "p" + std::to_string(i);
    OBInterface* p = objectOf(host().call(m, "addparameter", {host().str(name.c_str())}, 1).at(0));
    host().set(p, "ValueUnits", host().str(texts[i].c_str()));
  }
  host().clearLogs();
  const std::string text = writeText(m);
  expectValidDefinitions(text);
  OBInterface* back = readText(text);
  const auto units = unitsOfParameters(back);
  ASSERT_EQ(units.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(units[i].first, "p" + std::to_string(i));
    expectSameUnit(texts[i], units[i].second);
  }
  expectSameUnit("meter ^ 3", unitsOf(children(back, "compartment").at(0)));
  host().call(m, "delete");
}

// A species in a concentration unit that carries a multiplier (two mole
// per litre) is no mole over a litre: it is written without units and a
// warning, never as another concentration.
TEST_F(SbmlUnitRoundTripTest, ConcentrationsThatDoNotSplitAreNotWrittenWrong) {
  addUserUnit("twomolar", "mole/litre", 2);
  OBInterface* m = host().construct("Model", {host().str("conc")});
  OBInterface* c = objectOf(host().call(m, "addcompartment", {host().str("c")}, 1).at(0));
  OBInterface* s = objectOf(host().call(c, "addspecies", {host().str("A")}, 1).at(0));
  host().set(s, "InitialAmount", host().num(3));
  host().set(s, "InitialAmountUnits", host().str("twomolar"));
  host().clearLogs();
  const std::string text = writeText(m);
  EXPECT_EQ(warningCount("Kestrion:UnitNoLongerExists"), 1u) << text;
  const std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
  EXPECT_FALSE(document->getModel()->getSpecies(0)->isSetSubstanceUnits()) << text;
  EXPECT_FALSE(document->getModel()->getSpecies(0)->isSetSpatialSizeUnits());
  host().call(m, "delete");
}

// SBML's own unit kinds: a file whose parameters use each of them keeps
// them on read, with no warning, writes them back as themselves, and a
// definition built on one of them (a membrane capacitance, farad per square
// metre) becomes a user unit of the right SI factor and dimension.
TEST_F(SbmlUnitRoundTripTest, SbmlUnitKindsAreKept) {
  std::string parameters;
  for (const char* kind : kSbmlKinds) {
    parameters += std::string("<parameter id=\"p_") + kind + "\" value=\"1\" units=\"" + kind + "\"/>";
  }
  parameters += "<parameter id=\"cm\" value=\"0.01\" units=\"F_per_m2\"/>";
  const std::string text = l2v1(
      "<listOfUnitDefinitions><unitDefinition id=\"F_per_m2\"><listOfUnits><unit kind=\"farad\"/>"
      "<unit kind=\"metre\" exponent=\"-2\"/></listOfUnits></unitDefinition></listOfUnitDefinitions>"
      "<listOfParameters>" + parameters + "</listOfParameters>");
  host().clearLogs();
  OBInterface* m = readText(text);
  for (const char* id : {"Kestrion:UnableToSetUnits", "Kestrion:UnitCompositionParseError"}) {
    EXPECT_EQ(warningCount(id), 0u) << id;
  }
  const auto units = unitsOfParameters(m);
  ASSERT_EQ(units.size(), std::size(kSbmlKinds) + 1);
  for (size_t i = 0; i < std::size(kSbmlKinds); ++i) EXPECT_EQ(units[i].second, kSbmlKinds[i]);
  EXPECT_EQ(units.back().second, "F_per_m2");
  expectSameUnit("(ampere^2*second^4)/(kilogram*meter^4)", units.back().second);

  const std::string written = writeText(m);
  expectValidDefinitions(written);
  const std::unique_ptr<SBMLDocument> document(readSBMLFromString(written.c_str()));
  for (size_t i = 0; i < std::size(kSbmlKinds); ++i) {
    EXPECT_EQ(document->getModel()->getParameter(static_cast<unsigned>(i))->getUnits(), kSbmlKinds[i]);
  }
  OBInterface* back = readText(written);
  const auto again = unitsOfParameters(back);
  ASSERT_EQ(again.size(), units.size());
  for (size_t i = 0; i < units.size(); ++i) expectSameUnit(units[i].second, again[i].second);
}

}  // namespace
}  // namespace sbmltest
