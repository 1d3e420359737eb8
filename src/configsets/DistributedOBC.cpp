// The host class "KStrDistributed": NumberOfRuns, UseLocalMachineOnly and
// its display.
#include <cmath>

#include "configsets/KStrDistributedConfigSet.hpp"
#include "configsets/OptionClasses.hpp"
#include "configsets/OptionHostSupport.hpp"
#include "core/ModelComponentProps.hpp"
#include "host/Host.hpp"
#include "core/HostBoundary.hpp"

using namespace kstr::configsets;

namespace {

const char kClass[] = "KStrDistributed";
using T = KStrDistributedConfigSet;
using Prop = OptionPropInfo<T>;

void printDistributedOptions(const T& options) {
  hbPrintf("\n");
  hbPrintf("%sDistributed Settings:\n\n", blanks(3));
  hbPrintf("%sNumberOfRuns:%s%d\n", blanks(5), blanks(10), options.getNumberOfRuns());
  hbPrintf("%sUseLocalMachineOnly:%s%s\n", blanks(5), blanks(3), boolText(options.getUseLocalOnly()));
  hbPrintf("\n");
}

class KStrDistributedConfigurationSet_display_MI : public OBMethodInfo {
 public:
  KStrDistributedConfigurationSet_display_MI() {
    setName("display");
    addMethodSignature(new OBMethodSignature({"handle"}));
  }
  void invoke(OBMethodSignature*, int&, void*[], int, void* const ins[]) override {
    printDistributedOptions(optionsBehind<T>(static_cast<OBInterface*>(ins[0]), kClass));
  }
};

// Runs must be a whole number from 0 up; NaN counts as negative.
void setNumberOfRuns(T& options, void* value) {
  const double x = doubleValue(value);
  if (!(x >= 0.0)) {
    refuse("Kestrion:KS_NumberOfRunsNegative",
           "Number of Runs property must be an integer greater than or equal to zero.");
  }
  const std::optional<int> runs = countValue(x, 0);
  if (!runs) {
    refuse("Kestrion:KS_NumberOfRunsNotInteger", "Number of Runs property must be a positive integer value.");
  }
  options.setNumberOfRuns(*runs);
}

class KStrDistributedConfigurationSetOBC : public OptionClassOf<T> {
 public:
  KStrDistributedConfigurationSetOBC() : OptionClassOf(kClass, true, false) {
    addMethod(new HostGuarded<KStrDistributedConfigurationSet_display_MI>());
    addProperty(new HostGuarded<Prop>(
        kClass, "NumberOfRuns", "double",
        "Number of times to run the simulation with this configuration set's settings.", {},
        [](T& o, OBInterface*) { return nativeDouble(o.getNumberOfRuns()); },
        [](T& o, void* v, OBDatabaseClient*, OBInterface*) { setNumberOfRuns(o, v); }));
    addProperty(new HostGuarded<Prop>(kClass, "Type", "string", "Distributed options type.", {false, false},
                         [](T&, OBInterface*) { return nativeText("distributedoptions"); }, nullptr));
    addProperty(new HostGuarded<Prop>(
        kClass, "UseLocalMachineOnly", "bool",
        "Set whether only the local machine should be used for distributing loads.", {},
        [](T& o, OBInterface*) { return nativeBool(o.getUseLocalOnly()); },
        [](T& o, void* v, OBDatabaseClient*, OBInterface*) {
          o.setUseLocalOnly(boolValue(v));
        }));
  }
};

}  // namespace

OBClass* getDistributedOBClass() {
  static OBClass* cls = registerOptionClass(new HostGuarded<KStrDistributedConfigurationSetOBC>());
  return cls;
}
