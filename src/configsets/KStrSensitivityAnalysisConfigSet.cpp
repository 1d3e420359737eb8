// The sensitivity-analysis options: their lists of handles.
#include "configsets/KStrSensitivityAnalysisConfigSet.hpp"

#include <obk/Vector.hpp>

void KStrSensitivityAnalysisConfigSet::removeComponent(OBInterface* instance) {
  for (auto& handles : lists_) handles.remove(instance);
}

void KStrSensitivityAnalysisConfigSet::assign(List which, const kstrVector<OBInterface*>& handles) {
  kstr::configsets::HandleSequence& target = lists_[which];
  target.clear();
  for (OBInterface* handle : handles) target.append(handle);
  setCompileNeeded(true);
}

const Vector* KStrSensitivityAnalysisConfigSet::viewOf(List which) const {
  return lists_[which].size() == 0 ? nullptr : lists_[which].view();
}

void KStrSensitivityAnalysisConfigSet::take(List which, Vector* handles) {
  lists_[which].clear();
  if (handles) {
    for (OBInterface* handle : handles->elements()) lists_[which].adopt(handle);
    delete handles;
  }
  setCompileNeeded(true);
}
