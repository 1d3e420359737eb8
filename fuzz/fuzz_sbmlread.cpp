// libFuzzer target: SBML text read through the host method "sbmlread" with
// the options "stream" and "skipcc", as a user's script would; a model that
// reads is written back with "sbmlwrite" and deleted, and the user units it
// registered are removed.  Errors of the read are the expected outcome for
// most inputs; crashes, sanitizer reports, leaks and anything an input
// leaves behind are the findings.
//
// The engine starts once, on the first input, and lives across inputs (its
// start-up and shutdown cost more than most reads).  A warm-up read grows
// the process-wide storage first; from then on every input must leave no
// model below the root, and the same numbers of live host instances, host
// arrays and host blocks as it found (or, for the first input to take a
// path, the same numbers as its own first run when it runs again).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <interp/interp_test.hpp>
#include <ks_utils/Errors.hpp>
#include <obk/obk.hpp>
#include <qx/qx.hpp>
#include <testhost/TestHost.hpp>

#include "core/ModuleEntry.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitWrapper.hpp"
#include "kinetics/LibraryRegistration.hpp"
#include "model/BQuorvixRoot.hpp"

namespace {

// A model with a unit definition, nested compartments, a reaction with a
// modifier, a kinetic law with a local parameter, a rule and an event: the
// paths whose first use grows process-wide tables.
const char kWarmUp[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<sbml xmlns=\"http://www.sbml.org/sbml/level2\" level=\"2\" version=\"1\"><model id=\"m\">"
    "<listOfUnitDefinitions><unitDefinition id=\"per_second\"><listOfUnits>"
    "<unit kind=\"second\" exponent=\"-1\"/></listOfUnits></unitDefinition></listOfUnitDefinitions>"
    "<listOfCompartments><compartment id=\"c\"/><compartment id=\"d\" outside=\"c\"/></listOfCompartments>"
    "<listOfSpecies><species id=\"A\" compartment=\"c\" initialAmount=\"1\"/>"
    "<species id=\"B\" compartment=\"d\" initialConcentration=\"1\" substanceUnits=\"mole\" "
    "spatialSizeUnits=\"litre\" charge=\"1\"/></listOfSpecies>"
    "<listOfParameters><parameter id=\"k\" value=\"1\" units=\"per_second\" constant=\"false\"/>"
    "</listOfParameters>"
    "<listOfRules><rateRule variable=\"k\"><math xmlns=\"http://www.w3.org/1998/Math/MathML\">"
    "<cn>0</cn></math></rateRule></listOfRules>"
    "<listOfReactions><reaction id=\"r\" fast=\"true\"><listOfReactants><speciesReference species=\"A\"/>"
    "</listOfReactants><listOfProducts><speciesReference species=\"B\" stoichiometry=\"2\"/>"
    "</listOfProducts><listOfModifiers><modifierSpeciesReference species=\"A\"/></listOfModifiers>"
    "<kineticLaw><math xmlns=\"http://www.w3.org/1998/Math/MathML\"><apply><times/><ci>k</ci><ci>A</ci>"
    "<ci>kl</ci></apply></math><listOfParameters><parameter id=\"kl\" value=\"2\"/></listOfParameters>"
    "</kineticLaw></reaction></listOfReactions>"
    "<listOfEvents><event id=\"e\"><trigger><math xmlns=\"http://www.w3.org/1998/Math/MathML\">"
    "<apply><gt/><ci>A</ci><cn>2</cn></apply></math></trigger><listOfEventAssignments>"
    "<eventAssignment variable=\"k\"><math xmlns=\"http://www.w3.org/1998/Math/MathML\"><cn>3</cn>"
    "</math></eventAssignment></listOfEventAssignments></event></listOfEvents>"
    "</model></sbml>\n";

// Calls a method; the outputs are the caller's.  Host errors are swallowed
// here: they are what bad input is expected to give.
std::vector<qxArray*> call(const char* method, std::vector<qxArray*> ins, int nargout) {
  std::vector<qxArray*> outs(static_cast<size_t>(nargout > 0 ? nargout : 1), nullptr);
  try {
    const int produced = obkCallMethod(method, nargout, outs.data(), static_cast<int>(ins.size()), ins.data());
    outs.resize(static_cast<size_t>(produced > 0 ? produced : 0));
  } catch (const ErrorIdException&) {
    outs.clear();
  }
  return outs;
}

size_t modelCount() { return BQuorvixRoot::getInstance()->getModels().size(); }

// Reads the text as a user does, writes back and deletes what read, and
// removes the units the read registered; then empties the platform's logs,
// which would grow with every input.
void readWriteAndDelete(OBInterface* service, const std::string& text) {
  qxArray* self = obkHandleArray(service);
  qxArray* argument = qxCreateString(text.c_str());
  // libSBML's consistency check is its own code, not the converters': it is
  // skipped so that the time goes to the read.
  qxArray* options = qxCreateCellMatrix(1, 2);
  qxSetCell(options, 0, qxCreateString("stream"));
  qxSetCell(options, 1, qxCreateString("skipcc"));
  std::vector<qxArray*> read = call("sbmlread", {self, argument, options}, 1);
  if (!read.empty() && obkHandleOf(read[0])) {
    for (qxArray* out : call("sbmlwrite", {self, read[0]}, 1)) qxDestroyArray(out);
    for (qxArray* out : call("delete", {read[0]}, 0)) qxDestroyArray(out);
  }
  for (qxArray* a : read) qxDestroyArray(a);
  for (qxArray* a : {self, argument, options}) qxDestroyArray(a);
  std::vector<std::string> units;
  for (const BUnitWrapper* unit : BQuorvixRoot::getInstance()->getLibrary(1)->getUnits()) {
    units.push_back(unit->getName());
  }
  for (const std::string& name : units) removeUserUnitByName(name.c_str());
  hbTestClearPrinted();
  hbTestClearWarnings();
  obkClearEventLog();
  interpClearCallLog();
  kstr_stacked_clear();
}

struct Fixture {
  OBInterface* service = nullptr;
  HostHealth baseline;
};

Fixture& fixture() {
  static Fixture* f = [] {
    auto* made = new Fixture;
    hbTestSetEcho(false);
    PLInitialize_kelbor();
    made->service = obkConstruct("Kestrion.SBMLReadWrite", 0, nullptr);
    readWriteAndDelete(made->service, kWarmUp);
    made->baseline = TestHost::health();
    return made;
  }();
  return *f;
}

[[noreturn]] void reportLeftBehind(const char* what, const HostHealth& before, const HostHealth& after) {
  std::fprintf(stderr, "The input left %s behind: %zu model(s); host before: %s; after: %s\n", what, modelCount(),
               describe(before).c_str(), describe(after).c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Fixture& f = fixture();
  const std::string text(reinterpret_cast<const char*>(data), size);
  readWriteAndDelete(f.service, text);
  const HostHealth now = TestHost::health();
  if (modelCount() != 0) reportLeftBehind("a model", f.baseline, now);
  if (now == f.baseline) return 0;
  // The first input to take a path may grow process-wide storage once (a
  // parser made on first use); the same input a second time must then leave
  // the host exactly as its first run did.
  readWriteAndDelete(f.service, text);
  const HostHealth again = TestHost::health();
  if (modelCount() != 0 || !(again == now)) reportLeftBehind("host storage", now, again);
  f.baseline = now;
  return 0;
}
