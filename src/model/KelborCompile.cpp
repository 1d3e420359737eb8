// The model's compile state, its hand-over to the compile manager and the
// cache of its compiled form.
#include <ks_utils/CompileData.hpp>
#include <ks_utils/MiniCompileManager.hpp>
#include <sv/sv.hpp>

#include "configsets/KStrConfigurationSetApi.hpp"
#include "model/Kelbor.hpp"
#include "model/SimulatorInterfaces.hpp"
#include "variants_doses/Dose.hpp"

void Kelbor::update(KStrConfigurationSetApi* set, const kstrVector<const Variant*>* variants,
                    const kstrVector<const Dose*>* doses) {
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
