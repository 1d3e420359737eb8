#include "kinetics/BLibrary.hpp"

#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BUnitWrapper.hpp"

namespace {

template <class T>
T* findNamed(const kstrVector<T*>& list, const std::string& name) {
  for (T* element : list) {
    if (element->getName() == name) return element;
  }
  return nullptr;
}

}  // namespace

void BLibrary::addUnit(BUnitWrapper* unit) { units_.push_back(unit); }

void BLibrary::addUnitPrefix(BUnitPrefixWrapper* prefix) { unitPrefixes_.push_back(prefix); }

void BLibrary::addAbstractKineticLaw(BAbstractKineticLaw* law) { laws_.push_back(law); }

BUnitWrapper* BLibrary::findUnit(const std::string& name) const { return findNamed(units_, name); }

BUnitPrefixWrapper* BLibrary::findUnitPrefix(const std::string& name) const {
  return findNamed(unitPrefixes_, name);
}

BAbstractKineticLaw* BLibrary::findAbstractKineticLaw(const std::string& name) const {
  return findNamed(laws_, name);
}
