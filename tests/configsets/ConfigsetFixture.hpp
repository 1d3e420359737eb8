// The fixture of the configuration-set tests: the model host fixture (a
// started engine driven as a user would, with a leak check at the end) and
// ways to reach a set's option objects and read their values.
#pragma once

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "configsets/Configset.hpp"
#include "model_host/ModelHostFixture.hpp"

class ConfigsetTest : public ModelHostTest {
 protected:
  OBInterface* defaultSet(OBInterface* m) { return kelbor(m)->getConfigSet("default")->getOBI(); }
  OBInterface* addSet(OBInterface* m, const char* name) { return add(m, "addconfigset", {host().str(name)}); }

  // The option object of that class below the set.
  static OBInterface* optionsOf(OBInterface* set, const char* className) {
    for (OBInterface* child : set->getChildren()) {
      if (std::strcmp(child->getClass()->getName(), className) == 0) return child;
    }
    return nullptr;
  }

  double number(OBInterface* object, const char* property) {
    return qxGetScalar(host().get(object, property));
  }
  bool flag(OBInterface* object, const char* property) { return *qxGetLogicals(host().get(object, property)); }
  std::string text(OBInterface* object, const char* property) { return host().getString(object, property); }

  // The text printed by a "display" call on the object.
  std::string displayed(OBInterface* object) {
    host().clearLogs();
    host().call(object, "display");
    return host().printed();
  }
  static std::string sp(int n) { return std::string(static_cast<size_t>(n), ' '); }
};
