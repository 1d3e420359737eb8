#include "kinetics/BKineticLaw.hpp"

#include <algorithm>

#include "model/Kelbor.hpp"
#include "quantities/BParameter.hpp"

BKineticLaw::BKineticLaw() = default;
BKineticLaw::~BKineticLaw() = default;

void BKineticLaw::fillFullyQualifiedName(std::string& out) const {
  if (getParent()) getParent()->fillFullyQualifiedName(out);
}

void BKineticLaw::fillPartiallyQualifiedName(std::string& out) const {
  if (getParent()) getParent()->fillPartiallyQualifiedName(out);
}

void BKineticLaw::fillDisplayQualifiedName(std::string& out) const {
  if (getParent()) getParent()->fillDisplayQualifiedName(out);
}

void BKineticLaw::addParameter(BParameter* parameter) {
  parameters_.push_back(parameter);
  parameter->setParent(this);
  if (Kelbor* model = getModel()) {
    model->componentAdded(parameter);
    model->setCompileNeeded(true);
  }
}

void BKineticLaw::removeParameter(BParameter* parameter) {
  auto it = std::find(parameters_.begin(), parameters_.end(), parameter);
  if (it == parameters_.end()) return;
  parameters_.erase(it);
  if (Kelbor* model = getModel()) {
    model->componentRemoved(parameter);
    model->setCompileNeeded(true);
  }
}

bool BKineticLaw::isParameterNameInUse(const std::string& name) const {
  return std::any_of(parameters_.begin(), parameters_.end(),
                     [&](const BParameter* p) { return p->getName() == name; });
}
