// The fixture of the kinetic-law, library and unit tests: the reaction
// fixture's started engine and health check, with helpers to make laws and
// read what a kinetic law shows.
#pragma once

#include <string>
#include <vector>

#include "ReactionHostFixture.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "kinetics/BLibrary.hpp"

namespace ktest {

class KineticsHostTest : public rtest::ReactionHostTest {
 protected:
  // The user library's lists and the kinetic laws' name parser keep the
  // storage they once grew: one law, unit and prefix go in and out of the
  // library, and one law binds a name, before the health is taken.
  void SetUp() override {
    rtest::ReactionHostTest::SetUp();
    OBInterface* m = model("warm-up");
    OBInterface* kinetic = addLaw(addReaction(m, "A -> B"), "MassAction");
    setParameter(kinetic, "Forward Rate Parameter", "k");
    host().call(getOBIRoot(), "reset");
    OBInterface* law = userLaw("WarmUpLaw");
    OBInterface* unit = host().construct("Unit", {host().str("warmupunit"), host().str("mole")});
    OBInterface* prefix = host().construct("UnitPrefix", {host().str("warmupprefix"), host().num(2)});
    for (OBInterface* object : {law, unit, prefix}) {
      host().call(getOBIRoot(), "addtolibrary", {host().handle(object)}, 1);
      host().call(getOBIRoot(), "removefromlibrary", {host().handle(object)});
    }
    host_.reset();
    host_ = std::make_unique<TestHost>();
    host().clearLogs();
    startHealth_ = TestHost::health();
  }

  static BKineticLaw* kineticLaw(const OBInterface* instance) {
    return dynamic_cast<BKineticLaw*>(componentOf(instance));
  }
  BLibrary* library(int index) { return BQuorvixRoot::getInstance()->getLibrary(index); }

  // A reaction of the model with a kinetic law of the named template.
  OBInterface* addLaw(OBInterface* r, const char* name) { return call1(r, "addkineticlaw", {host().str(name)}); }
  void setParameter(OBInterface* law, const char* variable, const char* bound) {
    host().call(law, "setparameter", {host().str(variable), host().str(bound)});
  }
  void setSpecies(OBInterface* law, const char* variable, const char* bound) {
    host().call(law, "setspecies", {host().str(variable), host().str(bound)});
  }
  std::vector<std::string> names(OBInterface* law, const char* property) {
    return textsOf(host().get(law, property));
  }
  // A user law "k*S" over one parameter and one species variable.
  OBInterface* userLaw(const char* name, const char* expression = "k*S") {
    OBInterface* law = host().construct("AbstractKineticLaw", {host().str(name), host().str(expression)});
    host().set(law, "ParameterVariables", host().str("k"));
    host().set(law, "SpeciesVariables", host().str("S"));
    return law;
  }
  // A Henri-Michaelis-Menten law on the reaction with its own parameters
  // Vm (3) and Km, bound to its variables with the species S.
  OBInterface* enzymeLaw(OBInterface* r) {
    OBInterface* law = addLaw(r, "Henri-Michaelis-Menten");
    call1(law, "addparameter", {host().str("Vm"), host().num(3)});
    call1(law, "addparameter", {host().str("Km")});
    setParameter(law, "Vm", "Vm");
    setParameter(law, "Km", "Km");
    setSpecies(law, "S", "S");
    return law;
  }
  // Takes a user law out of the library again (the test's own clean-up).
  void removeUserLaw(const char* name) {
    host().call(getOBIRoot(), "removefromlibrary", {host().str("kineticlaw"), host().str(name)});
  }
};

}  // namespace ktest
