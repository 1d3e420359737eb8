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
#include "sbml/SBMLNames.hpp"
#include "sbml/SBMLUnit.hpp"

using Code = kstr::MessageCode;
using namespace kstr::sbml;

namespace kstr::sbml {

void chooseIdAndName(SBase& element, unsigned level, std::string& id, std::string& name) {
  id = element.isSetId() ? element.getId() : std::string();
  if (id.empty() && level == 1 && element.isSetName()) id = element.getName();
  if (id.empty()) {
    createValidPELLAMIdFromUuidString(id);
    writtenOrWarn(element.setId(id), "id", id, element.getElementName().c_str(), id);
  }
  name = element.isSetName() ? element.getName() : id;
  if (STDStringHelpers::isAllWhitespace(name)) name = id;
}

}  // namespace kstr::sbml

SBMLParameter::SBMLParameter(Parameter* parameter) : SBMLComponent(parameter) {}

Parameter* SBMLParameter::parameter() const { return static_cast<Parameter*>(element_); }

bool SBMLParameter::ownedByModel() const { return !local_; }

void SBMLParameter::addToModel() {
  SBMLConversionContext& context = currentContext();
  Parameter* element = parameter();
  if (element->isSetId()) {
    sbmlId_ = element->getId();
    const SBMLConversionContext::Converters* taken = context.findConverters(sbmlId_);
    if (!local_ && taken && taken->parameter) {
      createValidPELLAMIdFromUuidString(replacementId_);
      writtenOrWarn(element->setId(replacementId_), "id", replacementId_, "parameter", sbmlId_);
    }
    if (taken && taken->species) {
      hb_warning_id(hbGetWarningContext(), "Kestrion:ParameterSpeciesIdClash",
                    kstr::code(Code::KS_PARAMETER_SPECIES_ID_CLASH), sbmlId_.c_str());
    }
  }
  std::string id;
  std::string fileName;
  chooseIdAndName(*element, context.getSBMLLevel(), id, fileName);
  OBInterface* owner = owner_ ? owner_ : context.getModelHandle();
  NameScope scope{kstr::parameter, kelborFromHandle(context.getModelHandle())};
  if (!ownedByModel()) {
    scope.law = dynamic_cast<const BKineticLaw*>(componentOf(owner));
    scope.hidden = hidden_;
  }
  name_ = chooseReadName(fileName, id, scope);
  writtenOrWarn(element->setName(name_), "name", name_, "parameter", name_);
  if (local_) {
    context.registerLocalParameterConverter(reactionId_, id, this);
  } else {
    context.registerParameterConverter(id, this);
  }
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
  if (element->isSetValue()) {
    p->setInitialValue(element->getValue());
  } else {
    p->markInitialValueNotGiven();
  }
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
  const std::string& name = p->getName();
  const std::string id = p->getID() ? p->getID() : "";
  writtenOrWarn(element->setName(name), "name", name, "parameter", name);
  writtenOrWarn(element->setId(id), "id", id, "parameter", name);
  if (p->isInitialValueGiven()) {
    writtenOrWarn(element->setValue(p->getInitialValue()), "value", p->getInitialValue(),
                  "parameter", name);
  }
  writtenOrWarn(element->setConstant(p->getConstantValue()), "constant", flagText(p->getConstantValue()),
                "parameter", name);
  if (p->getUnits().empty()) return;
  const std::string unitId = sbmlUnitReferenceFor(currentContext(), p->getUnits(), false);
  if (!unitId.empty()) writtenOrWarn(element->setUnits(unitId), "units", unitId, "parameter", name);
}
