// The model's compile state, its hand-over to the compile manager and the
// cache of its compiled form.
#include <string>

#include <ks_utils/CompileData.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/MiniCompileManager.hpp>
#include <sv/sv.hpp>

#include "configsets/KStrConfigurationSetApi.hpp"
#include "model/Kelbor.hpp"
#include "model/SimulatorInterfaces.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"
#include "variants_doses/Dose.hpp"

void Kelbor::verifyExpressions() const {
  StackedMessageScope found(true);
  for (uint32_t i = 0; i < getNumReactions(); ++i) {
    const BReaction* reaction = getReactionAt(static_cast<int>(i));
    if (!reaction->getActive()) continue;
    // A reaction without a rate has nothing to check there.
    if (!reaction->getReactionRate().empty()) reaction->verifyReactionRateSyntax(true);
    reaction->verifyEquationBindings();
  }
  for (const BRule* rule : rules_) {
    if (rule->getActive()) rule->verifyRuleSyntax(false);
  }
  for (const BEvent* event : events_) {
    if (!event->getActive()) continue;
    event->verifyTriggerCondition(false);
    if (event->getNumTriggerFunctions() > 0) event->verifyTriggerFunction(false);
  }
  const StackedMessage* first = found.first();
  if (!first) return;
  // The first fault names the error; the text lists every fault, a line each.
  std::string text;
  for (const StackedMessage* m = first; m != first + found.count(); ++m) {
    if (!text.empty()) text += '\n';
    text += m->text;
  }
  throw ErrorIdException(first->id, text);
}

void Kelbor::update(KStrConfigurationSetApi* set, const kstrVector<const Variant*>* variants,
                    const kstrVector<const Dose*>* doses) {
  verifyExpressions();
  if (!set) set = getActiveConfigSet();
  try {
    CompileData* data = getMiniCompileManager()->compile(this, set, variants, doses, false);
    delete data;
  } catch (...) {
    getMiniCompileManager()->finish();
    throw;
  }
  getMiniCompileManager()->finish();
}

bool Kelbor::canUseCachedModel(KStrConfigurationSetApi* set,
                               const kstrVector<const Dose*>* doses) const {
  const std::string& stored = getCSUsedToCreateCachedCModel();
  KStrConfigurationSetApi* cachedSet =
      findConfigSet(stored == "active" ? activeConfigSetName_ : stored);
  if (compileNeeded_ || !cachedModel_ || !cachedSet) return false;
  if (set->getName() != cachedSet->getName()) return false;
  if (cachedSet->getCompileNeeded()) return false;
  if (doses->size() != cachedDoses_.size()) return false;
  for (size_t i = 0; i < doses->size(); ++i) {
    if ((*doses)[i] != cachedDoses_[i] || (*doses)[i]->isCompileNeeded()) return false;
  }
  return true;
}

void Kelbor::setCachedCModel(const boost::shared_ptr<CModelApi>& model,
                             KStrConfigurationSetApi* set, const kstrVector<const Dose*>& doses) {
  // Without a set there is nothing to tie the compiled model to.
  if (!set || !svIsFeatureEnabled("KestriCacheCompiledModels")) return;
  cachedModel_ = model;
  cachedConfigSetName_ = set->getName();
  compileNeeded_ = false;
  set->setCompileNeeded(false);
  cachedDoses_ = doses;
}

qxArray_tag* Kelbor::getQxEventTriggerCode() const {
  return cachedModel_ ? cachedModel_->getQxEventTriggerCode() : nullptr;
}

qxArray_tag* Kelbor::getQxEventFunctionCode() const {
  return cachedModel_ ? cachedModel_->getQxEventFunctionCode() : nullptr;
}
