// The model fixture of the compile-services tests: a model made directly
// from its components (compartments, species, parameters, reactions and
// kinetic laws), and readers of the builders' results.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/Vector.hpp>

#include "ReactionModelFixture.hpp"
#include "SparseView.hpp"

namespace ctest {

class CompileModel : public rtest::ReactionModel {
 protected:
  void TearDown() override {
    for (auto& [law, parameter] : lawParameters_) law->removeParameter(parameter);
    rtest::ReactionModel::TearDown();
  }

  // A reaction with the equation, name and rate.
  BReaction* reactionWithRate(const std::string& equation, const std::string& name,
                              const std::string& rate) {
    BReaction* r = reaction(equation, name);
    if (!rate.empty()) r->setReactionRate(rate, false);
    return r;
  }
  // A kinetic law (no template of its own) given to the reaction.
  BKineticLaw* lawOf(BReaction* r) {
    auto* law = kineticLaw<BKineticLaw>(abstractLaw("Unknown"));
    r->setKineticLaw(law);
    return law;
  }
  BParameter* lawParameter(BKineticLaw* law, const std::string& name) {
    auto* p = new BParameter();
    owned_.insert(owned_.begin(), p);
    p->setName(name);
    law->addParameter(p);
    lawParameters_.emplace_back(law, p);
    return p;
  }
  using ModelWorld::parameter;
  BParameter* parameter(const std::string& name, bool constant) {
    BParameter* p = ModelWorld::parameter(name);
    p->setConstantValue(constant);
    return p;
  }

  template <class T>
  static std::vector<std::string> namesOf(const kstrVector<T*>& list) {
    std::vector<std::string> names;
    for (const T* c : list) names.push_back(c ? c->getName() : "<null>");
    return names;
  }
  static std::vector<std::string> warningIds() {
    std::vector<std::string> ids;
    for (const auto& w : hbTestWarnings()) ids.push_back(w.id);
    return ids;
  }

  std::vector<std::pair<BKineticLaw*, BParameter*>> lawParameters_;
};

// Reads and destroys a builder's array.
inline SparseView takeSparse(qxArray* array) {
  SparseView view = readSparse(array);
  qxDestroyArray(array);
  return view;
}

}  // namespace ctest
