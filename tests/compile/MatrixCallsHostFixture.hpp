// The fixture of the "matrixCallObj" tests: a started engine driven through
// the test host as a user's script would, one matrixCallObj object, the
// bundled enzyme model, and readers of the methods' results.
#pragma once

#include <string>
#include <vector>

#include "ReactionHostFixture.hpp"
#include "quantities/BParameter.hpp"
#include "SparseView.hpp"

namespace ctest {

class MatrixCallsHost : public rtest::ReactionHostTest {
 protected:
  void SetUp() override {
    rtest::ReactionHostTest::SetUp();
    calls_ = host().construct("matrixCallObj");
  }

  // Calls a method of the matrixCallObj object.
  std::vector<qxArray*> matrixCall(const char* method, std::initializer_list<qxArray*> args,
                                   int nargout) {
    return host().call(calls_, method, args, nargout);
  }

  // E + S <-> ES -> E + P in the compartment "cell", with constant
  // parameters kf, kr, kcat and written-out mass-action rates.
  OBInterface* enzymeModel() {
    OBInterface* m = model("enzyme");
    call1(m, "addcompartment", {host().str("cell")});
    for (const char* name : {"E", "S", "ES", "P"}) call1(m, "addspecies", {host().str(name)});
    for (const char* name : {"kf", "kr", "kcat"}) call1(m, "addparameter", {host().str(name)});
    OBInterface* binding = addReaction(m, "E + S <-> ES");
    host().set(binding, "Name", host().str("binding"));
    host().set(binding, "ReactionRate", host().str("kf*E*S - kr*ES"));
    OBInterface* catalysis = addReaction(m, "ES -> E + P");
    host().set(catalysis, "Name", host().str("catalysis"));
    host().set(catalysis, "ReactionRate", host().str("kcat*ES"));
    return m;
  }
  // The component of that name among the model's species and parameters.
  OBInterface* named(OBInterface* m, const std::string& name) {
    if (OBInterface* s = species(m, name)) return s;
    Kelbor* model = kelbor(m);
    for (uint32_t i = 0; i < model->getNumParameters(); ++i) {
      if (model->getParameterAt(i)->getName() == name) return model->getParameterAt(i)->getOBI();
    }
    return nullptr;
  }
  qxArray* handlesOfNames(OBInterface* m, std::initializer_list<const char*> names) {
    std::vector<OBInterface*> objects;
    for (const char* n : names) objects.push_back(named(m, n));
    qxArray* array = qxCreateHandleArray(objects.size(), 1);
    for (size_t i = 0; i < objects.size(); ++i) qxSetHandle(array, i, objects[i]);
    return host().own(array);
  }
  static std::vector<std::string> texts(const qxArray* cellRow) { return textsOf(cellRow); }

  OBInterface* calls_ = nullptr;
};

}  // namespace ctest
