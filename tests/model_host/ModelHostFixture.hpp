// The fixture of the Model and Root host-class tests: the shared started
// engine and leak check, with helpers to make models and read handle lists
// and warnings.
#pragma once

#include <string>
#include <vector>

#include <sv/sv.hpp>
#include <sv/sv_test.hpp>

#include "configsets/Configset.hpp"
#include "support/EngineHostFixture.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/Variant.hpp"

class ModelHostTest : public EngineHostTest {
 protected:
  OBInterface* model(std::initializer_list<qxArray*> args = {}) { return host().construct("Model", args); }
  OBInterface* model(const char* name) { return model({host().str(name)}); }

  // A method call that returns one handle.
  OBInterface* add(OBInterface* object, const char* method, std::initializer_list<qxArray*> args) {
    return one(object, method, args);
  }

  // The handles of a host array, in order.
  static std::vector<OBInterface*> handlesOf(const qxArray* array) {
    std::vector<OBInterface*> out;
    if (!array || !qxIsHandleArray(array)) return out;
    for (size_t i = 0; i < qxGetNumberOfElements(array); ++i) {
      out.push_back(static_cast<OBInterface*>(qxGetHandle(array, i)));
    }
    return out;
  }

  static std::string nameOf(const OBInterface* instance) { return componentOf(instance)->getName(); }

  // The warnings recorded since the last clear, by identifier.
  std::vector<std::string> warningIds() {
    std::vector<std::string> ids;
    for (const auto& warning : host().warnings()) ids.push_back(warning.id);
    return ids;
  }
};
