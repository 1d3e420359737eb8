// The configuration set: names, times, the solver choice and the
// compile-needed aggregation over its option objects.
#include "configsets/KStrConfigurationSet.hpp"

#include <ks_utils/Version.hpp>
#include <obk/Exception.hpp>

#include "configsets/KStrSolverConfigSet.hpp"
#include "model/Kelbor.hpp"

KStrConfigurationSet::KStrConfigurationSet()
    : solverType_(kstr::solver::sundials), version_(GetKestrionVersion()) {
  setTimeUnits("second");
}

KStrConfigurationSet::~KStrConfigurationSet() = default;

bool KStrConfigurationSet::getCompileNeeded() const {
  if (KStrConfigurationSetApi::getCompileNeeded()) return true;
  if (sensitivity_ && sensitivity_->getCompileNeeded()) return true;
  if (compile_ && compile_->getCompileNeeded()) return true;
  if (runtime_ && runtime_->getCompileNeeded()) return true;
  KStrSolverConfigSetApi* solver = getSolverOptionsByKey(kstr::solver::optionsKey(solverType_));
  if (solver && solver->getCompileNeeded()) return true;
  return distributed_ && distributed_->getCompileNeeded();
}

void KStrConfigurationSet::setCompileNeeded(bool needed) {
  if (!needed) {
    if (sensitivity_) sensitivity_->setCompileNeeded(false);
    if (compile_) compile_->setCompileNeeded(false);
    if (runtime_) runtime_->setCompileNeeded(false);
    if (distributed_) distributed_->setCompileNeeded(false);
    if (KStrSolverConfigSetApi* solver = getSolverOptions()) solver->setCompileNeeded(false);
  }
  KStrConfigurationSetApi::setCompileNeeded(needed);
}

void KStrConfigurationSet::setName(const std::string& name) {
  if (name.empty()) {
    throw ErrorIdException("Kestrion:InvalidConfigsetName", "A configuration set must have a name.");
  }
  if (name == "active") {
    throw ErrorIdException("Kestrion:ActiveReservedConfigSetName",
                           "Cannot name a configuration set 'active', this is a reserved name.");
  }
  if (model_) model_->updateCSName(name_, name);
  name_ = name;
  setCompileNeeded(true);
}

void KStrConfigurationSet::setSolverType(int type) {
  solverType_ = type;
  setCompileNeeded(true);
}

void KStrConfigurationSet::setStartTime(double time) {
  startTime_ = time;
  setCompileNeeded(true);
}

void KStrConfigurationSet::setStopTimeType(int type) {
  stopTimeType_ = type;
  setCompileNeeded(true);
}

void KStrConfigurationSet::setTimeUnits(const char* units) {
  // Assigning from a copy keeps a pointer into the old text valid.
  std::string fresh = units ? units : "";
  timeUnits_.swap(fresh);
  setCompileNeeded(true);
}

void KStrConfigurationSet::setActive(bool active) {
  active_ = active;
  setCompileNeeded(true);
}

void KStrConfigurationSet::setDebugMode(bool on) {
  debugMode_ = on;
  setCompileNeeded(true);
}

KStrSolverConfigSetApi* KStrConfigurationSet::getSolverOptions() {
  return getSolverOptionsByKey(kstr::solver::optionsKey(solverType_));
}

KStrSolverConfigSetApi* KStrConfigurationSet::getSolverOptionsByKey(int key) const {
  auto found = solverOptions_.find(key);
  return found == solverOptions_.end() ? nullptr : found->second;
}

void KStrConfigurationSet::setCompileOptions(KStrCompileConfigSetApi* options) {
  compile_ = options;
  setCompileNeeded(true);
}

void KStrConfigurationSet::setRuntimeOptions(KStrRuntimeConfigSetApi* options) {
  runtime_ = options;
  setCompileNeeded(true);
}

void KStrConfigurationSet::setDistributedOptions(KStrDistributedConfigSetApi* options) {
  distributed_ = options;
  setCompileNeeded(true);
}

void KStrConfigurationSet::setSensitivityAnalysisOptions(KStrSensitivityAnalysisConfigSetApi* options) {
  sensitivity_ = options;
  setCompileNeeded(true);
}

void KStrConfigurationSet::setSolverOptions(KStrSolverConfigSetApi* options) {
  if (options) solverOptions_[kstr::solver::optionsKey(options->getSolverType())] = options;
  setCompileNeeded(true);
}
