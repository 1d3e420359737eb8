// The fixture of the Model and Root host-class tests: the shared started
// engine and leak check, with helpers to make models and name components.
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

  static std::string nameOf(const OBInterface* instance) { return componentOf(instance)->getName(); }
};
