// The configuration set: a model's named record of the simulation's solver
// choice, times, units and flags, pointing to its option objects, and the
// compile-needed aggregation over them.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "configsets/KStrConfigurationSetApi.hpp"
#include "core/ComponentKind.hpp"
#include "core/KelborComponent.hpp"

class OBInterface;
class Vector;

// The set is a component as well, so that every host path that asks an
// instance for its component finds one; it belongs to no component kind.
class KELBOR_API KStrConfigurationSet : public KelborComponent, public KStrConfigurationSetApi {
 public:
  KStrConfigurationSet();
  KStrConfigurationSet(const KStrConfigurationSet&) = delete;
  KStrConfigurationSet& operator=(const KStrConfigurationSet&) = delete;
  ~KStrConfigurationSet() override;

  const char* getType() const override { return "configset"; }
  kstr::bcomptype getEnumType() const override { return kstr::not_a_component; }

  // True when the set's own flag or one of its relevant option objects
  // (sensitivity, compile, runtime, the current solver's, distributed) says
  // so; the options of other solver kinds are not asked.
  bool getCompileNeeded() const override;
  // True sets the own flag only; false clears the same option objects, then
  // the own flag.
  void setCompileNeeded(bool needed) override;

  const std::string& getName() const override { return name_; }
  // "" raises "Kestrion:InvalidConfigsetName" and "active"
  // "Kestrion:ActiveReservedConfigSetName"; an attached set asks its model
  // first (Kelbor::updateCSName raises "Kestrion:ConfigSetNameClash").  A
  // refused name changes nothing.
  void setName(const std::string& name) override;
  int getSolverType() const override { return solverType_; }
  // No range check: the host enum admits only the eleven types.
  void setSolverType(int type);
  const char* getNotes() const override { return KelborComponent::getNotes(); }
  void setNotes(const char* text) { KelborComponent::setNotes(text); }
  double getStartTime() const override { return startTime_; }
  void setStartTime(double time) override;
  double getStopTime() const override { return stopTime_; }
  // Stores only: the stop time does not need a new compilation.
  void setStopTime(double time) override { stopTime_ = time; }
  int getStopTimeType() const override { return stopTimeType_; }
  void setStopTimeType(int type);
  const char* getTimeUnits() const override { return timeUnits_.c_str(); }
  // Null is taken as "".
  void setTimeUnits(const char* units) override;
  bool getActive() const override { return active_; }
  void setActive(bool active) override;
  void setModel(Kelbor* model) override { model_ = model; }
  Kelbor* getModel() const override { return model_; }
  double getVersion() const { return version_; }
  void setVersion(double version) { version_ = version; }
  bool getDebugMode() const { return debugMode_; }
  void setDebugMode(bool on);

  KStrCompileConfigSetApi* getCompileOptions() const override { return compile_; }
  KStrRuntimeConfigSetApi* getRuntimeOptions() const override { return runtime_; }
  KStrSolverConfigSetApi* getSolverOptions() override;
  KStrSensitivityAnalysisConfigSetApi* getSensitivityAnalysisOptions() const override { return sensitivity_; }
  KStrDistributedConfigSetApi* getDistributedOptions() const override { return distributed_; }
  // The options filed under a key (0, 1, 2 or 10), or null.
  KStrSolverConfigSetApi* getSolverOptionsByKey(int key) const;
  OBInterface* getOBI() const override { return KelborComponent::getOBI(); }

  // Each stores the options and marks the set compile-needed.
  void setCompileOptions(KStrCompileConfigSetApi* options);
  void setRuntimeOptions(KStrRuntimeConfigSetApi* options);
  void setDistributedOptions(KStrDistributedConfigSetApi* options);
  void setSensitivityAnalysisOptions(KStrSensitivityAnalysisConfigSetApi* options);
  // Files the options under the key of their solver type, replacing the
  // entry of that key; marks the set compile-needed.
  void setSolverOptions(KStrSolverConfigSetApi* options);
  // Forgets every filed solver options object.
  void clearSolverOptions() { solverOptions_.clear(); }

  // The host handles of the option objects (not owned: the host tree owns
  // the objects, the host glue the references these fields stand for).
  OBInterface* compileHandle = nullptr;
  OBInterface* runtimeHandle = nullptr;
  OBInterface* distributedHandle = nullptr;
  OBInterface* sensitivityHandle = nullptr;
  // The solver options' handles in the order ssa, expltau, impltau, ODE,
  // one external reference each; null until made.
  Vector* solverHandles = nullptr;

 private:
  std::string name_;
  int solverType_;
  double startTime_ = 0.0;
  double stopTime_ = 10.0;
  std::string timeUnits_;
  bool active_ = false;
  int stopTimeType_ = 0;
  double version_;
  bool debugMode_ = false;
  Kelbor* model_ = nullptr;
  KStrCompileConfigSetApi* compile_ = nullptr;
  KStrRuntimeConfigSetApi* runtime_ = nullptr;
  std::map<int, KStrSolverConfigSetApi*> solverOptions_;
  KStrDistributedConfigSetApi* distributed_ = nullptr;
  KStrSensitivityAnalysisConfigSetApi* sensitivity_ = nullptr;
};
