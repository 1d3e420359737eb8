// Kinetic laws read from and written to SBML.
#include "sbml/SBMLKineticLaw.hpp"

#include <memory>

#include <sbml/SBMLTypes.h>

#include <ks_utils/Errors.hpp>

#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BParameter.hpp"
#include "reactions/BReaction.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLMathText.hpp"
#include "sbml/SBMLParameter.hpp"

using Code = kstr::MessageCode;
using namespace kstr::sbml;

SBMLKineticLaw::SBMLKineticLaw(KineticLaw* law, OBInterface* reaction)
    : SBMLComponent(law), reaction_(reaction) {}

KineticLaw* SBMLKineticLaw::law() const { return static_cast<KineticLaw*>(element_); }

void SBMLKineticLaw::addToModel() {
  if (law()->getNumParameters() == 0) return;
  HostArgs args;
  args.handle(reaction_).text("Unknown");
  bindInterface(callHostForHandle("addkineticlaw", args, true), true);
}

namespace {

// The model names of the components other than the law's own parameters
// that the math names.
void namesOutsideTheLaw(const SBMLConversionContext& context, const KineticLaw& law, const ASTNode& math,
                        std::set<std::string>& out) {
  if (math.getType() == AST_NAME && math.getName() && !law.getParameter(math.getName())) {
    if (const SBMLConversionContext::Converters* kinds = context.findConverters(math.getName())) {
      for (SBMLComponent* converter : {kinds->species, kinds->compartment, kinds->parameter}) {
        if (KelborComponent* component = converter ? converter->getComponent() : nullptr) {
          out.insert(component->getName());
        }
      }
    }
  }
  for (unsigned i = 0; i < math.getNumChildren(); ++i) namesOutsideTheLaw(context, law, *math.getChild(i), out);
}

}  // namespace

void SBMLKineticLaw::importKineticLawParameters() {
  SBMLConversionContext& context = currentContext();
  const auto* reaction = dynamic_cast<const Reaction*>(law()->getParentSBMLObject());
  const std::string reactionId = reaction ? reaction->getId() : std::string();
  std::set<std::string> hidden;
  if (law()->getNumParameters() > 0 && law()->getMath()) namesOutsideTheLaw(context, *law(), *law()->getMath(), hidden);
  for (unsigned i = 0; i < law()->getNumParameters(); ++i) {
    auto converter = std::make_unique<SBMLParameter>(law()->getParameter(i));
    SBMLParameter* raw = converter.get();
    raw->setOwner(getInterface(), reactionId, &hidden);
    context.adoptConverter(converter.release());
    raw->importElement();
    localNames_.emplace(raw->getSBMLId(), raw->getChosenName());
  }
}

void SBMLKineticLaw::importElement() {
  addToModel();
  importKineticLawParameters();
  const ASTNode* math = law()->getMath();
  if (!math) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KineticLawMathNotSet",
                  kstr::code(Code::KS_KINETIC_LAW_MATH_NOT_SET));
    return;
  }
  const std::string rate = formulaFromMath(currentContext(), *math, &localNames_);
  if (auto* reaction = dynamic_cast<BReaction*>(componentOf(reaction_))) reaction->setReactionRate(rate, true);
}

void SBMLKineticLaw::exportKineticLawParameters() {
  const auto* bound = dynamic_cast<const BKineticLaw*>(getComponent());
  if (!bound) return;
  for (BParameter* p : *bound->getParameters()) {
    Parameter element(2, 1);
    SBMLParameter converter(&element);
    converter.bindInterface(p->getOBI(), false);
    converter.exportElement();
    law()->addParameter(&element);
  }
}

void SBMLKineticLaw::exportElement() {
  exportKineticLawParameters();
  auto* reaction = dynamic_cast<BReaction*>(componentOf(reaction_));
  if (!reaction) return;
  std::string rate = reaction->getReactionRate();
  if (rate.empty()) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KineticLawFormulaNotSaved",
                  kstr::code(Code::KS_KINETIC_LAW_FORMULA_NOT_SAVED), reaction->getName().c_str());
    return;
  }
  const MathPtr math(
      mathFromRate(rate, modelOf(*reaction), reaction, "reaction '" + reaction->getName() + "'"));
  if (!math) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KineticLawUnableToSaveExpression",
                  kstr::code(Code::KS_KINETIC_LAW_UNABLE_TO_SAVE_EXPRESSION), reaction->getName().c_str(),
                  rate.c_str());
    return;
  }
  checkSetter(setMathOf(*law(), *math), "math", rate, *reaction);
  wroteMath_ = true;
}
