// The kinetic laws that name a parameter among their parameter variable names,
// found by the parameter's name instead of a walk over every law.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"

class BKineticLaw;

namespace kstr {

// One process-wide index from names to the live kinetic laws that hold a
// parameter variable name which may resolve to a parameter of that name:
// the name as bound ("kf", "[a b]") and its last qualified part ("r1.kf"
// gives "kf"), brackets removed.  A law enters every name it was ever given
// until it is destroyed, so the index answers a superset: the caller checks
// each law it gets (whether the law's binding really resolves to the
// parameter, whether the law lies in the model asked about).
class KELBOR_API ParameterBindingIndex {
 public:
  static ParameterBindingIndex& instance();

  // Enters the law under the keys of each name (empty names are skipped).
  void note(const BKineticLaw* law, const kstrVector<std::string>& names);
  // Takes the law out of the index (its destructor does this).
  void forget(const BKineticLaw* law);
  // The laws entered under the parameter's name, in no particular order.
  std::vector<const BKineticLaw*> lawsNaming(const std::string& parameterName) const;

  // The keys a bound name is entered under.
  static std::vector<std::string> keysOf(const std::string& boundName);

 private:
  std::unordered_map<std::string, std::unordered_set<const BKineticLaw*>> lawsByKey_;
  // Each law's keys, without repeats.  A law holds a few names, so a short
  // list costs less than a set per law.
  std::unordered_map<const BKineticLaw*, std::vector<std::string>> keysByLaw_;
};

}  // namespace kstr
