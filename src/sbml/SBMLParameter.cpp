// Parameters read from and written to SBML.
#include "sbml/SBMLParameter.hpp"

#include <sbml/SBMLTypes.h>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <ks_utils/Uuid.hpp>

#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BParameter.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLUnit.hpp"

using Code = kstr::MessageCode;
using namespace kstr::sbml;

namespace kstr::sbml {

void chooseIdAndName(SBase& element, unsigned level, std::string& id, std::string& name,
                     kstr::bcomptype kind) {
  id = element.isSetId() ? element.getId() : std::string();
  if (id.empty() && level == 1 && element.isSetName()) id = element.getName();
  if (id.empty()) {
    createValidPELLAMIdFromUuidString(id);
    element.setId(id);
  }
  name = element.isSetName() ? element.getName() : id;
  if (STDStringHelpers::isAllWhitespace(name)) name = id;
  replaceBracketsInName(name, kind);
}

}  // namespace kstr::sbml

SBMLParameter::SBMLParameter(Parameter* parameter) : SBMLComponent(parameter) {}

Parameter* SBMLParameter::parameter() const { return static_cast<Parameter*>(element_); }

bool SBMLParameter::ownedByModel() const {
  return owner_ == nullptr || owner_ == currentContext().getModelHandle();
}

void SBMLParameter::addToModel() {
  SBMLConversionContext& context = currentContext();
  Parameter* element = parameter();
  if (element->isSetId()) {
    sbmlId_ = element->getId();
    if (context.findParameterConverter(sbmlId_)) {
      createValidPELLAMIdFromUuidString(replacementId_);
      element->setId(replacementId_);
    }
    if (context.findSpeciesConverter(sbmlId_)) {
      hb_warning_id(hbGetWarningContext(), "Kestrion:ParameterSpeciesIdClash",
                    kstr::code(Code::KS_PARAMETER_SPECIES_ID_CLASH), sbmlId_.c_str());
    }
  }
  std::string id;
  chooseIdAndName(*element, context.getSBMLLevel(), id, name_, kstr::parameter);
  element->setName(name_);
  OBInterface* owner = owner_ ? owner_ : context.getModelHandle();
  std::string unique;
  if (ownedByModel()) {
    Kelbor* model = kelborFromHandle(owner);
    unique = makeUniqueName(name_, [model](const std::string& n) {
      return model->isComponentNameInUse(n, kstr::parameter);
    });
  } else {
    const auto* law = dynamic_cast<const BKineticLaw*>(componentOf(owner));
    unique = makeUniqueName(name_, [law](const std::string& n) {
      if (!law) return false;
      for (const BParameter* p : *law->getParameters()) {
        if (p->getName() == n) return true;
      }
      return false;
    });
  }
  if (unique != name_) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:AddParameterDuplicateNameSBML",
                  kstr::code(Code::KS_SBMLPARAMETER_ADDPARAMETER_DUPLICATENAME), name_.c_str(), unique.c_str());
    name_ = unique;
  }
  context.registerParameterConverter(id, this);
  HostArgs args;
  args.handle(owner).text(name_);
  bindInterface(callHostForHandle("addparameter", args, true), true);
}

void SBMLParameter::importElement() {
  addToModel();
  importNotesAndAnnotation(*this);
  auto* p = dynamic_cast<BParameter*>(getComponent());
  if (!p) return;
  Parameter* element = parameter();
  p->setID(element->getId().c_str());
  if (p->getName() != name_) p->setName(name_);
  if (ownedByModel()) currentContext().addParameterName(element->getId(), name_);
  if (element->isSetValue()) p->setInitialValue(element->getValue());
  p->setConstantValue(element->getConstant());
  p->setModelCompileNeeded();
  if (!element->isSetUnits()) return;
  setUnitsOrWarn(*p, hostUnitFor(element->getUnits()), "parameter", element->getUnits());
}

void SBMLParameter::exportElement() {
  auto* p = dynamic_cast<BParameter*>(getComponent());
  if (!p) return;
  exportNotesAndAnnotation(*this);
  Parameter* element = parameter();
  element->setName(p->getName());
  setIdOrWarn(*element, *p);
  element->setValue(p->getInitialValue());
  element->setConstant(p->getConstantValue());
  if (p->getUnits().empty()) return;
  const std::string id = sbmlUnitReferenceFor(currentContext(), p->getUnits(), false);
  if (!id.empty()) checkSetter(element->setUnits(id), "units", id, *p);
}
